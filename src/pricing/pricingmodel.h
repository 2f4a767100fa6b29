// The pricing model: what the last reading of a priced display found (fare, taxes, first
// carrier). Shared by the conversion run and the ticket image estimate.
#pragma once

#include <QString>

#include <array>

namespace pricing {

struct ScreenTax {
    QString Currency; // as shown, at most 3 characters
    double Amount = 0;
    double ConvertedAmount = 0; // written by the estimate only
    QString Code;               // "YQ XX", or empty when no code was shown
    bool Present = false;       // the amount was read
};

inline constexpr int MaxScreenTaxes = 30;

struct PricingModel {
    // Tax k (from 1) is ScreenTaxes[k - 1].
    std::array<ScreenTax, MaxScreenTaxes> ScreenTaxes{};
    QString FareCurrency; // as shown, at most 3 characters
    double FareAmount = 0;
    double ConvertedFare = 0; // written by the estimate only
    QString FirstCarrier;

    void reset() { *this = PricingModel{}; }
};

} // namespace pricing
