#include "rates/taxlines.h"

#include "base/numbers.h"
#include "host/screentext.h"
#include "refdata/referencedb.h"

using namespace Qt::Literals::StringLiterals;

namespace rates {

void TaxLines::clearForRun()
{
    for (TaxLine& line : m_lines) {
        const double origRate = line.OrigRate;
        line = TaxLine();
        line.OrigRate = origRate;
    }
}

QString GetTaxCurrency(refdata::ReferenceDatabase& db, const QString& taxCode,
                       const QString& carrier)
{
    try {
        const std::optional<QString> currency = db.findTaxCurrency(taxCode.left(2), carrier.left(2));
        return currency ? *currency : u"USD"_s;
    } catch (const refdata::DbTimeout&) {
        // A database that does not answer is no missing entry: the run ends, instead of
        // going on with the shown currency and waiting again for every further tax.
        throw;
    } catch (const std::exception&) {
        return {};
    }
}

// Characters count from 1 in the matched text.
static QString numberTextOf(const QString& matchText)
{
    return host::columns(matchText, 3, 3) == u"X" ? host::columns(matchText, 4, 5)
                                                  : host::columns(matchText, 3, 5);
}

std::optional<int> TaxLineNumber(const QString& matchText)
{
    return base::numbers::parseInteger(numberTextOf(matchText));
}

void ReadTaxLine(TaxLines& lines, refdata::ReferenceDatabase& db, const QString& matchText,
                 const QString& carrier)
{
    const QString numberText = numberTextOf(matchText);
    const std::optional<int> number = base::numbers::parseInteger(numberText);
    if (!number || *number < 1 || *number > TaxLines::Size)
        return;
    TaxLine& line = lines[*number];
    line.Number = numberText;
    line.Indicator = host::columns(matchText, 7, 7);
    line.ShownCurrency = host::columns(matchText, 9, 11);
    line.AmountText = host::trimText(host::columns(matchText, 12, 20)).left(10);
    line.Code = host::columns(matchText, 21, 24);
    const std::optional<double> amount = base::numbers::parseDecimal(line.AmountText);
    if (!amount) {
        line.Present = false;
        return;
    }
    line.Amount = *amount;
    const QString currency = GetTaxCurrency(db, line.Code, carrier);
    line.TaxCurrency = (currency.isEmpty() ? line.ShownCurrency : currency).left(3);
    line.Present = true;
}

} // namespace rates
