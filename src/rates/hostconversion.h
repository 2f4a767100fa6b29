// Converting an amount between currencies by the host's currency conversion command.
#pragma once

#include <QString>

namespace host {
class HostSession;
}
namespace pattern {
class PatternMatcher;
}

namespace rates {

// Sends "FQC" + amount + from + "/" + to (the amount with two decimals; unless that
// answer says "AMOUNT TRUNCATED", once more as a whole number, whose answer is used) and
// reads the converted amount out of the answer with the fixed conversion patterns; the
// first search uses `matcher`, which keeps that pattern. Returns 0 when the answer holds
// no converted amount and -1 when the amount found is not a number. With keepDecimals
// off, a result of 1 or more is truncated to a whole number. Host errors go to the caller.
double ConvertViaHost(host::HostSession& session, pattern::PatternMatcher& matcher,
                      const QString& from, const QString& to, double amount, bool keepDecimals);

} // namespace rates
