# Installing and packaging: the programs in bin/, the desktop entry and its icons, the
# SQL of a new reference database in share/sprrate/, and two Debian packages made by
# CPack: sprrate (the program and sprrate-cli) and velmora-term (the terminal stand-in
# with its sample scenarios, for training and demonstrations).
include(GNUInstallDirs)

set(SPRRATE_MAINTAINER "SPR Rate developers <sprrate@example.org>" CACHE STRING
    "The packages' maintainer: a name and a mail address")

# The build tree keeps the same share/sprrate beside its bin/ as an installed program,
# so that sprrate-cli init-db finds the schema in both.
foreach(script schema.sql sample.sql)
  configure_file(${PROJECT_SOURCE_DIR}/refdata/${script}
                 ${CMAKE_BINARY_DIR}/share/sprrate/${script} COPYONLY)
endforeach()

install(TARGETS sprrate-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT sprrate)
if(SPRRATE_BUILD_UI)
  install(TARGETS sprrate RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT sprrate)
  install(FILES ${PROJECT_SOURCE_DIR}/data/sprrate.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT sprrate)
  foreach(size 16 32 48 256)
    install(FILES ${PROJECT_SOURCE_DIR}/data/icons/sprrate-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME sprrate.png COMPONENT sprrate)
  endforeach()
  install(FILES ${PROJECT_SOURCE_DIR}/data/icons/sprrate.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT sprrate)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/refdata/schema.sql ${PROJECT_SOURCE_DIR}/refdata/sample.sql
        DESTINATION ${CMAKE_INSTALL_DATADIR}/sprrate COMPONENT sprrate)

install(TARGETS velmora-term RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT velmora-term)
install(FILES ${PROJECT_SOURCE_DIR}/samples/spr-record.scn
              ${PROJECT_SOURCE_DIR}/samples/ticket-image.scn
              ${PROJECT_SOURCE_DIR}/samples/no-session.scn
              ${PROJECT_SOURCE_DIR}/samples/README.md
        DESTINATION ${CMAKE_INSTALL_DATADIR}/velmora-term COMPONENT velmora-term)

# What Debian asks of every package: the copyright and the changelog, compressed.
configure_file(${PROJECT_SOURCE_DIR}/data/changelog.in ${CMAKE_BINARY_DIR}/package/changelog @ONLY)
execute_process(COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/package/changelog)
foreach(component sprrate velmora-term)
  install(FILES ${PROJECT_SOURCE_DIR}/data/copyright ${CMAKE_BINARY_DIR}/package/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${component} COMPONENT ${component})
endforeach()
# The manual pages, compressed as Debian keeps them.
foreach(page sprrate sprrate-cli velmora-term)
  configure_file(${PROJECT_SOURCE_DIR}/data/man/${page}.1 ${CMAKE_BINARY_DIR}/package/${page}.1
                 COPYONLY)
  execute_process(COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/package/${page}.1)
endforeach()
install(FILES ${CMAKE_BINARY_DIR}/package/sprrate.1.gz ${CMAKE_BINARY_DIR}/package/sprrate-cli.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT sprrate)
install(FILES ${CMAKE_BINARY_DIR}/package/velmora-term.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT velmora-term)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sprrate)
set(CPACK_PACKAGE_VENDOR "SPR Rate developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${SPRRATE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL sprrate velmora-term)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${SPRRATE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# The packages are made from the tested build (optimised, with debugging symbols);
# the symbols stay out of them.
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_SPRRATE_PACKAGE_NAME sprrate)
set(CPACK_DEBIAN_SPRRATE_PACKAGE_SECTION misc)
# The client library is loaded at run time, so the shared-library check cannot see it;
# the embedded engine opens the local database; the platform plugins draw the windows.
set(CPACK_DEBIAN_SPRRATE_PACKAGE_DEPENDS
    "libfbclient2 (>= 3.0), firebird3.0-server-core (>= 3.0), qt6-qpa-plugins")
set(CPACK_COMPONENT_SPRRATE_DESCRIPTION
   "Fare currency converter for the Velmora reservation terminal
SPR Rate floats above the terminal of the Velmora host reservation system as
a strip of four buttons. It converts the stored pricing record on the screen
into the agent's target currency with the airline's own exchange rates and
the currency's rounding formulas and writes the converted elements back, or
shows an estimated ticket image in that currency. The reference data (rates,
currencies, validating carriers, taxes) lives in a Firebird database.

sprrate-cli does the same jobs without a window and makes a new reference
database (sprrate-cli init-db).")

set(CPACK_DEBIAN_VELMORA-TERM_PACKAGE_NAME velmora-term)
set(CPACK_DEBIAN_VELMORA-TERM_PACKAGE_SECTION misc)
set(CPACK_COMPONENT_VELMORA-TERM_DESCRIPTION
   "Stand-in for the Velmora host terminal, for training and demonstrations
velmora-term plays the Velmora terminal application for SPR Rate: it answers
host commands from a scenario file, shows the screen and every command it
receives with the first line of its answer, and keeps a journal of them.
Sample scenarios are in /usr/share/velmora-term.")

include(CPack)
