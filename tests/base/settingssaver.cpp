// One program saving the settings file in a loop, for the test of concurrent saves:
//
//   sprrate-settingssaver INI SECTION COUNT
//
// COUNT times (and for at most 60 s): writes the window position (COUNT, -COUNT counting
// up) into SECTION, as a window does when it closes, then adds one to SAVES of section
// RACE in one read-modify-write, so that a save lost to another program's shows in the
// sum. Exit status 0 when every save went through; otherwise the first error is printed.
#include "base/inifile.h"
#include "base/settings.h"

#include <QElapsedTimer>
#include <QString>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: sprrate-settingssaver INI SECTION COUNT\n");
        return 2;
    }
    const QString ini = QString::fromLocal8Bit(argv[1]);
    const QString section = QString::fromLocal8Bit(argv[2]);
    const int count = std::atoi(argv[3]);
    QElapsedTimer clock;
    clock.start();
    int done = 0;
    for (int i = 1; i <= count && clock.elapsed() < 60000; ++i) {
        QString error;
        if (!base::writeWindowPosition(ini, section, QPoint(i, -i), &error)) {
            std::fprintf(stderr, "save %d: %s\n", i, qPrintable(error));
            return 1;
        }
        base::IniFile file(ini);
        if (!file.loadForUpdate(&error)) {
            std::fprintf(stderr, "count %d: %s\n", i, qPrintable(error));
            return 1;
        }
        file.writeInteger(u"RACE", u"SAVES", file.readInteger(u"RACE", u"SAVES", 0) + 1);
        if (!file.save(&error)) {
            std::fprintf(stderr, "count %d: %s\n", i, qPrintable(error));
            return 1;
        }
        done = i;
    }
    std::printf("%d\n", done);
    return done == count ? 0 : 1;
}
