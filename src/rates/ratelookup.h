// Finding the airline rate for a currency pair and carrier, with the user's choice among
// several valid rates and, where the caller allows it, a rate obtained from the host and
// stored. Leaves the target currency's rounding rules for the caller.
#pragma once

#include <QDate>
#include <QString>

#include <functional>
#include <vector>

namespace base {
class UserInteraction;
}
namespace refdata {
class ReferenceDatabase;
}

namespace rates {

inline constexpr QStringView DefaultFareRule = u"CEIL(VALUE/5)*5";
inline constexpr QStringView DefaultTaxRule = u"CEIL(INT(VALUE*10)/10)";

// The rate a choice dialog's item shows: its characters from position 33 on (at most
// 100), trimmed.
QString rateFromItem(const QString& item);

// One rate a lookup found, for the conversion journal.
struct RateUse {
    enum class Source {
        Database, // the one valid rate of the reference data
        Choice,   // the user's choice among several valid rates
        Host,     // the host's conversion, stored as a new rate
    };
    QString carrier;
    QString from;
    QString to;
    double rate = 0; // 0: none was found, or the choice was cancelled
    Source source = Source::Database;
    int offered = 0;          // the valid rates found in the reference data
    QDate validFrom, validTo; // the period of the rate taken from the reference data
    bool stored = false;      // the host's rate went into the reference data
    QString fareRule;         // the rules the lookup set
    QString taxRule;
};

class RateLookup {
public:
    // Converts an amount through the host: (from, to, amount, keepDecimals).
    using HostConverter = std::function<double(const QString&, const QString&, double, bool)>;

    RateLookup(refdata::ReferenceDatabase& db, base::UserInteraction& ui, HostConverter convert)
        : m_db(db), m_ui(ui), m_convert(std::move(convert))
    {
    }

    // The rate, 0 when there is none or the user cancels the choice; 1 without a lookup
    // from a currency into itself. Sets FareRule and TaxRule from the rows found (a lookup
    // that finds none in database-only mode, or none at all, leaves them as they were).
    // Database and host errors go to the caller.
    double LookupRate(const QString& carrier, const QString& from, const QString& to,
                      bool databaseOnly);

    QString FareRule;
    QString TaxRule;
    // Every lookup that asked the reference data or the host, in order; the caller
    // empties it.
    std::vector<RateUse> Used;

private:
    double hostRate(const QString& carrier, const QString& from, const QString& to);

    refdata::ReferenceDatabase& m_db;
    base::UserInteraction& m_ui;
    HostConverter m_convert;
};

} // namespace rates
