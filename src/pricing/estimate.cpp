#include "pricing/estimate.h"

#include "base/numbers.h"
#include "base/settings.h"
#include "host/hostlink.h"
#include "host/screentext.h"
#include "pricing/conversionrun.h"
#include "pricing/pricingreader.h"
#include "pricing/runfailure.h"
#include "rates/ratelookup.h"
#include "refdata/referencedb.h"

using namespace Qt::Literals::StringLiterals;

namespace pricing {

bool btnInformPricingClick(PricingState& st, PricingServices& sv, base::TicketImage& f)
{
    st.RulesApplied.clear();
    sv.rates.Used.clear();
    sv.db.connectIfNeeded();
    // Every estimate starts from empty fields: a field of a step this estimate skips would
    // otherwise show the previous ticket's value beside a total without it.
    f = base::TicketImage{};
    const QString& to = sv.settings.currencyTo;
    const QString& fareMask = sv.settings.fareMask;
    const QString& taxMask = sv.settings.taxMask;
    PricingModel& m = st.model;

    const ScreenReading reading = ReadPricingScreen(sv.link, st.mHostAnswer, m);
    sv.link.release();
    if (reading.FareCalc.isEmpty())
        sv.ui.showMessage(NotTicketImageMessage.toString());

    ScreenTax& first = m.ScreenTaxes[0];
    if (first.Currency.isEmpty())
        first.Currency = m.FareCurrency;
    const QString source = first.Currency;
    if (source == to) {
        sv.ui.showMessage(VerifyDestinationMessage.toString());
        return false;
    }
    if (reading.FareCalc.isEmpty())
        return false;

    // The taxes convert at the rate of their currency; the fare at the rate of its own,
    // which is the same lookup unless the fare is shown in another currency (an amount in
    // EUR times a rate for USD would be no estimate at all).
    double fareRate = 0;
    try {
        st.FareRate = sv.rates.LookupRate(m.FirstCarrier, source, to, true);
        fareRate = st.FareRate;
        if (st.FareRate > 0 && !host::isBlank(m.FareCurrency) && m.FareCurrency != source &&
            m.FareCurrency != to)
            fareRate = sv.rates.LookupRate(m.FirstCarrier, m.FareCurrency, to, true);
    } catch (const std::exception& e) {
        // The estimate ends without its dialog, and the user learns why.
        sv.ui.showMessage(NotEstimatedMessage.toString() + failureReason(e));
        return false;
    }
    // The message names the pair without a rate; a source currency that is blank names
    // no pair, so the fare's is named then.
    if (st.FareRate <= 0) {
        const QString& from = host::isBlank(source) ? m.FareCurrency : source;
        sv.ui.showMessage(rateNotFoundMessage(from, to, m.FirstCarrier));
        return false;
    }
    if (m.FareCurrency != to && fareRate <= 0) {
        sv.ui.showMessage(rateNotFoundMessage(m.FareCurrency, to, m.FirstCarrier));
        return false;
    }

    f.eFareString = reading.FareCalc;

    // A tax whose rule fails would show as 0 beside a total without it: the taxes and the
    // total stay empty, and the user learns which rule failed.
    double taxSum = 0;
    bool taxesConverted = true;
    for (int k = 1; k <= MaxScreenTaxes && taxesConverted; ++k) {
        ScreenTax& tax = m.ScreenTaxes[std::size_t(k - 1)];
        if (!tax.Present)
            continue;
        try {
            tax.ConvertedAmount =
                applyRule(st, u"tax %1 %2"_s.arg(k).arg(tax.Code.left(2).trimmed()),
                          sv.rates.TaxRule, tax.Amount * st.FareRate);
            taxSum += tax.ConvertedAmount;
        } catch (const std::exception& e) {
            taxesConverted = false;
            sv.ui.showMessage(taxRuleFailure(sv.rates.TaxRule, to, k, tax.Code.left(2), e));
        }
    }

    f.eFare = m.FareCurrency + base::numbers::formatMask(m.FareAmount, fareMask);
    bool fareConverted = true;
    if (m.FareCurrency != to) {
        try {
            m.ConvertedFare = applyRule(st, u"fare"_s, sv.rates.FareRule, m.FareAmount * fareRate);
            f.eEquiv = to + base::numbers::formatMask(m.ConvertedFare, fareMask);
        } catch (const std::exception& e) {
            // The fare as shown is in another currency: added to the converted taxes it
            // would make a total that is no amount at all, and an equivalent left from an
            // earlier estimate would stand beside this fare. Both stay empty, and the
            // user learns why.
            fareConverted = false;
            f.eEquiv.clear();
            f.eTotal.clear();
            sv.ui.showMessage(fareRuleFailure(sv.rates.FareRule, to, e));
        }
    }
    if (fareConverted && taxesConverted) {
        // Only a fare already in the destination currency is added as shown, also when its
        // rule rounds a foreign fare to 0.
        const double fare = m.FareCurrency != to ? m.ConvertedFare : m.FareAmount;
        const double total = fare + taxSum;
        f.eTotal = to + base::numbers::formatMask(total, fareMask);
    }

    const auto taxBox = [&](const ScreenTax& tax, QString& field) {
        if (!host::isBlank(tax.Currency))
            field = to + base::numbers::formatMask(tax.ConvertedAmount, taxMask) + tax.Code.left(2);
    };
    if (!taxesConverted) {
        sv.ui.showTicketImage(f);
        return true;
    }
    taxBox(m.ScreenTaxes[0], f.eTax1);
    taxBox(m.ScreenTaxes[1], f.eTax2);
    if (reading.TaxCount > 3) {
        double xtSum = 0;
        f.eFareString += u"\nXT"_s;
        for (int k = 3; k <= reading.TaxCount; ++k) {
            const ScreenTax& tax = m.ScreenTaxes[std::size_t(k - 1)];
            f.eFareString += u' ' + to + u' ' + base::numbers::formatMask(tax.ConvertedAmount, fareMask) +
                             tax.Code.left(2);
            xtSum += tax.ConvertedAmount;
        }
        f.eTax3 = to + base::numbers::formatMask(xtSum, taxMask) + u"XT"_s;
    } else {
        taxBox(m.ScreenTaxes[2], f.eTax3);
    }

    sv.ui.showTicketImage(f);
    return true;
}

} // namespace pricing
