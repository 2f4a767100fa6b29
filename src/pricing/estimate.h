// The ticket image estimate (the Ticket Image button): what the ticket on the screen would
// cost in the destination currency, shown in a read-only dialog; nothing is sent to the
// host and nothing is stored.
#pragma once

#include "base/interaction.h"
#include "pricing/pricingstate.h"

namespace pricing {

inline constexpr QStringView NotTicketImageMessage = u"This screen is not Ticket Image.";
inline constexpr QStringView VerifyDestinationMessage = u"Please verify Destination currency.";
// Begins the message of an error that ends an estimate, before the reason.
inline constexpr QStringView NotEstimatedMessage = u"The ticket image could not be estimated: ";

// btnInformPricingClick's work. The fields start empty and hold what this estimate's steps
// set. Returns whether the dialog was shown. A database that cannot be opened is raised
// to the caller.
bool btnInformPricingClick(PricingState& state, PricingServices& services,
                           base::TicketImage& fields);

} // namespace pricing
