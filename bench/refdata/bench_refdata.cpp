// The rate lookup on a FARE_CURRENCY_RATE of one million rows: a thousand days of daily
// rates for each of a thousand currency pairs and carriers. Beside it, in the same run,
// the same lookup with the lookup index switched off (what the index buys) and a
// select of one row by primary key (the floor of one statement round trip).
#include "rates/ratelookup.h"
#include "refdata/benchdatabase.h"
#include "refdata/referencedb.h"
#include "support/recordinginteraction.h"
#include "support/testdatabase.h"

#include <benchmark/benchmark.h>
#include <memory>

using namespace refdata;
using namespace Qt::Literals::StringLiterals;

namespace {

// A database of 1,000,000 rates, made once a day and kept in the build folder.
QString millionRates()
{
    // 20 source currencies x 5 targets x 10 carriers, 1,000 daily rates each; the last
    // day of each series is today.
    static const char* fill = R"(delete from FARE_CURRENCY_RATE;
set term ^ ;
execute block as
declare variable f integer; declare variable t integer; declare variable k integer;
declare variable d integer;
declare variable froms varchar(60) = 'USDEURGBPCHFUAHKZTBYNCNYJPYTRYAEDNUCSEKNOKPLNCZKHUFINRTHBSGD';
declare variable tos varchar(15) = 'RUBUSDEURKZTCNY';
declare variable carriers varchar(20) = 'SUS7LHBAAFTKPSKCUAEK';
begin
  f = 0;
  while (f < 20) do begin
    t = 0;
    while (t < 5) do begin
      k = 0;
      while (k < 10) do begin
        d = 0;
        while (d < 1000) do begin
          insert into FARE_CURRENCY_RATE (CURRENCY_FROM, CURRENCY_TO, CARRIER_CODE,
            RATE_AMOUNT, RATE_VALID_FROM, RATE_VALID_TO)
          values (substring(:froms from :f * 3 + 1 for 3), substring(:tos from :t * 3 + 1 for 3),
            substring(:carriers from :k * 2 + 1 for 2), 90 + :d / 1000.0,
            current_date - 999 + :d, current_date - 999 + :d);
          d = d + 1;
        end
        k = k + 1;
      end
      t = t + 1;
    end
    f = f + 1;
  end
end^
set term ; ^
commit;
set statistics index FARE_CURRENCY_RATE_LOOKUP;
commit;
)";
    return benchsupport::benchmarkDatabase(u"rates-1m.gdb"_s, true, fill,
                                           benchsupport::Dated::FromToday);
}

struct Fixture {
    Fixture() : path(millionRates())
    {
        db.setLocation(path, u"sysdba"_s, u"lanternix"_s);
        db.connectIfNeeded();
    }
    QString path;
    ReferenceDatabase db;
    testsupport::RecordingInteraction ui;
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void setLookupIndex(bool active)
{
    testsupport::execOn(fixture().path, active
                                            ? u"alter index FARE_CURRENCY_RATE_LOOKUP active"_s
                                            : u"alter index FARE_CURRENCY_RATE_LOOKUP inactive"_s);
}

void BM_LookupRate(benchmark::State& state)
{
    Fixture& f = fixture();
    rates::RateLookup lookup(f.db, f.ui, [](auto&&...) { return 0.0; });
    for (auto _ : state) {
        const double rate = lookup.LookupRate(u"SU"_s, u"USD"_s, u"RUB"_s, true);
        benchmark::DoNotOptimize(rate);
    }
}
BENCHMARK(BM_LookupRate)->Unit(benchmark::kMicrosecond);

void BM_LookupRateWithoutIndex(benchmark::State& state)
{
    setLookupIndex(false);
    // A fresh attachment, so that no statement is prepared against the old index.
    ReferenceDatabase db;
    db.setLocation(fixture().path, u"sysdba"_s, u"lanternix"_s);
    testsupport::RecordingInteraction ui;
    rates::RateLookup lookup(db, ui, [](auto&&...) { return 0.0; });
    for (auto _ : state)
        benchmark::DoNotOptimize(lookup.LookupRate(u"SU"_s, u"USD"_s, u"RUB"_s, true));
    setLookupIndex(true);
}
BENCHMARK(BM_LookupRateWithoutIndex)->Unit(benchmark::kMicrosecond)->Iterations(5);

void BM_SelectOneRowByKey(benchmark::State& state)
{
    Fixture& f = fixture();
    Statement s(f.db.IBDatabase,
                u"select RATE_AMOUNT from FARE_CURRENCY_RATE where RATE_IDENTIFICATOR = :ID"_s);
    qint64 id = 1;
    for (auto _ : state) {
        s.setParam(u"ID"_s, id);
        s.open(f.db.IBTransaction);
        benchmark::DoNotOptimize(s.next());
        s.close();
        id = id % 1000000 + 1;
    }
}
BENCHMARK(BM_SelectOneRowByKey)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
