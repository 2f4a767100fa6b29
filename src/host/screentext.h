// Small text functions that pick values out of fixed-column host screen lines.
// None of them raises an error or shows a message.
#pragma once

#include <QString>

#include <array>
#include <cstdint>

namespace host {

// Three-letter month abbreviations, month 1 at index 0.
inline constexpr std::array<const char16_t*, 12> MonthNames = {
    u"JAN", u"FEB", u"MAR", u"APR", u"MAY", u"JUN",
    u"JUL", u"AUG", u"SEP", u"OCT", u"NOV", u"DEC"};

// S followed by " XX", or S unchanged when it is blank.
QString AddXXSuffix(const QString& s);

// 1 to 12 for an exact (upper-case, untrimmed) month abbreviation, else 0.
std::uint8_t MonthNumber(const QString& s);

// A host date DDMMMYY as a day count from 30 December 1899 (negative before it);
// 0 when the text is blank or not a valid date. The century is always 20.
int DecodeScreenDate(const QString& s);

// Field n (from 1) of s, where every field ends at an occurrence of d; text after
// the last d is not a field. Empty when there are fewer than n delimiters.
QString GetField(const QString& s, int n, QChar d);

// Day count from 30 December 1899 of a calendar date, or 0 when the date does not exist.
int EncodeDate(int year, int month, int day);

// Host text conventions shared by the readers of host lines.

// True for the characters that trimming removes: blanks and control characters.
inline bool isTrimmable(QChar c) { return c.unicode() <= u' '; }

// s without leading and trailing blanks and control characters.
QString trimText(const QString& s);

// True when s is empty after trimming.
bool isBlank(const QString& s);

// Columns a to b (counting from 1) of a line; fewer characters or none where the line
// ends earlier.
QString columns(const QString& line, int a, int b);

} // namespace host
