#include "rates/ratelookup.h"

#include "base/interaction.h"
#include "base/numbers.h"
#include "refdata/referencedb.h"

#include <algorithm>
#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace rates {

namespace {
// The nearest whole number, a half going to the even one.
double roundHalfEven(double x)
{
    const double below = std::floor(x);
    const double fraction = x - below;
    if (fraction > 0.5)
        return below + 1;
    if (fraction < 0.5)
        return below;
    return std::fmod(below, 2.0) == 0 ? below : below + 1;
}
} // namespace

QString rateFromItem(const QString& item)
{
    return item.mid(32, 100).trimmed();
}

double RateLookup::LookupRate(const QString& carrier, const QString& from, const QString& to,
                              bool databaseOnly)
{
    // An amount in the destination currency stays as it is; no table or host holds a
    // rate of a currency into itself.
    if (from == to)
        return 1;
    const std::vector<refdata::RateRow> rows = m_db.findRates(from, to, carrier);
    if (rows.empty() && !databaseOnly)
        return hostRate(carrier, from, to);

    double rate = 0;
    QStringList items;
    for (const refdata::RateRow& row : rows) {
        rate = row.rateAmount;
        FareRule = row.fareRule;
        TaxRule = row.taxRule;
        items.append(u"From:"_s + from + u" To:"_s + to + u" Carrier:"_s + carrier +
                     u" Rate:"_s + base::numbers::formatMask(rate, u"0.0000"));
    }
    RateUse use;
    use.carrier = carrier;
    use.from = from;
    use.to = to;
    use.offered = int(rows.size());
    if (rows.size() == 1) {
        use.validFrom = rows.front().validFrom;
        use.validTo = rows.front().validTo;
    }
    if (items.size() > 1) {
        const std::optional<QString> label = m_ui.chooseRate(items);
        rate = label ? base::numbers::parseDecimal(*label).value_or(0.0) : 0.0;
        use.source = RateUse::Source::Choice;
        // The period of the row chosen, when the rate names one row.
        const QString chosen = base::numbers::formatMask(rate, u"0.0000");
        const auto sameRate = [&](const refdata::RateRow& row) {
            return base::numbers::formatMask(row.rateAmount, u"0.0000") == chosen;
        };
        if (rate > 0 && std::count_if(rows.begin(), rows.end(), sameRate) == 1) {
            const auto row = std::find_if(rows.begin(), rows.end(), sameRate);
            use.validFrom = row->validFrom;
            use.validTo = row->validTo;
        }
    }
    use.rate = rate;
    use.fareRule = FareRule;
    use.taxRule = TaxRule;
    Used.push_back(std::move(use));
    return rate;
}

double RateLookup::hostRate(const QString& carrier, const QString& from, const QString& to)
{
    const double tenUnits = m_convert(from, to, 10, false);
    double rate;
    if (tenUnits >= 100) {
        rate = roundHalfEven(tenUnits / 10);
    } else {
        rate = m_convert(from, to, 10000, false) / 10000;
    }
    FareRule = DefaultFareRule.toString();
    TaxRule = DefaultTaxRule.toString();
    RateUse use;
    use.carrier = carrier;
    use.from = from;
    use.to = to;
    use.rate = std::max(rate, 0.0);
    use.source = RateUse::Source::Host;
    use.fareRule = FareRule;
    use.taxRule = TaxRule;
    // Only a usable rate is stored: an answer without an amount (0) or an unreadable one
    // (negative) would otherwise sit in the list as a valid rate for the rest of the day.
    if (rate > 0) {
        try {
            m_db.insertRate(carrier.left(2), from.left(3), to.left(3), rate);
            use.stored = true;
        } catch (const std::exception&) {
            // A rate that cannot be stored is still used for this run.
        }
    }
    Used.push_back(std::move(use));
    return rate;
}

} // namespace rates
