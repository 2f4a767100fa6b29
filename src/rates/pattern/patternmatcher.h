// The pattern matcher that recognises host display lines: a pattern text, compiled on the
// first search after it changed, a private copy of the searched text, and the spans of the
// whole match and of groups 1 to 14 of the last successful search.
#pragma once

#include "rates/pattern/patternerror.h"
#include "rates/pattern/patterntranslator.h"

#include <QString>

#include <array>
#include <memory>

namespace pattern {

// The fixed patterns that read the host's currency conversion answer: the converted
// amount with its currency and the rounding note, and the number inside that match.
inline constexpr QStringView ConversionAmountPattern =
    u"([A-Z]{3}[ ]{1}[\\d.]{1,20}[- ]{3}[ROUNDED AS OTHER CHARGES]{24})";
inline constexpr QStringView ConversionNumberPattern = u"([\\d.]{1,20})";

// Most backtracking steps one search may take before it fails with PatternLimitError.
inline constexpr unsigned MatchStepLimit = 10'000'000;

class PatternMatcher {
public:
    PatternMatcher();
    explicit PatternMatcher(const QString& patternText);
    ~PatternMatcher();
    PatternMatcher(PatternMatcher&&) noexcept;
    PatternMatcher& operator=(PatternMatcher&&) noexcept;
    PatternMatcher(const PatternMatcher&) = delete;
    PatternMatcher& operator=(const PatternMatcher&) = delete;

    // Replaces the pattern text; the same text again keeps the compiled form. The input
    // and the spans of the last search stay.
    void setPattern(const QString& patternText);
    const QString& pattern() const { return m_pattern; }

    // Takes text (up to its first character with code 0) as the new input and searches it
    // from its first character. False when nothing matches. Throws PatternSyntaxError for a
    // rejected pattern and PatternLimitError when the search needs too many steps.
    bool search(const QString& text);

    // Searches the same input from the end of the previous whole match, or from one
    // character further when that match was empty. Throws PatternUsageError unless the
    // previous search or search again succeeded.
    bool searchAgain();

    // The text matched by group n (0 = the whole match, 1 to 14 = the groups in the order
    // of their opening brackets); empty when the group took no part or the last search
    // failed. Throws PatternUsageError for n outside 0 to 14.
    QString matchedText(int group = 0) const;
    // Where that text starts in the input (from 0), or -1 when there is none.
    qsizetype matchPosition(int group = 0) const;
    qsizetype matchLength(int group = 0) const;

    bool hasMatch() const { return m_matched; }
    // The input of the last search.
    const QString& input() const { return m_input; }

private:
    struct Engine;
    struct Runtime;

    Engine& engine();
    bool searchFrom(qsizetype start);
    void clearMatch();
    void checkGroup(int group) const;

    QString m_pattern;
    std::unique_ptr<Engine> m_engine;   // null until compiled for m_pattern
    std::unique_ptr<Runtime> m_runtime; // made with the first compiled pattern
    QString m_input;
    bool m_matched = false;
    // Start and end of the whole match and of each group; -1 for none.
    std::array<qsizetype, 2 * (MaxGroups + 1)> m_spans{};
};

} // namespace pattern
