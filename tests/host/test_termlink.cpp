// The terminal link against a real velmora-term process on a socket of the test's own.
#include "host/hosterror.h"
#include "host/hostlink.h"
#include "host/termlinkclient.h"
#include "support/qtapp.h"
#include "support/recordinginteraction.h"
#include "support/termlinkrelay.h"
#include "support/velmoraterm.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>

#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
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

TEST_F(TermLink, ATerminalThatNeverAnswersTheSessionCountSaysSo)
{
    terminal.start(u"sessions 1\n"_s);
    testsupport::TermLinkRelay silent(terminal.socket(), terminal.socket() + u".relay"_s,
                                      [](const QByteArray& request, const QByteArray& answer) {
                                          return testsupport::TermLinkRelay::kindOf(request) == 'N'
                                                     ? QByteArray()
                                                     : answer;
                                      });
    registerTermLink(registry, {silent.socket(), 300ms});
    link.ConnectHost();
    EXPECT_FALSE(link.HostConnected());
    EXPECT_EQ(ui.messages, QStringList{u"The terminal did not answer within 0.3 s."_s});
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

// ---------------------------------------------------------------------------------------
// A terminal that breaks the protocol: every break drops the connection with its own
// message, and nothing after it is taken for an answer.

QByteArray frameHeader(std::uint32_t length)
{
    QByteArray h(4, Qt::Uninitialized);
    qToBigEndian(length, h.data());
    return h;
}

// The answer frame with its request number (bytes 5 to 8) replaced.
QByteArray renumbered(QByteArray answer, std::uint32_t number)
{
    qToBigEndian(number, answer.data() + 5);
    return answer;
}

struct BreakCase {
    const char* name;
    // What the client gets instead of velmora-term's answer to the display request.
    std::function<QByteArray(const QByteArray& answer)> answer;
    // The message of the first call that meets the break: the request for the display
    // (or, when that answer is whole, the command after it).
    QString message;
};

class TermLinkBreak : public TermLink, public testing::WithParamInterface<BreakCase> {};

TEST_P(TermLinkBreak, DropsTheConnectionWithAProtocolError)
{
    terminal.startFile(samplePath(u"spr-record.scn"));
    testsupport::TermLinkRelay relay(terminal.socket(), terminal.socket() + u".relay"_s,
                                     [&](const QByteArray& request, const QByteArray& answer) {
                                         return testsupport::TermLinkRelay::kindOf(request) == 'L'
                                                    ? GetParam().answer(answer)
                                                    : answer;
                                     });
    registerTermLink(registry, {relay.socket(), 30s});
    link.ConnectHost();
    ASSERT_TRUE(link.HostConnected()) << ui.messages.join(u'|').toStdString();
    HostSession& session = link.session();
    try {
        session.LastResponse();
        session.Send(u"MD"_s, 1);
        ADD_FAILURE() << "the broken answer was taken";
    } catch (const HostError& e) {
        EXPECT_TRUE(e.message().startsWith(GetParam().message)) << e.message().toStdString();
    }
    // The connection is gone for good: no later answer can be taken for another's.
    try {
        session.Send(u"MD"_s, 1);
        ADD_FAILURE() << "the broken connection answered";
    } catch (const HostError& e) {
        EXPECT_EQ(e.message(), u"The connection to the terminal was lost by an earlier error."_s);
    }
    EXPECT_TRUE(ui.messages.isEmpty());
}

const QString ProtocolError = u"Protocol error on the terminal link: "_s;

INSTANTIATE_TEST_SUITE_P(
    Protocol, TermLinkBreak,
    testing::Values(
        // The copy is either already there when the next command would go out, or it
        // comes as the answer to that command, with the display request's number.
        BreakCase{"displayAnsweredTwice", [](const QByteArray& a) { return a + a; }, ProtocolError},
        BreakCase{"answerOfAnotherRequest", [](const QByteArray& a) { return renumbered(a, 7); },
                  ProtocolError + u"the answer to request 7 came for request 1."_s},
        BreakCase{"answerNumberedZero", [](const QByteArray& a) { return renumbered(a, 0); },
                  ProtocolError + u"the answer to request 0 came for request 1."_s},
        BreakCase{"frameOfLengthZero", [](const QByteArray&) { return frameHeader(0); },
                  ProtocolError + u"a frame of length 0."_s},
        BreakCase{"frameWithoutItsNumber",
                  [](const QByteArray& a) { return frameHeader(3) + a.mid(4, 3); },
                  ProtocolError + u"a frame of 3 bytes, too short for its request number."_s},
        BreakCase{"answerOfUnknownKind",
                  [](QByteArray a) {
                      a[4] = 'Q';
                      return a;
                  },
                  ProtocolError + u"an answer of unknown kind."_s},
        BreakCase{"textThatIsNotUtf8",
                  [](const QByteArray& a) {
                      return frameHeader(7) + a.mid(4, 5) + QByteArray("\xff\xfe");
                  },
                  ProtocolError + u"an answer that is not UTF-8 text."_s}),
    [](const auto& info) { return std::string(info.param.name); });

// velmora-term's side: every answer repeats its request's number, and a request that
// breaks the protocol ends the connection.
class RawClient {
public:
    explicit RawClient(const QString& socketName)
    {
        socket.connectToServer(socketName);
        if (!socket.waitForConnected(5000))
            throw std::runtime_error("no terminal");
    }
    void write(const QByteArray& bytes)
    {
        socket.write(bytes);
        socket.waitForBytesWritten(5000);
    }
    // The next whole frame, or nothing when the terminal closed the connection.
    std::optional<QByteArray> read()
    {
        const QDeadlineTimer deadline(5000);
        while (!deadline.hasExpired()) {
            if (auto frame = testsupport::TermLinkRelay::takeFrame(buffer))
                return frame;
            if (socket.state() != QLocalSocket::ConnectedState)
                return std::nullopt;
            socket.waitForReadyRead(50);
            buffer += socket.readAll();
        }
        throw std::runtime_error("the terminal neither answered nor closed");
    }
    QLocalSocket socket;
    QByteArray buffer;
};

QByteArray request(char kind, std::uint32_t number, const QByteArray& text = {})
{
    QByteArray payload(5, Qt::Uninitialized);
    payload[0] = kind;
    qToBigEndian(number, payload.data() + 1);
    return frameHeader(static_cast<std::uint32_t>(payload.size() + text.size())) + payload + text;
}

TEST_F(TermLink, VelmoraTermRepeatsTheNumberOfEveryRequest)
{
    terminal.start(u"sessions 2\n"_s);
    RawClient client(terminal.socket());
    client.write(request('N', 41) + request('S', 0xFFFFFFFFu, "MD") + request('?', 5));
    const auto count = client.read();
    const auto md = client.read();
    const auto unknown = client.read();
    ASSERT_TRUE(count && md && unknown);
    EXPECT_EQ(*count, frameHeader(6) + QByteArray("R\0\0\0\x29"
                                                  "2",
                                                  6));
    EXPECT_EQ(md->mid(4, 5), QByteArray("R\xff\xff\xff\xff", 5));
    EXPECT_EQ(unknown->mid(4, 5), QByteArray("E\0\0\0\x05", 5));
    EXPECT_EQ(terminal.journal(), QStringList{u"MD"_s});
}

struct BadRequest {
    const char* name;
    QByteArray bytes;
};

class VelmoraTermBadRequest : public TermLink, public testing::WithParamInterface<BadRequest> {};

TEST_P(VelmoraTermBadRequest, EndsTheConnectionAndRunsNothing)
{
    terminal.start(u"sessions 1\n"_s);
    RawClient client(terminal.socket());
    client.write(GetParam().bytes + request('S', 2, "MD"));
    EXPECT_FALSE(client.read()) << "the terminal answered after a broken request";
    EXPECT_TRUE(terminal.journal().isEmpty());
    // and it goes on serving others
    RawClient other(terminal.socket());
    other.write(request('N', 1));
    EXPECT_TRUE(other.read());
}

INSTANTIATE_TEST_SUITE_P(
    Protocol, VelmoraTermBadRequest,
    testing::Values(BadRequest{"lengthZero", frameHeader(0)},
                    BadRequest{"withoutItsNumber", frameHeader(3) + QByteArray("S\0\0", 3)},
                    BadRequest{"notUtf8", frameHeader(7) + QByteArray("S\0\0\0\1\xff\xfe", 7)}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
