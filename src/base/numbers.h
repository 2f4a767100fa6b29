// Numbers as text: the output masks of the settings, and parsing of amounts.
// Always "." as the decimal point; nothing here depends on the user's locale.
#pragma once

#include <QDate>
#include <QString>
#include <QStringView>

#include <optional>

namespace base::numbers {

// v written through a mask of "0" (digit always written), "#" (digit written only when
// significant) and "." (the decimal point); any other character is written as it
// stands. The value is rounded to as many decimals as placeholders follow the point,
// halves away from zero, the half judged on the shortest decimal form of v (so 2.675
// with "0.00" is 2.68). An empty mask writes the general form (formatGeneral).
QString formatMask(double v, QStringView mask);

// Why the text that mask writes for v is no amount a host command can carry (it must be
// digits with at most one point), naming the setting the mask comes from; nullopt when
// it is one.
std::optional<QString> maskRefusal(double v, QStringView mask, QStringView settingKey);

// Why a run would refuse the mask: maskRefusal for the amounts that reach every part of
// a mask (zero, which a "#" mask writes as nothing, and an amount of ten integer digits
// and two decimals, which fills every integer place); nullopt when it writes them all.
std::optional<QString> maskRefusal(QStringView mask, QStringView settingKey);

// The shortest form of v with at most 15 significant digits: 0.1, 2575.04, 1E20.
QString formatGeneral(double v);

// A decimal number: optional blanks, optional sign, digits with an optional "." and
// digits (at least one digit in all), an optional exponent "E" [sign] digits, optional
// blanks. Nothing else; empty when the text is no such number or beyond the double range.
std::optional<double> parseDecimal(QStringView text);

// A decimal integer of the int range: optional leading blanks, optional sign, digits,
// nothing after the digits.
std::optional<int> parseInteger(QStringView text);

// A day as the user types one in a file or on a command line: "DD.MM.YYYY" or
// "YYYY-MM-DD". Empty for anything else and for a day that does not exist.
std::optional<QDate> parseDay(const QString& text);

} // namespace base::numbers
