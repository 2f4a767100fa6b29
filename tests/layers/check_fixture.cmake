# The layer check run on a small tree that breaks each rule once: it must fail and name
# exactly the includes that go against the layers.
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${FIXTURE} -P ${CHECK}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(rc EQUAL 0)
  message(FATAL_ERROR "the layer check passed a tree with upward includes:\n${out}")
endif()
foreach(expected
    "base/up.h includes host/hostlink.h"
    "host/link.cpp includes rates/ratelookup.h"
    "host/peer.h includes refdata/referencedb.h"
    "refdata/ui/window.cpp includes app/ui/mainform.h")
  string(FIND "${out}" "${expected}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the layer check did not name \"${expected}\":\n${out}")
  endif()
endforeach()
if(out MATCHES "ok.cpp")
  message(FATAL_ERROR "the layer check refused an include of its own layer:\n${out}")
endif()
