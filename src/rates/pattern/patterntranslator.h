// The front end of the pattern matcher: parses the pattern syntax of the recognition
// patterns, rejects what it does not allow, and spells the pattern out as a PCRE2 pattern
// (16-bit code units, compiled with translatedCompileOptions()) in which every construct
// is explicit, so that no default of PCRE2 decides a meaning.
#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>

namespace pattern {

// The most capturing groups a pattern may have.
inline constexpr int MaxGroups = 14;

// The largest repetition count PCRE2 takes. Larger counts in a pattern are exact only for
// inputs of at most this many characters (each repetition of a counted atom takes at least
// one character); the matcher refuses longer inputs for such patterns.
inline constexpr int MaxExactCount = 65535;

struct TranslatedPattern {
    QString pcre2;
    int groupCount = 0;
    // A count above MaxExactCount was clamped (see MaxExactCount).
    bool hasLargeCount = false;
};

// Parses text as a pattern with the modes the system uses (i off, m off, s on, g on,
// x off, r on) and returns its PCRE2 form. Throws PatternSyntaxError for a rejected pattern.
TranslatedPattern translatePattern(QStringView text);

// The PCRE2 compile options a translated pattern is meant for.
std::uint32_t translatedCompileOptions();

} // namespace pattern
