// The pricing record reader: turns the host's priced itinerary or ticket image display
// into the pricing model, the number of taxes read and the fare calculation.
#pragma once

#include "host/textbuffer.h"
#include "pricing/pricingmodel.h"

namespace host {
class HostLink;
}

namespace pricing {

// The segment table header, with and without its five leading blanks.
inline constexpr QStringView HeaderH5 =
    u"     AL FLGT  BK T DATE  TIME  FARE BASIS      NVB  NVA   BG";
inline constexpr QStringView HeaderH0 = u"AL FLGT  BK T DATE  TIME  FARE BASIS      NVB  NVA   BG";

struct ScreenReading {
    int TaxCount = 0; // entries 1 to TaxCount of ScreenTaxes are used; at most 30
    QString FareCalc; // the fare calculation pieces, each followed by one blank
};

// Resets the model, connects to the host and reads its current display through
// mHostAnswer. Never raises: an error ends the reading with what was read kept.
ScreenReading ReadPricingScreen(host::HostLink& link, host::TextBuffer& mHostAnswer,
                                PricingModel& model);

// The reading of one response text, as ReadPricingScreen does it once the display is
// there: resets the model, puts the text into mHostAnswer and scans it.
ScreenReading readPricingText(const QString& response, host::TextBuffer& mHostAnswer,
                              PricingModel& model);

} // namespace pricing
