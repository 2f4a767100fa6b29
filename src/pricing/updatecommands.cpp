// The update commands of a conversion run: re-pricing once per own tax currency, then the
// rate, fare and tax elements.
#include "pricing/conversionrun.h"
#include "pricing/runfailure.h"

#include "base/numbers.h"
#include "base/settings.h"
#include "host/automation.h"
#include "host/hostlink.h"
#include "pricing/pricingreader.h"
#include "rates/hostconversion.h"
#include "rates/ratelookup.h"

using namespace Qt::Literals::StringLiterals;

namespace pricing {
namespace {

// An amount for a host command written with the user's mask. What the mask makes of it
// must still read as an amount: a mask with other characters would write them into the
// record.
QString maskedAmount(double v, const QString& mask, QStringView settingKey)
{
    if (const auto why = base::numbers::maskRefusal(v, mask, settingKey))
        throw RunFailure(*why, false);
    return base::numbers::formatMask(v, mask);
}

class Planner {
public:
    Planner(PricingState& state, PricingServices& services, const RunRecord& record)
        : st(state), sv(services), r(record), to(services.settings.currencyTo)
    {
    }

    QStringList plan()
    {
        PrepareOrigTaxAmounts();
        SendRateCommands();
        SendFareCommands();
        SendTaxCommands();
        return commands;
    }

private:
    QString tt(QStringView kind) const { return kind.toString() + u"/T"_s + r.RecordNumber; }

    // Re-prices the record once per own tax currency, to learn each tax's amount in it.
    void PrepareOrigTaxAmounts()
    {
        if (!sv.settings.getTaxOrgCurrency || r.FareCalcCurrency.isEmpty())
            return;
        for (int i = 1; i <= rates::TaxLines::Size; ++i) {
            rates::TaxLine& e = st.TaxLines[i];
            if (e.TaxCurrency.isEmpty() || e.TaxCurrency == r.FareCalcCurrency) {
                e.OrigAmountText = e.AmountText;
                e.OrigRate = st.FareRate;
                continue;
            }
            if (!e.OrigAmountText.isEmpty())
                continue;
            st.TaxCurrencyRate = sv.rates.LookupRate(st.Carrier, e.TaxCurrency, to, false);
            if (st.TaxCurrencyRate <= 0) {
                // A missing rate would turn every tax in this currency into 0.
                throw RunFailure(
                    rateNotFoundMessage(e.TaxCurrency, to, st.Carrier, CarrierSettings), true);
            }
            QString repricing = u"FXX"_s + r.PricingCommand.mid(3);
            repricing.replace(u"FC-"_s + r.FareCalcCurrency, u"FC-"_s + e.TaxCurrency);
            st.mWorkBoard.setText(sv.link.session().Send(repricing, 1).Text);
            if (st.mWorkBoard.text().contains(
                    u" * FARE BASIS *  DISC    *  PSGR      * FARE<"_s))
                sv.link.session().Send(u"FXT01"_s, 1);
            ReadPricingScreen(sv.link, st.mHostAnswer, st.model);

            for (int j = 1; j <= rates::TaxLines::Size; ++j) {
                rates::TaxLine& ej = st.TaxLines[j];
                if (!ej.Present || !ej.OrigAmountText.isEmpty() || ej.TaxCurrency != e.TaxCurrency)
                    continue;
                const std::optional<int> k = base::numbers::parseInteger(ej.Number);
                if (!k || *k < 1 || *k > MaxScreenTaxes)
                    continue;
                const ScreenTax& shown = st.model.ScreenTaxes[std::size_t(*k - 1)];
                if (ej.Code.left(2) == shown.Code.left(2)) {
                    ej.OrigAmountText = base::numbers::formatMask(shown.Amount, u"0.00").left(10);
                    ej.OrigRate = st.TaxCurrencyRate;
                } else {
                    ej.OrigAmountText = ej.AmountText;
                    ej.OrigRate = st.FareRate;
                }
            }
        }
    }

    void SendRateCommands()
    {
        const QString rate = base::numbers::formatMask(st.FareRate, u"0.0000");
        if (r.FareLineCurrency == to) {
            commands << tt(u"TTI") + u"/K1"_s << tt(u"TTI") + u"/K2"_s;
        } else if (r.FareLineCurrency == r.BaseCurrency) {
            commands << tt(u"TTI") + u"/K1"_s + rate;
        } else if (r.BaseCurrency != to) {
            commands << tt(u"TTI") + u"/K2"_s + r.BaseCurrency + rate;
        }
    }

    void SendFareCommands()
    {
        const QString& rule = sv.rates.FareRule;
        double x = 0;
        try {
            x = applyRule(st, u"fare"_s, rule, r.BaseAmount * st.FareRate);
        } catch (const std::exception& e) {
            throw RunFailure(fareRuleFailure(rule, to, e), false);
        }
        const QString& mask = sv.settings.fareMask;
        if (x > 0 && r.FareLineCurrency != to) {
            commands << tt(u"TTK") + u"/E"_s + to + maskedAmount(x, mask, base::key::FareMask) +
                            u"/X"_s;
            return;
        }
        commands << tt(u"TTK") + u"/O"_s << tt(u"TTK") + u"/X"_s << tt(u"TTK") + u"/E"_s;
        if (sv.settings.replaceFare && !r.OrigFareCurrency.isEmpty()) {
            commands << tt(u"TTK") + u"/F"_s + r.OrigFareCurrency +
                            maskedAmount(r.OrigFareAmount, mask, base::key::FareMask) + u"/X"_s;
        }
    }

    void SendTaxCommands()
    {
        const QString prefix = tt(u"TTK");
        QString command = prefix;
        const bool viaHost = sv.settings.getTaxBsr && !sv.settings.getTaxOrgCurrency;
        for (int i = 1; i <= rates::TaxLines::Size; ++i) {
            const rates::TaxLine& e = st.TaxLines[i];
            if (!e.Present || e.ShownCurrency == to)
                continue;
            double v = -1;
            if (viaHost) {
                v = rates::ConvertViaHost(sv.link.session(), sv.matcher, e.ShownCurrency, to,
                                          e.Amount, true);
            }
            // An answer without an amount (0) is as unusable as an unreadable one: the
            // tax is converted by the rate and rounded by the rule instead of written as 0.
            if (v <= 0)
                v = ruledTax(i, e);
            command += u'/' + e.Indicator + to +
                       maskedAmount(v, sv.settings.taxMask, base::key::TaxMask) + e.Code;
            if (i % 4 == 0) {
                commands << command;
                command = prefix;
            }
        }
        if (command != prefix)
            commands << command;
    }

    double ruledTax(int number, const rates::TaxLine& e) const
    {
        double amount = 0;
        if (sv.settings.getTaxOrgCurrency) {
            const std::optional<double> orig = base::numbers::parseDecimal(e.OrigAmountText);
            if (!orig) {
                throw RunFailure(u"The amount of tax %1 (%2) in its own currency %3 is not known."_s
                                     .arg(number)
                                     .arg(e.Code.trimmed(), e.TaxCurrency),
                                 false);
            }
            amount = *orig * e.OrigRate;
        } else {
            amount = e.Amount * st.FareRate;
        }
        const QString& rule = sv.rates.TaxRule;
        try {
            return applyRule(st, u"tax %1 %2"_s.arg(number).arg(e.Code.trimmed()), rule, amount);
        } catch (const std::exception& ex) {
            throw RunFailure(taxRuleFailure(rule, to, number, e.Code, ex), false);
        }
    }

    PricingState& st;
    PricingServices& sv;
    const RunRecord& r;
    const QString to;
    QStringList commands;
};

} // namespace

QStringList planUpdateCommands(PricingState& state, PricingServices& services,
                               const RunRecord& record)
{
    return Planner(state, services, record).plan();
}

} // namespace pricing
