// A QCoreApplication for GoogleTest suites whose code needs one (sockets, processes).
#pragma once

#include <QCoreApplication>

namespace testsupport {

inline void ensureCoreApplication()
{
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "sprrate-test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
}

} // namespace testsupport
