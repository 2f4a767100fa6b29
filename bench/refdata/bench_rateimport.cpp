// Importing an airline's rate table of 100,000 rows into the sample database: the check of
// the whole file against the reference data, the check and the write in one transaction,
// and the check of a file whose last row is bad; beside the peer, the same rows inserted
// by one prepared statement with no checks at all.
#include "refdata/rateimport.h"

#include "benchdatabase.h"

#include <benchmark/benchmark.h>

using namespace refdata;
using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int Rows = 100000;

// 20 series (four pairs, five carriers) of 5,000 one-day rates from 2031 on, clear of the
// sample's stored rates.
QByteArray rateFile(bool badLastRow)
{
    QByteArray file = "FROM,TO,CARRIER,RATE,VALID_FROM,VALID_TO\n";
    const char* pairs[][2] = {{"USD", "RUB"}, {"EUR", "RUB"}, {"GBP", "RUB"}, {"EUR", "USD"}};
    const char* carriers[] = {"SU", "S7", "LH", "BA", "AF"};
    const QDate first(2031, 1, 1);
    int n = 0;
    for (const auto& pair : pairs) {
        for (const char* carrier : carriers) {
            for (int d = 0; d < Rows / 20; ++d, ++n) {
                const QByteArray day = first.addDays(d).toString(u"dd.MM.yyyy"_s).toLatin1();
                const bool bad = badLastRow && n == Rows - 1;
                file += QByteArray(pair[0]) + ',' + pair[1] + ',' + carrier + ',' +
                        (bad ? QByteArray("0") : QByteArray::number(90 + d / 1000.0, 'f', 4)) +
                        ',' + day + ',' + day + '\n';
            }
        }
    }
    return file;
}

struct Fixture {
    Fixture()
        : path(benchsupport::benchmarkDatabase(u"import.gdb"_s, true, "commit;\n")),
          good(rateFile(false)), bad(rateFile(true))
    {
        connection.setDatabaseName(path);
        connection.setUserName(u"sysdba"_s);
        connection.connect();
        removeImported();
    }
    void removeImported()
    {
        Transaction t(connection, {u"write"_s, u"read_committed"_s, u"rec_version"_s});
        Statement s(connection, u"delete from FARE_CURRENCY_RATE where RATE_VALID_FROM >= "
                                u"DATE '2031-01-01'"_s);
        s.execute(t);
        t.commit();
        // The deleted rows collected now, not by whichever timed read meets them next.
        Transaction r(connection, {u"read"_s, u"read_committed"_s, u"rec_version"_s});
        Statement all(connection, u"select count(*) from FARE_CURRENCY_RATE"_s);
        all.open(r);
        all.next();
        all.close();
        r.commit();
    }
    QString path;
    QByteArray good;
    QByteArray bad;
    Connection connection;
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void BM_Import_CheckWholeFile(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        RateImport import = readRateFile(f.good);
        checkAgainstDatabase(import, f.connection);
        if (!import.problems.empty() || !import.overlaps.empty() || import.rows.size() != Rows)
            state.SkipWithError("the good file was refused");
    }
}
BENCHMARK(BM_Import_CheckWholeFile)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_Import_BadLastRow(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        const RateImport import = readRateFile(f.bad);
        if (import.problems.size() != 1)
            state.SkipWithError("the bad row was not found");
    }
}
BENCHMARK(BM_Import_BadLastRow)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_Import_CheckAndWrite(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        RateImport import = readRateFile(f.good);
        checkAgainstDatabase(import, f.connection);
        writeRates(import, f.connection, false);
        state.PauseTiming();
        f.removeImported();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Import_CheckAndWrite)->Unit(benchmark::kMillisecond)->Iterations(1);

// The peer: the rows already in memory, one prepared insert each, one transaction.
void BM_Peer_PlainInserts(benchmark::State& state)
{
    Fixture& f = fixture();
    const RateImport import = readRateFile(f.good);
    for (auto _ : state) {
        Transaction t(f.connection, {u"write"_s, u"read_committed"_s, u"rec_version"_s});
        Statement insert(f.connection,
                         u"insert into FARE_CURRENCY_RATE (CURRENCY_FROM, CURRENCY_TO, CARRIER_CODE, "
                         u"RATE_AMOUNT, RATE_VALID_FROM, RATE_VALID_TO) values (:F, :T, :C, :R, "
                         u":VF, :VT)"_s);
        for (const ImportedRate& r : import.rows) {
            insert.setParam(u"F"_s, r.from);
            insert.setParam(u"T"_s, r.to);
            insert.setParam(u"C"_s, r.carrier);
            insert.setParam(u"R"_s, r.rate);
            insert.setParam(u"VF"_s, r.validFrom);
            insert.setParam(u"VT"_s, r.validTo);
            insert.execute(t);
        }
        t.commit();
        state.PauseTiming();
        f.removeImported();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Peer_PlainInserts)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
