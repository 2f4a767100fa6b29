// One whole conversion run of the sample stored pricing record against velmora-term and
// the embedded sample database, split into the time spent waiting on the host link
// (every Send and LastResponse) and the program's own time (reading, patterns, rate
// lookups, rules, planning).
#include "app/application.h"
#include "host/termlinkclient.h"

#include "support/qtapp.h"
#include "support/recordinginteraction.h"
#include "support/testdatabase.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>

using namespace Qt::Literals::StringLiterals;
using Clock = std::chrono::steady_clock;

namespace {

// Adds the time of every call through the host link to a total.
class TimedSession : public host::HostSession {
public:
    TimedSession(std::unique_ptr<host::HostSession> inner, Clock::duration& total)
        : m_inner(std::move(inner)), m_total(total)
    {
    }
    host::HostResponse Send(const QString& command, int mode) override
    {
        const auto start = Clock::now();
        host::HostResponse r = m_inner->Send(command, mode);
        m_total += Clock::now() - start;
        return r;
    }
    host::HostResponse LastResponse() override
    {
        const auto start = Clock::now();
        host::HostResponse r = m_inner->LastResponse();
        m_total += Clock::now() - start;
        return r;
    }

private:
    std::unique_ptr<host::HostSession> m_inner;
    Clock::duration& m_total;
};

void BM_ConversionRun(benchmark::State& state)
{
    testsupport::ensureCoreApplication();
    QTemporaryDir dir;
    TestDatabase db(TestDatabase::Content::Sample);

    // The sample record, shown again after its update commands, so every run sees it.
    QFile sample(QStringLiteral(SPRRATE_SOURCE_DIR "/samples/spr-record.scn"));
    if (!sample.open(QIODevice::ReadOnly))
        throw std::runtime_error("no sample record");
    QString scenario = QString::fromUtf8(sample.readAll());
    scenario.replace(u"match TT[IK]/T01/.* => updated"_s, u"match TT[IK]/T01/.* => updated then spr"_s);
    const QString scenarioPath = dir.filePath(u"run.scn"_s);
    QFile out(scenarioPath);
    if (!out.open(QIODevice::WriteOnly) || out.write(scenario.toUtf8()) < 0)
        throw std::runtime_error("cannot write the scenario");
    out.close();

    const QString socket = dir.filePath(u"term.sock"_s);
    QProcess term;
    term.start(QStringLiteral(VELMORA_TERM_PATH), {scenarioPath, u"--headless"_s, u"--socket"_s, socket});
    QByteArray said;
    const QDeadlineTimer deadline(10000);
    while (!said.contains("listening") && !deadline.hasExpired() && term.waitForReadyRead(100))
        said += term.readAllStandardOutput();
    said += term.readAllStandardOutput();
    if (!said.contains("listening"))
        throw std::runtime_error("velmora-term did not start");

    QFile ini(dir.filePath(u"sprrate.INI"_s));
    if (!ini.open(QIODevice::WriteOnly))
        throw std::runtime_error("cannot write the settings");
    ini.write("[MAIN]\nDATABASE=" + db.path().toUtf8() + "\n");
    ini.close();

    Clock::duration hostTime{};
    host::AutomationRegistry termLink;
    host::registerTermLink(termLink, {socket, std::chrono::seconds(30)});
    host::AutomationRegistry registry;
    registry.registerClass(host::HostSessionsProgId.toString(), [&] {
        return termLink.createObject(host::HostSessionsProgId.toString());
    });
    registry.registerClass(host::HostSessionProgId.toString(), [&] {
        return std::make_unique<TimedSession>(
            termLink.create<host::HostSession>(host::HostSessionProgId), hostTime);
    });
    testsupport::RecordingInteraction ui;
    app::Application application(dir.filePath(u"sprrate"_s), ui, registry);
    application.readSettings();

    Clock::duration total{};
    for (auto _ : state) {
        const auto start = Clock::now();
        const pricing::RunResult r = application.btnRunClick();
        total += Clock::now() - start;
        if (r.outcome != pricing::RunResult::Outcome::Converted) {
            state.SkipWithError("the run did not convert the record");
            break;
        }
    }
    const double n = double(state.iterations());
    const auto us = [n](Clock::duration d) {
        return std::chrono::duration<double, std::micro>(d).count() / n;
    };
    state.counters["host_us"] = us(hostTime);
    state.counters["program_us"] = us(total - hostTime);
    term.kill();
    term.waitForFinished(5000);
}
BENCHMARK(BM_ConversionRun)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

BENCHMARK_MAIN();
