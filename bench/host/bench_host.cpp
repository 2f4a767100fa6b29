// One command's round trip through the terminal link to a velmora-term process, beside a
// bare local-socket echo of a frame of the same size (the floor any socket link pays) and
// velmora-term's session logic alone; and one reading of the shipped ticket image beside
// splitting the same text into lines.
#include "host/automation.h"
#include "host/termlinkclient.h"
#include "host/termlinkprotocol.h"
#include "pricing/pricingreader.h"
#include "scenario.h"
#include "terminalsession.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QtEndian>

#include <atomic>
#include <benchmark/benchmark.h>
#include <memory>
#include <thread>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString PingScenario = u"on PING => pong\nscreen pong\nPONG\n>\n@end\n"_s;

QString samplesDir()
{
    return QString::fromUtf8(SPRRATE_SAMPLES_DIR);
}

// A velmora-term process for the whole run.
class Terminal {
public:
    Terminal()
    {
        const QString scenario = m_dir.path() + u"/ping.scn"_s;
        QFile file(scenario);
        if (file.open(QIODevice::WriteOnly))
            file.write(PingScenario.toUtf8());
        file.close();
        m_process.start(QString::fromUtf8(VELMORA_TERM_PATH),
                        {scenario, u"--headless"_s, u"--socket"_s, socket()});
        QByteArray out;
        const QDeadlineTimer deadline(10000);
        while (!out.contains("listening") && !deadline.hasExpired() &&
               m_process.waitForReadyRead(100))
            out += m_process.readAllStandardOutput();
        m_ready = out.contains("listening");
    }
    ~Terminal()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    QString socket() const { return m_dir.path() + u"/term.sock"_s; }
    bool ready() const { return m_ready; }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    bool m_ready = false;
};

void BM_SendRoundTrip(benchmark::State& state)
{
    Terminal terminal;
    if (!terminal.ready()) {
        state.SkipWithError("velmora-term did not start");
        return;
    }
    host::AutomationRegistry registry;
    host::registerTermLink(registry, {terminal.socket()});
    auto session = registry.create<host::HostSession>(host::HostSessionProgId);
    const QString ping = u"PING"_s;
    for (auto _ : state)
        benchmark::DoNotOptimize(session->Send(ping, 1));
}
BENCHMARK(BM_SendRoundTrip)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly();

// Answers every frame with itself, on a thread of its own.
class EchoServer {
public:
    explicit EchoServer(const QString& name)
        : m_thread(QThread::create([this, name] { run(name); }))
    {
        m_thread->start();
        while (!m_listening)
            std::this_thread::yield();
    }
    ~EchoServer() { m_thread->wait(); }

private:
    void run(const QString& name)
    {
        QLocalServer server;
        server.listen(name);
        m_listening = true;
        if (!server.waitForNewConnection(10000))
            return;
        QLocalSocket* socket = server.nextPendingConnection();
        QByteArray buffer;
        while (socket->waitForReadyRead(-1) || socket->bytesAvailable() > 0) {
            buffer += socket->readAll();
            while (buffer.size() >= 4) {
                const qsizetype length = 4 + qFromBigEndian<quint32>(buffer.constData());
                if (buffer.size() < length)
                    break;
                socket->write(buffer.left(length));
                socket->flush();
                buffer.remove(0, length);
            }
        }
        delete socket;
    }

    std::atomic<bool> m_listening = false;
    std::unique_ptr<QThread> m_thread;
};

void BM_LocalSocketEcho(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString name = dir.path() + u"/echo.sock"_s;
    EchoServer server(name);
    {
        QLocalSocket socket;
        socket.connectToServer(name);
        if (!socket.waitForConnected(5000)) {
            state.SkipWithError("no echo server");
            return;
        }
        // as large as the PING answer
        const QByteArray frame = host::termlink::encodeFrame('R', 1, u"PONG\n>"_s);
        QByteArray in;
        for (auto _ : state) {
            socket.write(frame);
            socket.flush();
            in.clear();
            while (in.size() < frame.size() && socket.waitForReadyRead(5000))
                in += socket.readAll();
            benchmark::DoNotOptimize(in);
        }
        socket.disconnectFromServer();
    }
}
BENCHMARK(BM_LocalSocketEcho)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

void BM_SessionInProcess(benchmark::State& state)
{
    velmora::TerminalSession session(velmora::parseScenario(PingScenario));
    const QString ping = u"PING"_s;
    for (auto _ : state)
        benchmark::DoNotOptimize(session.send(ping));
}
BENCHMARK(BM_SessionInProcess)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

QString ticketImage()
{
    const auto s = velmora::loadScenario(samplesDir() + u"/ticket-image.scn"_s);
    return s.screens.at(u"ticket"_s).pages.at(0);
}

void BM_ReadTicketImage(benchmark::State& state)
{
    const QString text = ticketImage();
    host::TextBuffer mHostAnswer;
    pricing::PricingModel model;
    for (auto _ : state)
        benchmark::DoNotOptimize(pricing::readPricingText(text, mHostAnswer, model));
    if (pricing::readPricingText(text, mHostAnswer, model).TaxCount != 5)
        state.SkipWithError("the sample was not read");
}
BENCHMARK(BM_ReadTicketImage)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

void BM_SplitTicketImage(benchmark::State& state)
{
    const QString text = ticketImage();
    for (auto _ : state)
        benchmark::DoNotOptimize(text.split(u'\n'));
}
BENCHMARK(BM_SplitTicketImage)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv); // for the process and the sockets
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
