// The pricing record reader over arbitrary display text. Checks what callers rely on:
// TaxCount within the table, nothing written beyond it, codes either empty or marked.
#include "pricing/pricingreader.h"

#include <cstdint>
#include <cstdlib>

using namespace Qt::Literals::StringLiterals;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    // An odd first byte puts the segment header in front, so that most inputs get past
    // the header test and into the scan.
    QString text = QString::fromUtf8(reinterpret_cast<const char*>(data + 1),
                                     static_cast<qsizetype>(size - 1));
    if (data[0] & 1)
        text = u"TKT\n"_s + pricing::HeaderH5.toString() + u"\n"_s + text;

    host::TextBuffer mHostAnswer;
    pricing::PricingModel model;
    const pricing::ScreenReading r = pricing::readPricingText(text, mHostAnswer, model);
    if (r.TaxCount < 0 || r.TaxCount > pricing::MaxScreenTaxes)
        std::abort();
    for (int k = 1; k <= pricing::MaxScreenTaxes; ++k) {
        const pricing::ScreenTax& t = model.ScreenTaxes[static_cast<std::size_t>(k - 1)];
        if (k > r.TaxCount && (t.Present || !t.Currency.isEmpty() || !t.Code.isEmpty()))
            std::abort();
        if (t.Present && !t.Code.isEmpty() && !t.Code.endsWith(u" XX"_s))
            std::abort();
        if (t.Currency.size() > 3)
            std::abort();
    }
    if (model.FareCurrency.size() > 3 || (!r.FareCalc.isEmpty() && !r.FareCalc.endsWith(u' ')))
        std::abort();
    return 0;
}
