// The settings file while other programs save it: every reading sees the whole of one
// version of the file, and no save loses another's.
#include "base/inifile.h"
#include "base/settings.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <vector>

using namespace base;
using namespace Qt::Literals::StringLiterals;

namespace {

const QByteArray settingsFile = "[MAIN]\n"
                                "CURRENCYTO=EUR\n"
                                "FAREMASK=0.000\n"
                                "DATABASE=/srv/agency/sprrate.gdb\n"
                                "USERNAME=agent\n"
                                "[WINDOW]\n"
                                "LEFT=10\n"
                                "TOP=20\n";

constexpr int savers = 3;
constexpr int savesEach = 400; // window positions; as many counted read-modify-writes

} // namespace

TEST(ConcurrentSaves, ReadersSeeAWholeFileAndNoSaveIsLost)
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(u"sprrate.INI"_s);
    {
        QFile f(ini);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(settingsFile), settingsFile.size());
    }
    const QString sections[savers] = {u"WINDOW"_s, u"RATEWINDOW"_s, u"TAXWINDOW"_s};
    std::vector<std::unique_ptr<QProcess>> processes;
    for (const QString& section : sections) {
        auto p = std::make_unique<QProcess>();
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QStringLiteral(SETTINGSSAVER_PATH), {ini, section, QString::number(savesEach)});
        ASSERT_TRUE(p->waitForStarted()) << p->errorString().toStdString();
        processes.push_back(std::move(p));
    }

    // Read as the program does at start, until the savers are done; the deadline only
    // stops a test whose savers hang.
    const QDeadlineTimer deadline(std::chrono::seconds(120));
    int reads = 0, failed = 0, defaulted = 0;
    QString firstProblem;
    const auto running = [&] {
        for (const auto& p : processes) {
            if (p->state() != QProcess::NotRunning && !p->waitForFinished(0))
                return true;
        }
        return false;
    };
    while (running() && !deadline.hasExpired()) {
        QString problem;
        const Settings s = readSettings(ini, u"<default>"_s, &problem);
        ++reads;
        if (!problem.isEmpty()) {
            ++failed;
            if (firstProblem.isEmpty())
                firstProblem = problem;
        } else if (s.fareMask != u"0.000"_s || s.database != u"/srv/agency/sprrate.gdb"_s ||
                   s.currencyTo != u"EUR"_s || s.userName != u"agent"_s) {
            ++defaulted;
        }
    }
    for (const auto& p : processes) {
        if (p->state() != QProcess::NotRunning) {
            p->kill();
            p->waitForFinished();
        }
    }

    IniFile after(ini);
    ASSERT_TRUE(after.load());
    const int counted = after.readInteger(u"RACE", u"SAVES", 0);
    std::cout << "[ figures ] " << savers << " processes x " << savesEach
              << " window positions and " << savesEach << " counted saves; " << reads
              << " reads meanwhile: " << failed << " failed, " << defaulted
              << " with a value lost or defaulted; count " << counted << " of "
              << savers * savesEach << "\n";

    for (const auto& p : processes) {
        EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p->exitCode(), 0);
    }
    EXPECT_GT(reads, 0);
    EXPECT_EQ(failed, 0) << firstProblem.toStdString();
    EXPECT_EQ(defaulted, 0);
    EXPECT_EQ(counted, savers * savesEach) << "a save was lost to another's";
    for (const QString& section : sections)
        EXPECT_EQ(readWindowPosition(ini, section, {}), QPoint(savesEach, -savesEach))
            << section.toStdString();
    const Settings s = readSettings(ini, u"<default>"_s);
    EXPECT_EQ(s.database, u"/srv/agency/sprrate.gdb"_s);
    EXPECT_EQ(s.fareMask, u"0.000"_s);
    EXPECT_FALSE(QFile::exists(ini + u".lock"_s));
}
