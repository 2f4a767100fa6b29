// The terminal link against a real velmora-term process on a socket of the test's own.
#include "host/hosterror.h"
#include "host/hostlink.h"
#include "host/termlinkclient.h"
#include "support/qtapp.h"
#include "support/recordinginteraction.h"
#include "support/velmoraterm.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <gtest/gtest.h>
#include <thread>

using namespace host;
using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

namespace {

QString samplePath(const char16_t* name)
{
    return QString::fromUtf8(SPRRATE_SAMPLES_DIR) + u"/"_s + QString::fromUtf16(name);
}

class TermLink : public testing::Test {
protected:
    TermLink() { testsupport::ensureCoreApplication(); }

    void useTerminal(std::chrono::milliseconds timeout = 30s)
    {
        registerTermLink(registry, {terminal.socket(), timeout});
    }

    testsupport::VelmoraTerm terminal;
    AutomationRegistry registry;
    testsupport::RecordingInteraction ui;
    HostLink link{registry, ui};
};

const QString Slow = u"on SLOW => done wait 60000\n"
                     "screen done\nDONE\n>\n@end\n"_s;

TEST_F(TermLink, NoSessionIsTheConnectionErrorMessage)
{
    terminal.startFile(samplePath(u"no-session.scn"));
    useTerminal();
    link.ConnectHost();
    EXPECT_FALSE(link.HostConnected());
    EXPECT_EQ(ui.messages, QStringList{ConnectionErrorMessage.toString()});

    // a session object reaching the terminal anyway gets the terminal's refusal
    auto session = registry.create<HostSession>(HostSessionProgId);
    EXPECT_THROW(session->Send(u"MD"_s, 1), HostError);
}

TEST_F(TermLink, NoTerminalFailsAtOnceWithTheNotRegisteredMessage)
{
    // With an hour's limit, a connection that waited for it would hang the test.
    registerTermLink(registry, {terminal.socket(), std::chrono::hours(1)});
    link.ConnectHost();
    EXPECT_FALSE(link.HostConnected());
    EXPECT_EQ(ui.messages, QStringList{NotRegisteredMessage.toString()});
}

TEST_F(TermLink, ASocketLeftByADeadTerminalIsNoTerminal)
{
    terminal.start(u"sessions 1\n"_s);
    terminal.kill(); // the socket file stays behind
    ASSERT_TRUE(QFile::exists(terminal.socket()));
    useTerminal();
    link.ConnectHost();
    EXPECT_FALSE(link.HostConnected());
    EXPECT_EQ(ui.messages, QStringList{NotRegisteredMessage.toString()});

    // and a new terminal takes the place of the dead one
    terminal.start(u"sessions 1\n"_s);
    link.ConnectHost();
    EXPECT_TRUE(link.HostConnected());
}

TEST_F(TermLink, PagesTheStoredPricingRecordAndJournalsEveryCommand)
{
    terminal.startFile(samplePath(u"spr-record.scn"));
    useTerminal();
    link.ConnectHost();
    ASSERT_TRUE(link.HostConnected());
    EXPECT_TRUE(ui.messages.isEmpty());
    HostSession& session = link.session();

    const QString page1 = session.LastResponse().Text;
    EXPECT_TRUE(page1.startsWith(u"SPR00001"_s));
    EXPECT_TRUE(page1.endsWith(u"\n)>"_s));
    const QString page2 = session.Send(u"MD"_s, 1).Text;
    EXPECT_TRUE(page2.startsWith(u"TX001 X USD    13.60YQ"_s)) << page2.toStdString();
    EXPECT_TRUE(page2.endsWith(u"\n>"_s));
    EXPECT_EQ(session.LastResponse().Text, page2);

    EXPECT_EQ(session.Send(u"TTK/T01/O"_s, 1).Text, u"SPR00001 UPDATED\n>"_s);
    EXPECT_EQ(session.Send(u"XYZ"_s, 1).Text, u"INVALID ENTRY - CHECK FORMAT\n>"_s);
    EXPECT_TRUE(session.Send(u"FQC10.00USD/RUB"_s, 1)
                    .Text.contains(u"RUB 925.00 - ROUNDED AS OTHER CHARGES"_s));
    EXPECT_EQ(terminal.journal(),
              (QStringList{u"MD"_s, u"TTK/T01/O"_s, u"XYZ"_s, u"FQC10.00USD/RUB"_s}));
}

TEST_F(TermLink, ATerminalKilledDuringACommandIsAnErrorNotAHang)
{
    terminal.start(Slow);
    useTerminal(); // 30 s: far longer than the kill takes
    link.ConnectHost();
    ASSERT_TRUE(link.HostConnected());
    HostSession& session = link.session();

    // Kill the terminal once it has the command, while it holds back the answer.
    const qint64 pid = terminal.pid();
    std::thread killer([&] {
        const QDeadlineTimer deadline(20000);
        while (!terminal.journal().contains(u"SLOW"_s) && !deadline.hasExpired())
            std::this_thread::sleep_for(5ms);
        ::kill(static_cast<pid_t>(pid), SIGKILL);
    });
    try {
        session.Send(u"SLOW"_s, 1);
        ADD_FAILURE() << "Send returned";
    } catch (const HostError& e) {
        EXPECT_EQ(e.message(), u"The terminal closed the connection before answering."_s);
    }
    killer.join();
    EXPECT_THROW(session.LastResponse(), HostError); // the link stays broken
    link.ConnectHost();
    EXPECT_FALSE(link.HostConnected());
    EXPECT_EQ(ui.messages, QStringList{NotRegisteredMessage.toString()});
}

TEST_F(TermLink, ATerminalGoneBetweenCommandsIsAnError)
{
    terminal.start(u"sessions 1\n"_s);
    useTerminal();
    link.ConnectHost();
    ASSERT_TRUE(link.HostConnected());
    EXPECT_EQ(link.session().Send(u"MD"_s, 1).Text, u"NOTHING TO SCROLL\n>"_s);
    terminal.kill();
    EXPECT_THROW(link.session().Send(u"MD"_s, 1), HostError); // writing to it must not crash
    EXPECT_THROW(link.session().LastResponse(), HostError);
}

TEST_F(TermLink, ATerminalThatStopsAnsweringRunsIntoTheTimeLimit)
{
    terminal.start(Slow);
    useTerminal(300ms);
    link.ConnectHost();
    ASSERT_TRUE(link.HostConnected());
    try {
        link.session().Send(u"SLOW"_s, 1);
        ADD_FAILURE() << "Send returned";
    } catch (const HostError& e) {
        EXPECT_EQ(e.message(), u"The terminal did not answer within 0.3 s."_s);
    }
    // The late answer belongs to a dropped connection: it can never be taken for the
    // answer of a later command.
    EXPECT_THROW(link.session().Send(u"MD"_s, 1), HostError);
    link.ConnectHost();
    ASSERT_TRUE(link.HostConnected());
    EXPECT_EQ(link.session().Send(u"MD"_s, 1).Text, u"NOTHING TO SCROLL\n>"_s);
}

TEST_F(TermLink, ACommandNoTerminalWouldTakeIsRefused)
{
    terminal.start(u"sessions 1\n"_s);
    useTerminal();
    link.ConnectHost();
    ASSERT_TRUE(link.HostConnected());
    EXPECT_THROW(link.session().Send(QString(70000, u'X'), 1), HostError);
    EXPECT_TRUE(terminal.journal().isEmpty());
}

// velmora-term run to its end: exit code and what it said on stderr.
std::pair<int, QString> runTerminal(const QStringList& arguments)
{
    QProcess process;
    process.start(QString::fromUtf8(VELMORA_TERM_PATH), arguments);
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished();
        return {-1, u"still running"_s};
    }
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardError())};
}

TEST_F(TermLink, ASecondTerminalOnTheSameSocketRefusesToStart)
{
    terminal.start(u"sessions 1\n"_s);
    const auto [code, err] = runTerminal({u"--headless"_s, u"--socket"_s, terminal.socket()});
    EXPECT_EQ(code, 2);
    EXPECT_TRUE(err.contains(u"another terminal already answers at"_s)) << err.toStdString();
    // the first one still serves
    useTerminal();
    link.ConnectHost();
    EXPECT_TRUE(link.HostConnected());
}

TEST_F(TermLink, AFaultyScenarioStopsTheTerminalWithItsLine)
{
    QTemporaryDir dir;
    const QString path = dir.path() + u"/bad.scn"_s;
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("sessions 1\nrate USD RUB -1\n");
    file.close();
    const auto [code, err] =
        runTerminal({path, u"--headless"_s, u"--socket"_s, dir.path() + u"/t.sock"_s});
    EXPECT_EQ(code, 2);
    EXPECT_TRUE(err.contains(u"line 2: the rate must be a positive number"_s)) << err.toStdString();
}

struct SizeCase {
    const char* name;
    qsizetype bytes;
    bool accepted;
};

class TermLinkSize : public TermLink, public testing::WithParamInterface<SizeCase> {};

TEST_P(TermLinkSize, AnswersAboveOneMebibyteAreErrors)
{
    terminal.start(u"on BIG => big\nscreen big\n"_s + QString(GetParam().bytes, u'A') +
                   u"\n@end\n"_s);
    useTerminal();
    link.ConnectHost();
    ASSERT_TRUE(link.HostConnected());
    if (GetParam().accepted) {
        EXPECT_EQ(link.session().Send(u"BIG"_s, 1).Text.size(), GetParam().bytes);
    } else {
        try {
            link.session().Send(u"BIG"_s, 1);
            ADD_FAILURE() << "Send returned";
        } catch (const HostError& e) {
            EXPECT_TRUE(e.message().startsWith(u"The terminal's answer is larger than 1 MiB"_s));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Limit, TermLinkSize,
                         testing::Values(SizeCase{"exactlyOneMebibyte", 1 << 20, true},
                                         SizeCase{"oneByteMore", (1 << 20) + 1, false}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
