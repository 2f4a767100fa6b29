#include "base/numbers.h"

#include <array>
#include <charconv>
#include <cmath>
#include <string>

namespace base::numbers {
namespace {

bool isPlaceholder(QChar c) { return c == u'0' || c == u'#'; }

// The shortest decimal digits of |v| in fixed notation, split at the point.
struct Digits {
    std::string integer;  // without leading zeros; empty for a value below 1
    std::string fraction; // without trailing zeros
};

Digits shortestDigits(double v)
{
    std::array<char, 400> buf{};
    const auto res = std::to_chars(buf.data(), buf.data() + buf.size(), std::fabs(v),
                                   std::chars_format::fixed);
    std::string text(buf.data(), res.ptr);
    Digits d;
    const auto point = text.find('.');
    d.integer = text.substr(0, point);
    if (point != std::string::npos)
        d.fraction = text.substr(point + 1);
    d.integer.erase(0, d.integer.find_first_not_of('0'));
    while (!d.fraction.empty() && d.fraction.back() == '0')
        d.fraction.pop_back();
    return d;
}

// Rounds to `decimals` fraction digits, halves away from zero; the fraction then has
// exactly `decimals` digits.
void roundHalfAway(Digits& d, std::size_t decimals)
{
    const bool up = d.fraction.size() > decimals && d.fraction[decimals] >= '5';
    d.fraction.resize(decimals, '0');
    if (!up)
        return;
    std::string all = d.integer + d.fraction;
    std::size_t i = all.size();
    while (i > 0) {
        --i;
        if (all[i] == '9') {
            all[i] = '0';
        } else {
            ++all[i];
            break;
        }
        if (i == 0)
            all.insert(all.begin(), '1');
    }
    if (all.empty())
        all = "1";
    d.integer = all.substr(0, all.size() - decimals);
    d.fraction = all.substr(all.size() - decimals);
    d.integer.erase(0, d.integer.find_first_not_of('0'));
}

} // namespace

std::optional<QString> maskRefusal(double v, QStringView mask, QStringView settingKey)
{
    const QString text = formatMask(v, mask);
    int points = 0;
    bool digits = false;
    for (const QChar c : text) {
        if (c == u'.')
            ++points;
        else if (c >= u'0' && c <= u'9')
            digits = true;
        else
            points = 2;
    }
    if (digits && points <= 1)
        return std::nullopt;
    return QStringLiteral("the mask %1 \"%2\" writes %3 as \"%4\", which is not an amount the "
                          "host can take")
        .arg(settingKey.toString(), mask.toString(), formatMask(v, u"0.00"), text);
}

std::optional<QString> maskRefusal(QStringView mask, QStringView settingKey)
{
    for (const double v : {1234567890.12, 0.0}) {
        if (auto why = maskRefusal(v, mask, settingKey))
            return why;
    }
    return std::nullopt;
}

QString formatMask(double v, QStringView mask)
{
    if (mask.isEmpty())
        return formatGeneral(v);
    if (std::isnan(v))
        return QStringLiteral("NAN");
    if (std::isinf(v))
        return v < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");

    const qsizetype point = mask.indexOf(u'.');
    const QStringView intMask = point < 0 ? mask : mask.left(point);
    const QStringView fracMask = point < 0 ? QStringView() : mask.mid(point + 1);

    std::size_t decimals = 0;
    std::size_t forcedDecimals = 0;
    for (QChar c : fracMask) {
        if (isPlaceholder(c)) {
            ++decimals;
            if (c == u'0')
                forcedDecimals = decimals;
        }
    }
    std::size_t forcedIntegers = 0;
    bool zeroSeen = false;
    for (QChar c : intMask) {
        zeroSeen = zeroSeen || c == u'0';
        if (zeroSeen && isPlaceholder(c))
            ++forcedIntegers;
    }

    Digits d = shortestDigits(v);
    roundHalfAway(d, decimals);
    const bool isZero = d.integer.find_first_not_of('0') == std::string::npos &&
                        d.fraction.find_first_not_of('0') == std::string::npos;
    while (d.fraction.size() > forcedDecimals && d.fraction.back() == '0')
        d.fraction.pop_back();
    if (d.integer.size() < forcedIntegers)
        d.integer.insert(0, forcedIntegers - d.integer.size(), '0');

    // Integer part, right to left: each placeholder takes one digit, the leftmost one
    // takes all that remain; a literal between placeholders is written only when
    // digits stand to its left.
    qsizetype leftmostPlaceholder = -1;
    for (qsizetype i = 0; i < intMask.size(); ++i) {
        if (isPlaceholder(intMask[i])) {
            leftmostPlaceholder = i;
            break;
        }
    }
    QString intText;
    std::size_t remaining = d.integer.size();
    for (qsizetype i = intMask.size() - 1; i >= 0; --i) {
        const QChar c = intMask[i];
        if (isPlaceholder(c)) {
            if (i == leftmostPlaceholder) {
                intText.prepend(QString::fromLatin1(d.integer.data(), qsizetype(remaining)));
                remaining = 0;
            } else if (remaining > 0) {
                intText.prepend(QLatin1Char(d.integer[--remaining]));
            }
        } else if (i < leftmostPlaceholder || remaining > 0) {
            intText.prepend(c);
        }
    }
    QString fracText;
    std::size_t next = 0;
    for (QChar c : fracMask) {
        if (isPlaceholder(c)) {
            if (next < d.fraction.size())
                fracText.append(QLatin1Char(d.fraction[next++]));
        } else {
            fracText.append(c);
        }
    }

    QString out;
    if (v < 0 && !isZero)
        out.append(u'-');
    out.append(intText);
    if (!d.fraction.empty())
        out.append(u'.');
    out.append(fracText);
    return out;
}

QString formatGeneral(double v)
{
    if (std::isnan(v))
        return QStringLiteral("NAN");
    if (std::isinf(v))
        return v < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    if (v == 0)
        return QStringLiteral("0");
    // 15 significant digits, then the shortest of them.
    std::array<char, 64> buf{};
    const auto res = std::to_chars(buf.data(), buf.data() + buf.size(), v,
                                   std::chars_format::scientific, 14);
    std::string text(buf.data(), res.ptr);
    const auto e = text.find('e');
    int exponent = std::stoi(text.substr(e + 1));
    std::string mantissa = text.substr(0, e);
    const bool negative = mantissa[0] == '-';
    if (negative)
        mantissa.erase(0, 1);
    std::string digits = mantissa.substr(0, 1) + mantissa.substr(2);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    std::string out = negative ? "-" : "";
    if (exponent >= 15 || exponent < -5) {
        out += digits.substr(0, 1);
        if (digits.size() > 1)
            out += "." + digits.substr(1);
        out += "E" + std::to_string(exponent);
    } else if (exponent < 0) {
        out += "0." + std::string(std::size_t(-exponent - 1), '0') + digits;
    } else {
        const std::size_t intDigits = std::size_t(exponent) + 1;
        if (digits.size() <= intDigits) {
            out += digits + std::string(intDigits - digits.size(), '0');
        } else {
            out += digits.substr(0, intDigits) + "." + digits.substr(intDigits);
        }
    }
    return QString::fromLatin1(out.data(), qsizetype(out.size()));
}

std::optional<double> parseDecimal(QStringView text)
{
    qsizetype i = 0;
    qsizetype end = text.size();
    while (i < end && text[i] == u' ')
        ++i;
    while (end > i && text[end - 1] == u' ')
        --end;

    std::string ascii;
    if (i < end && (text[i] == u'+' || text[i] == u'-')) {
        if (text[i] == u'-')
            ascii += '-';
        ++i;
    }
    auto isDigit = [&](qsizetype k) { return k < end && text[k] >= u'0' && text[k] <= u'9'; };
    int mantissaDigits = 0;
    while (isDigit(i)) {
        ascii += char(text[i++].unicode());
        ++mantissaDigits;
    }
    if (i < end && text[i] == u'.') {
        ascii += '.';
        ++i;
        while (isDigit(i)) {
            ascii += char(text[i++].unicode());
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return std::nullopt;
    bool negativeExponent = false;
    if (i < end && (text[i] == u'E' || text[i] == u'e')) {
        ascii += 'e';
        ++i;
        if (i < end && (text[i] == u'+' || text[i] == u'-')) {
            negativeExponent = text[i] == u'-';
            ascii += char(text[i++].unicode());
        }
        if (!isDigit(i))
            return std::nullopt;
        while (isDigit(i))
            ascii += char(text[i++].unicode());
    }
    if (i != end)
        return std::nullopt;

    double value = 0;
    const auto res = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    if (res.ec == std::errc::result_out_of_range) {
        // Too small to hold is zero; too large is no number.
        if (negativeExponent)
            return 0.0;
        return std::nullopt;
    }
    if (res.ec != std::errc() || res.ptr != ascii.data() + ascii.size())
        return std::nullopt;
    return value;
}

std::optional<int> parseInteger(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i] == u' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == text.size())
        return std::nullopt;
    long long value = 0;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
        if (value > 2147483648LL)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > 2147483647LL || value < -2147483648LL)
        return std::nullopt;
    return static_cast<int>(value);
}

std::optional<QDate> parseDay(const QString& text)
{
    for (const QStringView format : {u"dd.MM.yyyy", u"yyyy-MM-dd"}) {
        const QDate d = QDate::fromString(text, format);
        if (d.isValid())
            return d;
    }
    return std::nullopt;
}

} // namespace base::numbers
