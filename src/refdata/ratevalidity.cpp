#include "refdata/ratevalidity.h"

using namespace Qt::Literals::StringLiterals;

namespace refdata {

namespace {

QDate dateOf(const DbValue& v)
{
    if (const auto* d = std::get_if<QDate>(&v))
        return *d;
    if (const auto* t = std::get_if<DbTimestamp>(&v))
        return t->date;
    return {};
}

} // namespace

RateValidity rateValidity(const DbValue& validFrom, const DbValue& validTo, const QDate& today)
{
    const QDate from = dateOf(validFrom);
    const QDate to = dateOf(validTo);
    if (to.isValid() && to < today)
        return RateValidity::Ended;
    if (from.isValid() && from > today)
        return RateValidity::NotYetValid;
    if (from.isValid() && to.isValid())
        return RateValidity::ValidToday;
    return RateValidity::Unknown;
}

QString rateValidityText(RateValidity validity)
{
    switch (validity) {
    case RateValidity::Ended:
        return u"Period ended (drawn grey): no longer used."_s;
    case RateValidity::NotYetValid:
        return u"Not valid yet (drawn in italics): used from its first day."_s;
    case RateValidity::ValidToday:
        return u"Valid today (drawn in bold): a conversion uses it."_s;
    case RateValidity::Unknown:
        break;
    }
    return u"A day of its period is missing: a conversion never uses it."_s;
}

} // namespace refdata
