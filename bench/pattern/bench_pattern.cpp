// The five shipped recognition patterns over a two-page stored pricing record display,
// every match visited with search and search again, beside raw PCRE2 JIT on the same
// translated patterns and std::regex (ECMAScript) on the pattern texts as the peers;
// and the cost of compiling each shipped pattern.
#include "base/settings.h"
#include "rates/pattern/patternmatcher.h"

#include <benchmark/benchmark.h>

#define PCRE2_CODE_UNIT_WIDTH 16
#include <array>
#include <pcre2.h>
#include <regex>
#include <string>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace {

// A stored pricing record as the host shows it after "MD": both pages, 40 lines.
const QString Display = uR"(>*SPR
SPR000 01                                     PRICED 12MAY26 AGT 4711
                                                                   
FXP/R,FC-EUR
  1   SVO SU 1234 Y 15JUN LED HK1   0900  1030   E  0 320  M
  2   LED SU 1235 Y 20JUN SVO HK1   1900  2030   E  0 320  M
  3   SVO SU 2580 Y 22JUN AER HK1   0705  0935   E  0 32A  M
  4   AER SU 2581 Y 28JUN SVO HK1   2110  2345   E  0 32A  M
FARE  F EUR      500.00
EQUIV   RUB    45000
TX001 X EUR     12.50YQ  TX002 X EUR      3.20RU  TX003 X EUR      8.40UH
TX004 X EUR      1.10ZZ  TX005 X EUR     22.00YR  TX006 X EUR      4.80DE
TOTAL   RUB    49680
MOW SU LED125.00SU MOW125.00SU AER125.00SU MOW125.00NUC500.00END
ROE1.000000
  NVB15JUN NVA15JUN BAG1PC
  NVB20JUN NVA20JUN BAG1PC
  NVB22JUN NVA22JUN BAG1PC
  NVB28JUN NVA28JUN BAG1PC
ENDORSEMENTS: NONEND/NONREF/CHNG RESTR
 1.TKT/TIME LIMIT 14MAY1800
 2.SSR DOCS SU HK1 P/RU/4510123456/RU/01JAN80/M/01JAN30/PETROV/IVAN
 3.OSI SU CTCM 79161234567
 4.RM PAX CONFIRMED FARE BY PHONE
 5.FV SU
 6.FM 1.00
)>
SPR000 01                                     PRICED 12MAY26 AGT 4711
 7.FE NONEND/NONREF
 8.FP CASH
 9.TOUR CODE IT26SU
10.SEGMENT STATUS CONFIRMED
  LAST DAY TO PURCHASE 14MAY/1800
  BASE FARE NUC500.00 ROE1.000000
  TAX BREAKDOWN
    YQ EUR 12.50   RU EUR 3.20   UH EUR 8.40
    ZZ EUR 1.10    YR EUR 22.00  DE EUR 4.80
  VALIDATING CARRIER SU
  ISSUING OFFICE MOW123
  END OF PRICING RECORD
>)"_s;

std::array<QString, 5> shippedPatterns()
{
    using namespace base::defaults;
    return {FareRegExp.toString(), EquivRegExp.toString(), TaxRegExp.toString(),
            SegmentFv.toString(), ElementFv.toString()};
}

struct Pcre2Pattern {
    pcre2_code_16* code = nullptr;
    pcre2_match_data_16* matchData = nullptr;

    explicit Pcre2Pattern(const QString& translated)
    {
        int error = 0;
        PCRE2_SIZE offset = 0;
        code = pcre2_compile_16(reinterpret_cast<PCRE2_SPTR16>(translated.utf16()),
                                PCRE2_SIZE(translated.size()), pattern::translatedCompileOptions(),
                                &error, &offset, nullptr);
        if (!code || pcre2_jit_compile_16(code, PCRE2_JIT_COMPLETE) != 0)
            std::abort();
        matchData = pcre2_match_data_create_from_pattern_16(code, nullptr);
    }
    ~Pcre2Pattern()
    {
        pcre2_match_data_free_16(matchData);
        pcre2_code_free_16(code);
    }
    Pcre2Pattern(const Pcre2Pattern&) = delete;
    Pcre2Pattern& operator=(const Pcre2Pattern&) = delete;
};

void BM_Matcher_Display(benchmark::State& state)
{
    std::vector<pattern::PatternMatcher> matchers;
    for (const QString& p : shippedPatterns())
        matchers.emplace_back(p);
    std::int64_t matches = 0;
    for (auto _ : state) {
        for (pattern::PatternMatcher& m : matchers) {
            for (bool found = m.search(Display); found; found = m.searchAgain()) {
                benchmark::DoNotOptimize(m.matchedText(0));
                ++matches;
            }
        }
    }
    state.counters["matches/pass"] = double(matches) / double(state.iterations());
}
BENCHMARK(BM_Matcher_Display);

void BM_RawPcre2Jit_Display(benchmark::State& state)
{
    std::vector<std::unique_ptr<Pcre2Pattern>> patterns;
    for (const QString& p : shippedPatterns())
        patterns.push_back(std::make_unique<Pcre2Pattern>(pattern::translatePattern(p).pcre2));
    const auto* subject = reinterpret_cast<PCRE2_SPTR16>(Display.utf16());
    const auto length = PCRE2_SIZE(Display.size());
    std::int64_t matches = 0;
    for (auto _ : state) {
        for (const auto& p : patterns) {
            PCRE2_SIZE start = 0;
            while (start <= length && pcre2_jit_match_16(p->code, subject, length, start, 0,
                                                         p->matchData, nullptr) > 0) {
                const PCRE2_SIZE* ov = pcre2_get_ovector_pointer_16(p->matchData);
                benchmark::DoNotOptimize(
                    Display.sliced(qsizetype(ov[0]), qsizetype(ov[1] - ov[0])));
                ++matches;
                start = ov[1] == ov[0] ? ov[1] + 1 : ov[1];
            }
        }
    }
    state.counters["matches/pass"] = double(matches) / double(state.iterations());
}
BENCHMARK(BM_RawPcre2Jit_Display);

void BM_StdRegex_Display(benchmark::State& state)
{
    std::vector<std::wregex> patterns;
    for (const QString& p : shippedPatterns())
        patterns.emplace_back(p.toStdWString(), std::regex::ECMAScript);
    const std::wstring text = Display.toStdWString();
    std::int64_t matches = 0;
    for (auto _ : state) {
        for (const std::wregex& re : patterns) {
            for (std::wsregex_iterator it(text.begin(), text.end(), re), end; it != end; ++it) {
                benchmark::DoNotOptimize(it->str());
                ++matches;
            }
        }
    }
    state.counters["matches/pass"] = double(matches) / double(state.iterations());
}
BENCHMARK(BM_StdRegex_Display);

// Compiling one shipped pattern (argument: its index, fare to FV element) and searching a
// one-character text, which is what the first search after a pattern change costs.
const QString Tiny = u"X"_s;

void BM_Matcher_Compile(benchmark::State& state)
{
    const QString p = shippedPatterns()[std::size_t(state.range(0))];
    const QString other = u"other"_s;
    pattern::PatternMatcher m;
    for (auto _ : state) {
        m.setPattern(p);
        benchmark::DoNotOptimize(m.search(Tiny));
        m.setPattern(other); // the next setPattern is a change again
    }
}
BENCHMARK(BM_Matcher_Compile)->DenseRange(0, 4);

// The matcher's own front end alone: parsing a pattern and writing its PCRE2 form.
void BM_Translate(benchmark::State& state)
{
    const QString p = shippedPatterns()[std::size_t(state.range(0))];
    for (auto _ : state)
        benchmark::DoNotOptimize(pattern::translatePattern(p));
}
BENCHMARK(BM_Translate)->DenseRange(0, 4);

void BM_RawPcre2Jit_Compile(benchmark::State& state)
{
    const QString translated =
        pattern::translatePattern(shippedPatterns()[std::size_t(state.range(0))]).pcre2;
    for (auto _ : state) {
        Pcre2Pattern p(translated);
        benchmark::DoNotOptimize(pcre2_jit_match_16(
            p.code, reinterpret_cast<PCRE2_SPTR16>(Tiny.utf16()), 1, 0, 0, p.matchData, nullptr));
    }
}
BENCHMARK(BM_RawPcre2Jit_Compile)->DenseRange(0, 4);

void BM_StdRegex_Compile(benchmark::State& state)
{
    const std::wstring p = shippedPatterns()[std::size_t(state.range(0))].toStdWString();
    const std::wstring tiny = L"X";
    for (auto _ : state) {
        std::wregex re(p, std::regex::ECMAScript);
        benchmark::DoNotOptimize(std::regex_search(tiny, re));
    }
}
BENCHMARK(BM_StdRegex_Compile)->DenseRange(0, 4);

} // namespace

BENCHMARK_MAIN();
