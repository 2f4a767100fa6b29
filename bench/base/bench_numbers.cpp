// Writing an amount through a mask, beside the C library's and Qt's fixed formatting
// (which round the binary value and know no masks) as the peers.
#include "base/numbers.h"

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

double amount(std::size_t i) { return 12.5 + double(i % 1000) * 1.37; }

void BM_FormatMask(benchmark::State& state)
{
    const QString mask = QStringLiteral("0.00");
    std::size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(base::numbers::formatMask(amount(i++), mask));
}
BENCHMARK(BM_FormatMask);

void BM_Snprintf(benchmark::State& state)
{
    char buf[64];
    std::size_t i = 0;
    for (auto _ : state) {
        std::snprintf(buf, sizeof buf, "%.2f", amount(i++));
        benchmark::DoNotOptimize(QString::fromLatin1(buf));
    }
}
BENCHMARK(BM_Snprintf);

void BM_QStringNumber(benchmark::State& state)
{
    std::size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(QString::number(amount(i++), 'f', 2));
}
BENCHMARK(BM_QStringNumber);

} // namespace

BENCHMARK_MAIN();
