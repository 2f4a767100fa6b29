#include "host/screentext.h"

#include "base/numbers.h"

using namespace Qt::Literals::StringLiterals;

namespace host {

QString trimText(const QString& s)
{
    qsizetype first = 0;
    qsizetype last = s.size();
    while (first < last && isTrimmable(s.at(first)))
        ++first;
    while (last > first && isTrimmable(s.at(last - 1)))
        --last;
    return s.mid(first, last - first);
}

bool isBlank(const QString& s)
{
    for (QChar c : s) {
        if (!isTrimmable(c))
            return false;
    }
    return true;
}

QString columns(const QString& line, int a, int b)
{
    if (a < 1)
        a = 1;
    if (b < a || a > line.size())
        return {};
    return line.mid(a - 1, b - a + 1);
}

QString AddXXSuffix(const QString& s)
{
    if (isBlank(s))
        return s;
    return s + u" XX"_s;
}

std::uint8_t MonthNumber(const QString& s)
{
    for (std::size_t i = 0; i < MonthNames.size(); ++i) {
        if (s == QStringView(MonthNames[i]))
            return static_cast<std::uint8_t>(i + 1);
    }
    return 0;
}

int EncodeDate(int year, int month, int day)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1)
        return 0;
    static constexpr int daysIn[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const int monthDays = daysIn[month - 1] + (month == 2 && leap ? 1 : 0);
    if (day > monthDays)
        return 0;
    // Days from 1 January of the year 1 (proleptic Gregorian) to the date, then shifted
    // so that 30 December 1899 is day 0.
    const int y = year - 1;
    long days = y * 365L + y / 4 - y / 100 + y / 400;
    static constexpr int before[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    days += before[month - 1] + (month > 2 && leap ? 1 : 0) + day - 1;
    constexpr long dayOf18991230 = 693593; // 1899 * 365 + 474 - 18 + 4 + 333 + 29
    return static_cast<int>(days - dayOf18991230);
}

int DecodeScreenDate(const QString& s)
{
    if (isBlank(s))
        return 0;
    const auto day = base::numbers::parseInteger(s.mid(0, 2));
    const int month = MonthNumber(s.mid(2, 3));
    const auto year = base::numbers::parseInteger(u"20"_s + s.mid(5, 2));
    if (!day || !year || month == 0)
        return 0;
    return EncodeDate(*year, month, *day);
}

QString GetField(const QString& s, int n, QChar d)
{
    if (n <= 0)
        return {};
    qsizetype start = 0;
    for (int field = 1;; ++field) {
        const qsizetype end = s.indexOf(d, start);
        if (end < 0)
            return {};
        if (field == n)
            return s.mid(start, end - start);
        start = end + 1;
    }
}

} // namespace host
