// Where a stored rate stands today: its period ended, not begun yet, or valid today (the
// rates the lookup offers), for the rate list's drawing.
#pragma once

#include "refdata/firebird.h"

#include <QDate>
#include <QString>

namespace refdata {

enum class RateValidity {
    Unknown,     // a day of its period is missing
    Ended,       // the last day of validity is past
    NotYetValid, // the first day of validity is still to come
    ValidToday,  // both days given and today between them, both included
};

// From the values of RATE_VALID_FROM and RATE_VALID_TO (dates, or null).
RateValidity rateValidity(const DbValue& validFrom, const DbValue& validTo, const QDate& today);

// What the rate list tells of a row in its tooltip.
QString rateValidityText(RateValidity validity);

} // namespace refdata
