// The table browser under the rate list on a FARE_CURRENCY_RATE of one million rows: 100
// series (currency pair and carrier) of 10,000 rates each, two per day. The rate list's
// filter (USD to RUB, carrier SU) and order (latest validity first) select one series.
// Beside the windowed browser, in the same run, a browser that reads the whole result
// at every open and refresh, as the simpler design would.
#include "refdata/benchdatabase.h"
#include "refdata/tablebrowser.h"
#include "support/testdatabase.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <memory>

using namespace refdata;
using namespace Qt::Literals::StringLiterals;

namespace {

const QString RateFilter = u" CURRENCY_FROM='USD' and CURRENCY_TO='RUB' and CARRIER_CODE='SU'"_s;
const QString RateOrder = u"RATE_VALID_TO desc, RATE_VALID_FROM desc"_s;

// The database, kept in the build folder between runs (filling takes about 20 s).
QString millionRates()
{
    static const char* fill = R"(set term ^ ;
execute block as
declare variable s integer; declare variable d integer; declare variable vday date;
declare variable froms varchar(30) = 'USDEURGBPCHFUAHKZTBYNCNYJPYTRY';
declare variable tos varchar(6) = 'RUBEUR';
declare variable carriers varchar(10) = 'SUS7LHBAAF';
begin
  s = 0;
  while (s < 100) do begin
    d = 0;
    while (d < 10000) do begin
      vday = current_date - :d / 2;
      insert into FARE_CURRENCY_RATE (CURRENCY_FROM, CURRENCY_TO, CARRIER_CODE,
        RATE_AMOUNT, RATE_VALID_FROM, RATE_VALID_TO)
      values (substring(:froms from (:s / 10) * 3 + 1 for 3),
        substring(:tos from mod(:s / 5, 2) * 3 + 1 for 3),
        substring(:carriers from mod(:s, 5) * 2 + 1 for 2), 90 + :d / 10000.0,
        :vday - mod(:d, 2), :vday);
      d = d + 1;
    end
    s = s + 1;
  end
end^
set term ; ^
commit;
set statistics index FARE_CURRENCY_RATE_LOOKUP;
commit;
)";
    return benchsupport::benchmarkDatabase(u"browser-1m.gdb"_s, false, fill);
}

struct Fixture {
    Fixture() : path(millionRates())
    {
        db.setLocation(path, u"sysdba"_s, u"lanternix"_s);
        db.connectIfNeeded();
    }
    QString path;
    ReferenceDatabase db;
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

std::unique_ptr<TableBrowser> rateBrowser(bool filtered = true)
{
    auto b = std::make_unique<TableBrowser>(fixture().db);
    b->setTableName(u"FARE_CURRENCY_RATE"_s);
    b->setIndexFieldNames(RateOrder);
    b->setFilter(RateFilter);
    b->setFiltered(filtered);
    b->open();
    return b;
}

void held(benchmark::State& state, int rows)
{
    state.counters["rows_held"] = rows;
}

// Reads the whole filtered result at open and refresh; moves in memory.
class WholeResultBrowser {
public:
    explicit WholeResultBrowser(ReferenceDatabase& db, const QString& sql)
        : m_db(db), m_select(db.IBDatabase, sql)
    {}
    void open()
    {
        m_rows.clear();
        m_select.open(m_db.IBTransaction);
        while (m_select.next())
            m_rows.push_back(m_select.row());
        m_select.close();
        m_pos = m_rows.empty() ? -1 : 0;
    }
    void refresh() { open(); }
    void last() { m_pos = int(m_rows.size()) - 1; }
    std::size_t rowCount() const { return m_rows.size(); }
    int pos() const { return m_pos; }

private:
    ReferenceDatabase& m_db;
    Statement m_select;
    std::vector<std::vector<DbValue>> m_rows;
    int m_pos = -1;
};

// The moves each measured on the filtered and on the unfiltered list.
void reopen(benchmark::State& state, TableBrowser& b)
{
    for (auto _ : state) {
        b.close();
        b.open();
        benchmark::DoNotOptimize(b.currentIndex());
    }
    held(state, b.windowRowCount());
}

void toLast(benchmark::State& state, TableBrowser& b)
{
    for (auto _ : state) {
        b.last();
        benchmark::DoNotOptimize(b.currentIndex());
    }
    held(state, b.windowRowCount());
}

void refreshAt40(benchmark::State& state, TableBrowser& b)
{
    b.moveTo(40);
    for (auto _ : state)
        b.refresh();
    held(state, b.windowRowCount());
}

void BM_Window_Open(benchmark::State& state)
{
    reopen(state, *rateBrowser());
}
BENCHMARK(BM_Window_Open)->Unit(benchmark::kMillisecond);

// Past the window's end while the select still runs: the following rows of the cursor.
void BM_Window_NextAcrossBoundaryRunningSelect(benchmark::State& state)
{
    auto b = rateBrowser();
    for (auto _ : state) {
        state.PauseTiming();
        b->first();
        b->moveTo(TableBrowser::WindowSize - 1);
        state.ResumeTiming();
        b->next();
    }
    held(state, b->windowRowCount());
}
// Each iteration sets its window up untimed, so the count is fixed.
BENCHMARK(BM_Window_NextAcrossBoundaryRunningSelect)->Unit(benchmark::kMillisecond)->Iterations(30);

// Past the window's end after moving backwards, so that the next-rows statement runs:
// each iteration sets its window up untimed.
void nextByKeyset(benchmark::State& state, TableBrowser& b)
{
    for (auto _ : state) {
        state.PauseTiming();
        b.first();
        b.moveTo(TableBrowser::WindowSize - 1);
        b.next();
        b.moveTo(0);
        b.prior();
        b.moveTo(b.windowRowCount() - 1);
        state.ResumeTiming();
        b.next();
    }
    held(state, b.windowRowCount());
}

void BM_Window_NextAcrossBoundaryKeyset(benchmark::State& state)
{
    nextByKeyset(state, *rateBrowser());
}
// Each iteration sets its window up untimed, so the count is fixed.
BENCHMARK(BM_Window_NextAcrossBoundaryKeyset)->Unit(benchmark::kMillisecond)->Iterations(30);

void BM_Window_PriorAcrossBoundary(benchmark::State& state)
{
    auto b = rateBrowser();
    for (auto _ : state) {
        state.PauseTiming();
        b->first();
        b->moveTo(TableBrowser::WindowSize - 1);
        b->next();
        b->moveTo(0);
        state.ResumeTiming();
        b->prior();
    }
    held(state, b->windowRowCount());
}
// Each iteration sets its window up untimed, so the count is fixed.
BENCHMARK(BM_Window_PriorAcrossBoundary)->Unit(benchmark::kMillisecond)->Iterations(30);

void BM_Window_Last(benchmark::State& state)
{
    toLast(state, *rateBrowser());
}
BENCHMARK(BM_Window_Last)->Unit(benchmark::kMillisecond);

void BM_Window_Refresh(benchmark::State& state)
{
    refreshAt40(state, *rateBrowser());
}
BENCHMARK(BM_Window_Refresh)->Unit(benchmark::kMillisecond);

// A grid scrolled to the end of the held rows: the window slides on by half its size,
// from the running select.
void BM_Window_SlideForward(benchmark::State& state)
{
    auto b = rateBrowser();
    for (auto _ : state) {
        state.PauseTiming();
        b->first();
        state.ResumeTiming();
        b->slide(true);
    }
    held(state, b->windowRowCount());
}
// Each iteration sets its window up untimed, so the count is fixed.
BENCHMARK(BM_Window_SlideForward)->Unit(benchmark::kMillisecond)->Iterations(30);

// A grid scrolled to the top of the held rows: the prior-rows statement supplies half a
// window before them.
void BM_Window_SlideBack(benchmark::State& state)
{
    auto b = rateBrowser();
    for (auto _ : state) {
        state.PauseTiming();
        b->first();
        b->slide(true);
        b->slide(true);
        state.ResumeTiming();
        b->slide(false);
    }
    held(state, b->windowRowCount());
}
// Each iteration sets its window up untimed, so the count is fixed.
BENCHMARK(BM_Window_SlideBack)->Unit(benchmark::kMillisecond)->Iterations(30);

// Scrolling the grid through the whole filtered result, first row to last and back,
// slide by slide; the counter is the most rows held at any moment.
void BM_Window_ScrollWholeResultDown(benchmark::State& state)
{
    auto b = rateBrowser();
    int most = 0;
    for (auto _ : state) {
        state.PauseTiming();
        b->first();
        state.ResumeTiming();
        while (!b->windowAtEnd()) {
            b->slide(true);
            most = std::max(most, b->windowRowCount());
        }
    }
    held(state, most);
}
BENCHMARK(BM_Window_ScrollWholeResultDown)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Window_ScrollWholeResultUp(benchmark::State& state)
{
    auto b = rateBrowser();
    int most = 0;
    for (auto _ : state) {
        state.PauseTiming();
        b->last();
        state.ResumeTiming();
        while (!b->windowAtStart()) {
            b->slide(false);
            most = std::max(most, b->windowRowCount());
        }
    }
    held(state, most);
}
BENCHMARK(BM_Window_ScrollWholeResultUp)->Unit(benchmark::kMillisecond)->Iterations(3);

// The whole table in the rate list's order (all three filter texts empty), with the
// windows read bounded on the last day of validity (argument 1) and, as the peer, with
// every statement run as generated (0), which sorts the whole table.
std::unique_ptr<TableBrowser> unfilteredBrowser(const benchmark::State& state)
{
    auto b = std::make_unique<TableBrowser>(fixture().db);
    b->setTableName(u"FARE_CURRENCY_RATE"_s);
    b->setIndexFieldNames(RateOrder);
    b->setBoundedReads(state.range(0) != 0);
    b->open();
    return b;
}

void BM_Unfiltered_Open(benchmark::State& state)
{
    reopen(state, *unfilteredBrowser(state));
}
BENCHMARK(BM_Unfiltered_Open)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Unfiltered_NextAcrossBoundary(benchmark::State& state)
{
    nextByKeyset(state, *unfilteredBrowser(state));
}
BENCHMARK(BM_Unfiltered_NextAcrossBoundary)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void BM_Unfiltered_Last(benchmark::State& state)
{
    toLast(state, *unfilteredBrowser(state));
}
BENCHMARK(BM_Unfiltered_Last)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Unfiltered_Refresh(benchmark::State& state)
{
    refreshAt40(state, *unfilteredBrowser(state));
}
BENCHMARK(BM_Unfiltered_Refresh)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(3);

// Refresh in the middle of the order (the rate of key 5000 has the middle day of its
// series): the row is reached by a filter on its key, and the browser keeps it current
// when the filter is taken off, its window refilled around it.
void BM_Unfiltered_RefreshInTheMiddle(benchmark::State& state)
{
    auto b = unfilteredBrowser(state);
    b->setFilter(u"RATE_IDENTIFICATOR = 5000"_s);
    b->setFiltered(true);
    const DbValue id = b->value(u"RATE_IDENTIFICATOR"_s);
    b->setFiltered(false); // the row stays current, the window refilled around it
    if (b->value(u"RATE_IDENTIFICATOR"_s) != id)
        state.SkipWithError("the middle row was not kept");
    for (auto _ : state)
        b->refresh();
    held(state, b->windowRowCount());
    state.counters["at_start"] = b->windowAtStart();
    state.counters["at_end"] = b->windowAtEnd();
}
BENCHMARK(BM_Unfiltered_RefreshInTheMiddle)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void BM_WholeResult_Open(benchmark::State& state)
{
    auto probe = rateBrowser();
    WholeResultBrowser b(fixture().db, probe->statements().select);
    for (auto _ : state) {
        b.open();
        benchmark::DoNotOptimize(b.pos());
    }
    held(state, int(b.rowCount()));
}
BENCHMARK(BM_WholeResult_Open)->Unit(benchmark::kMillisecond);

void BM_WholeResult_Last(benchmark::State& state)
{
    auto probe = rateBrowser();
    WholeResultBrowser b(fixture().db, probe->statements().select);
    b.open();
    for (auto _ : state) {
        b.last();
        benchmark::DoNotOptimize(b.pos());
    }
    held(state, int(b.rowCount()));
}
BENCHMARK(BM_WholeResult_Last)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
