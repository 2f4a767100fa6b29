// Arbitrary pattern and text pairs through the pattern matcher: the bytes up to the first
// zero byte are the pattern, the rest the text (both UTF-8). Every search must end with a
// result or a PatternError, and the reported spans must lie in the input, in order.
#include "rates/pattern/patternmatcher.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

// Enough to walk several matches without letting one input run for long.
constexpr int MaxSearchesAgain = 8;

void require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

void checkMatch(const pattern::PatternMatcher& m)
{
    const QString& input = m.input();
    for (int g = 0; g <= pattern::MaxGroups; ++g) {
        const qsizetype start = m.matchPosition(g);
        const qsizetype length = m.matchLength(g);
        if (start < 0) {
            require(g != 0 && length == 0 && m.matchedText(g).isEmpty());
            continue;
        }
        require(length >= 0 && start + length <= input.size());
        require(m.matchedText(g) == input.sliced(start, length));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto* bytes = reinterpret_cast<const char*>(data);
    const auto* zero = static_cast<const char*>(std::memchr(bytes, 0, size));
    const std::size_t patternSize = zero ? std::size_t(zero - bytes) : size;
    const QString patternText = QString::fromUtf8(bytes, qsizetype(patternSize));
    const QString text =
        zero ? QString::fromUtf8(zero + 1, qsizetype(size - patternSize - 1)) : QString();

    pattern::PatternMatcher m(patternText);
    try {
        bool found = m.search(text);
        const qsizetype nul = text.indexOf(QChar(u'\0'));
        require(m.input() == (nul < 0 ? text : text.left(nul)));
        qsizetype previousEnd = -1;
        bool previousEmpty = false;
        for (int i = 0; found && i <= MaxSearchesAgain; ++i) {
            checkMatch(m);
            const qsizetype start = m.matchPosition(0);
            require(start >= previousEnd + (previousEmpty ? 1 : 0));
            previousEnd = start + m.matchLength(0);
            previousEmpty = m.matchLength(0) == 0;
            found = m.searchAgain();
        }
        if (!found)
            require(!m.hasMatch() && m.matchedText(0).isEmpty() && m.matchPosition(0) == -1);
    } catch (const pattern::PatternError&) {
        require(!m.hasMatch());
    }
    return 0;
}
