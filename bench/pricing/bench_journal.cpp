// The conversion journal: appending one entry (under the journal's lock file, with the
// check for a new file) beside a bare append of the same line, and reading a full journal
// (both files at the default size) into the history beside reading its lines alone.
#include "base/journalfile.h"
#include "pricing/journal.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace Qt::Literals::StringLiterals;

namespace {

// An entry as a converted run of the sample record leaves it (about 1.3 KB).
pricing::JournalEntry runEntry(int record)
{
    pricing::JournalEntry e;
    e.time = QDateTime::currentDateTime();
    e.user = u"anna"_s;
    e.program = u"sprrate"_s;
    e.job = pricing::journal::Run.toString();
    e.record = QString::number(record % 99 + 1).rightJustified(2, u'0');
    e.carrier = u"LH"_s;
    e.from = u"USD"_s;
    e.to = u"RUB"_s;
    rates::RateUse rate;
    rate.carrier = u"LH"_s;
    rate.from = u"USD"_s;
    rate.to = u"RUB"_s;
    rate.rate = 92.8;
    rate.offered = 1;
    rate.validFrom = QDate::currentDate().addDays(-30);
    rate.validTo = QDate::currentDate().addDays(30);
    rate.fareRule = u"CEIL(VALUE/5)*5"_s;
    rate.taxRule = u"CEIL(INT(VALUE*10)/10)"_s;
    e.rates = {rate};
    e.rules = {pricing::RuleUse{u"fare"_s, rate.fareRule, 52524.8, 52525.0}};
    for (const char16_t* tax : {u"YQ", u"DE", u"RI", u"UH", u"OY"})
        e.rules.push_back({u"tax 1 "_s + QString::fromUtf16(tax), rate.taxRule, 1262.08, 1262.0});
    e.planned = {u"TTI/T01/K2USD92.8000"_s, u"TTK/T01/ERUB52525.00/X"_s,
                 u"TTK/T01/XRUB1262.00YQ/XRUB409.00DE/XRUB2348.00RI/XRUB288.00UH"_s,
                 u"TTK/T01/XRUB195.00OY"_s};
    e.sent = e.planned;
    e.outcome = pricing::journal::Converted.toString();
    e.messages = {u"SPR converted at rate 92.8000: 4 update commands sent."_s};
    return e;
}

constexpr qint64 DefaultSize = 10 * 1024 * 1024;

void BM_JournalAppend(benchmark::State& state)
{
    QTemporaryDir dir;
    const base::JournalFile journal(dir.filePath(u"journal.jsonl"_s), DefaultSize);
    const QByteArray line = pricing::journalLine(runEntry(1));
    for (auto _ : state) {
        const QString why = journal.append(line);
        if (!why.isEmpty())
            state.SkipWithError(why.toLocal8Bit().constData());
    }
    state.counters["bytes"] = double(line.size());
}
BENCHMARK(BM_JournalAppend)->Unit(benchmark::kMicrosecond);

// The peer: open, append the line and its end in one write, close.
void BM_BareAppend(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"journal.jsonl"_s);
    const QByteArray line = pricing::journalLine(runEntry(1)) + '\n';
    for (auto _ : state) {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered) ||
            f.write(line) != line.size())
            state.SkipWithError("the bare append failed");
    }
}
BENCHMARK(BM_BareAppend)->Unit(benchmark::kMicrosecond);

// Both files full: what the History window and "sprrate-cli history" read at most.
struct FullJournal {
    FullJournal() : journal(dir.filePath(u"journal.jsonl"_s), DefaultSize)
    {
        for (const QString& path : {journal.oldPath(), journal.path()}) {
            QFile f(path);
            f.open(QIODevice::WriteOnly);
            qint64 size = 0;
            for (int n = 0; size < DefaultSize; ++n) {
                const QByteArray line = pricing::journalLine(runEntry(n)) + '\n';
                f.write(line);
                size += line.size();
                ++entries;
            }
        }
    }
    QTemporaryDir dir;
    base::JournalFile journal;
    int entries = 0;
};

void BM_ReadHistory(benchmark::State& state)
{
    const FullJournal full;
    for (auto _ : state)
        benchmark::DoNotOptimize(pricing::readHistory(full.journal, {}));
    state.counters["entries"] = full.entries;
}
BENCHMARK(BM_ReadHistory)->Unit(benchmark::kMillisecond);

void BM_ReadHistoryOfOneRecord(benchmark::State& state)
{
    const FullJournal full;
    for (auto _ : state)
        benchmark::DoNotOptimize(pricing::readHistory(full.journal, {u"5"_s, {}}));
}
BENCHMARK(BM_ReadHistoryOfOneRecord)->Unit(benchmark::kMillisecond);

// The peer: the files' lines alone, unparsed.
void BM_ReadLines(benchmark::State& state)
{
    const FullJournal full;
    for (auto _ : state)
        benchmark::DoNotOptimize(full.journal.readLines());
}
BENCHMARK(BM_ReadLines)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
