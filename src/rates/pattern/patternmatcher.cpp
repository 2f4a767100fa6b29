#include "rates/pattern/patternmatcher.h"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

using namespace Qt::Literals::StringLiterals;

namespace pattern {

namespace {

// Stack of the compiled (JIT) search; reserved up to the maximum, used as needed.
constexpr PCRE2_SIZE JitStackStart = 32 * 1024;
constexpr PCRE2_SIZE JitStackMax = 4 * 1024 * 1024;
// Bounds of the interpreter, used when the JIT cannot compile a pattern.
constexpr uint32_t DepthLimit = 100'000;
constexpr uint32_t HeapLimitKiB = 64 * 1024;

struct CodeFree {
    void operator()(pcre2_code_16* p) const { pcre2_code_free_16(p); }
};
struct MatchDataFree {
    void operator()(pcre2_match_data_16* p) const { pcre2_match_data_free_16(p); }
};
struct MatchContextFree {
    void operator()(pcre2_match_context_16* p) const { pcre2_match_context_free_16(p); }
};
struct JitStackFree {
    void operator()(pcre2_jit_stack_16* p) const { pcre2_jit_stack_free_16(p); }
};

QString pcre2Message(int code)
{
    std::array<PCRE2_UCHAR16, 256> buffer{};
    const int n = pcre2_get_error_message_16(code, buffer.data(), buffer.size());
    if (n < 0)
        return u"error %1"_s.arg(code);
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(buffer.data()), n);
}

template <typename T> T* checked(T* p)
{
    if (!p)
        throw PatternError(u"Not enough memory for the pattern matcher"_s);
    return p;
}

} // namespace

// The compiled pattern.
struct PatternMatcher::Engine {
    std::unique_ptr<pcre2_code_16, CodeFree> code;
    bool jit = false;
    bool hasLargeCount = false;
};

// What a search needs besides the pattern, kept across pattern changes: the spans, the
// bounds and the stack of the compiled search.
struct PatternMatcher::Runtime {
    std::unique_ptr<pcre2_match_data_16, MatchDataFree> matchData;
    std::unique_ptr<pcre2_match_context_16, MatchContextFree> context;
    std::unique_ptr<pcre2_jit_stack_16, JitStackFree> jitStack;

    Runtime()
        : matchData(checked(pcre2_match_data_create_16(MaxGroups + 1, nullptr))),
          context(checked(pcre2_match_context_create_16(nullptr))),
          jitStack(checked(pcre2_jit_stack_create_16(JitStackStart, JitStackMax, nullptr)))
    {
        pcre2_set_match_limit_16(context.get(), MatchStepLimit);
        pcre2_set_depth_limit_16(context.get(), DepthLimit);
        pcre2_set_heap_limit_16(context.get(), HeapLimitKiB);
        pcre2_jit_stack_assign_16(context.get(), nullptr, jitStack.get());
    }
};

PatternMatcher::PatternMatcher()
{
    clearMatch();
}

PatternMatcher::PatternMatcher(const QString& patternText) : m_pattern(patternText)
{
    clearMatch();
}

PatternMatcher::~PatternMatcher() = default;
PatternMatcher::PatternMatcher(PatternMatcher&&) noexcept = default;
PatternMatcher& PatternMatcher::operator=(PatternMatcher&&) noexcept = default;

void PatternMatcher::setPattern(const QString& patternText)
{
    if (patternText == m_pattern)
        return;
    m_pattern = patternText;
    m_engine.reset();
}

PatternMatcher::Engine& PatternMatcher::engine()
{
    if (m_engine)
        return *m_engine;

    const TranslatedPattern translated = translatePattern(m_pattern);
    auto e = std::make_unique<Engine>();
    int error = 0;
    PCRE2_SIZE offset = 0;
    e->code.reset(pcre2_compile_16(reinterpret_cast<PCRE2_SPTR16>(translated.pcre2.utf16()),
                                   PCRE2_SIZE(translated.pcre2.size()), translatedCompileOptions(),
                                   &error, &offset, nullptr));
    if (!e->code)
        throw PatternError(u"The pattern cannot be compiled: "_s + pcre2Message(error));
    e->jit = pcre2_jit_compile_16(e->code.get(), PCRE2_JIT_COMPLETE) == 0;
    if (!m_runtime)
        m_runtime = std::make_unique<Runtime>();
    e->hasLargeCount = translated.hasLargeCount;
    m_engine = std::move(e);
    return *m_engine;
}

bool PatternMatcher::search(const QString& text)
{
    const qsizetype end = text.indexOf(QChar(u'\0'));
    m_input = end < 0 ? text : text.left(end);
    clearMatch();
    return searchFrom(0);
}

bool PatternMatcher::searchAgain()
{
    if (!m_matched)
        throw PatternUsageError(u"Search again needs a preceding successful search"_s);
    const qsizetype start = m_spans[1] == m_spans[0] ? m_spans[1] + 1 : m_spans[1];
    clearMatch();
    if (start > m_input.size())
        return false;
    return searchFrom(start);
}

bool PatternMatcher::searchFrom(qsizetype start)
{
    Engine& e = engine();
    if (e.hasLargeCount && m_input.size() > MaxExactCount)
        throw PatternLimitError(u"The text is too long for the repetition counts of the pattern"_s);
    const auto* subject = reinterpret_cast<PCRE2_SPTR16>(m_input.utf16());
    const auto length = PCRE2_SIZE(m_input.size());
    Runtime& r = *m_runtime;
    const int rc = e.jit ? pcre2_jit_match_16(e.code.get(), subject, length, PCRE2_SIZE(start), 0,
                                              r.matchData.get(), r.context.get())
                         : pcre2_match_16(e.code.get(), subject, length, PCRE2_SIZE(start), 0,
                                          r.matchData.get(), r.context.get());
    if (rc == PCRE2_ERROR_NOMATCH)
        return false;
    if (rc == PCRE2_ERROR_MATCHLIMIT || rc == PCRE2_ERROR_DEPTHLIMIT ||
        rc == PCRE2_ERROR_HEAPLIMIT || rc == PCRE2_ERROR_JIT_STACKLIMIT ||
        rc == PCRE2_ERROR_NOMEMORY)
        throw PatternLimitError(u"The search gave up: "_s + pcre2Message(rc));
    if (rc <= 0)
        throw PatternError(u"The search failed: "_s + pcre2Message(rc));

    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer_16(r.matchData.get());
    for (int i = 0; i <= MaxGroups; ++i) {
        const bool set = i < rc && ovector[2 * i] != PCRE2_UNSET;
        m_spans[2 * i] = set ? qsizetype(ovector[2 * i]) : -1;
        m_spans[2 * i + 1] = set ? qsizetype(ovector[2 * i + 1]) : -1;
    }
    m_matched = true;
    return true;
}

void PatternMatcher::clearMatch()
{
    m_matched = false;
    m_spans.fill(-1);
}

void PatternMatcher::checkGroup(int group) const
{
    if (group < 0 || group > MaxGroups)
        throw PatternUsageError(u"No group %1 in a pattern (groups are 0 to 14)"_s.arg(group));
}

qsizetype PatternMatcher::matchPosition(int group) const
{
    checkGroup(group);
    return m_spans[2 * group];
}

qsizetype PatternMatcher::matchLength(int group) const
{
    checkGroup(group);
    const qsizetype start = m_spans[2 * group];
    return start < 0 ? 0 : m_spans[2 * group + 1] - start;
}

QString PatternMatcher::matchedText(int group) const
{
    const qsizetype start = matchPosition(group);
    if (start < 0)
        return {};
    return m_input.sliced(start, m_spans[2 * group + 1] - start);
}

} // namespace pattern
