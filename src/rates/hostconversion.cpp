#include "rates/hostconversion.h"

#include "base/numbers.h"
#include "host/automation.h"
#include "rates/pattern/patternmatcher.h"

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace rates {

double ConvertViaHost(host::HostSession& session, pattern::PatternMatcher& matcher,
                      const QString& from, const QString& to, double amount, bool keepDecimals)
{
    const QString pair = from + u'/' + to;
    QString answer = session.Send(u"FQC"_s + base::numbers::formatMask(amount, u"0.00") + pair, 1).Text;
    if (!answer.contains(u"AMOUNT TRUNCATED"_s))
        answer = session.Send(u"FQC"_s + base::numbers::formatMask(amount, u"0") + pair, 1).Text;

    double v = 0;
    matcher.setPattern(pattern::ConversionAmountPattern.toString());
    if (matcher.search(answer)) {
        pattern::PatternMatcher number(pattern::ConversionNumberPattern.toString());
        if (number.search(matcher.matchedText(0)))
            v = base::numbers::parseDecimal(number.matchedText(0)).value_or(-1.0);
    }
    if (!keepDecimals && std::trunc(v) > 0)
        v = std::trunc(v);
    return v;
}

} // namespace rates
