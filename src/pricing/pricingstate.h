// What the conversion run and the ticket image estimate work on: the main window's
// buffers and pricing fields, and the services the application owns.
#pragma once

#include "host/textbuffer.h"
#include "pricing/pricingmodel.h"
#include "rates/taxlines.h"

#include <QString>

#include <optional>
#include <vector>

namespace base {
struct Settings;
class UserInteraction;
} // namespace base
namespace host {
class HostLink;
}
namespace pattern {
class PatternMatcher;
}
namespace rates {
class RateLookup;
}
namespace refdata {
class ReferenceDatabase;
}

namespace pricing {

// A rounding rule a run or an estimate evaluated, as the conversion journal keeps it.
struct RuleUse {
    QString use; // "fare", or "tax N CODE"
    QString rule;
    double amount = 0;            // VALUE
    std::optional<double> result; // none: the rule could not be evaluated
};

// Fields of the main window that outlive a run.
struct PricingState {
    host::TextBuffer mHostAnswer; // the collected display
    host::TextBuffer mWorkBoard;  // the response of the latest command the run sent
    PricingModel model;
    rates::TaxLines TaxLines;
    QString Carrier;
    double FareRate = 0;
    double TaxCurrencyRate = 0;
    // The rules the latest run or estimate evaluated, in order.
    std::vector<RuleUse> RulesApplied;
};

// formula::EvaluateRule, noted in state.RulesApplied. Errors are raised as it raises them.
double applyRule(PricingState& state, const QString& use, const QString& rule, double amount);

// The services a run uses; all owned by the application.
struct PricingServices {
    const base::Settings& settings;
    refdata::ReferenceDatabase& db;
    host::HostLink& link;
    pattern::PatternMatcher& matcher; // the main window's shared matcher
    rates::RateLookup& rates;         // holds FareRule and TaxRule
    base::UserInteraction& ui;
};

} // namespace pricing
