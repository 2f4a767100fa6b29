// The conversion run (the Run button): reads and checks the stored pricing record on the
// host's display, finds the rate into the target currency, and writes the converted rate,
// fare and tax elements back by host commands. Every update command is worked out before
// the first is sent, so a failure on the way sends none of them.
#pragma once

#include "pricing/pricingstate.h"

#include <QString>
#include <QStringList>

namespace pricing {

// The reason a run gives when the program was asked to end while it wrote the record.
inline constexpr QStringView StoppedReason = u"the program was asked to end";

// The system's texts of a run.
inline constexpr QStringView NotSprMessage = u"No cryptic SPR mask on screen";

// The most pages of a record the run collects (the display and the pages "MD" brings);
// a record that continues beyond them is not converted.
inline constexpr int MaxRecordPages = 20;

// The settings that find the run's carrier on the screen.
inline constexpr QStringView CarrierSettings = u"SEGMENTFV and ELEMENTFV";

// "Currency rate not found !" with the request to type the rate of a currency pair for a
// carrier. Without a carrier it says that none was recognised on the screen, naming the
// settings that find it when there are such (carrierSettings).
QString rateNotFoundMessage(const QString& from, const QString& to, const QString& carrier,
                            QStringView carrierSettings = {});

struct RunResult {
    enum class Outcome {
        Converted,   // every update command was sent
        Stopped,     // a message ended the run before any update command (host, checks)
        Failed,      // an error ended the run; its message was shown
    };
    Outcome outcome = Outcome::Stopped;
    // The update commands handed to the host, in order; when the host failed while they
    // went out, the last is the one whose answer never came.
    QStringList updateCommands;
    // What the run read and worked out, as far as it came: the record's number ("01"),
    // the currency its amounts are converted from, and every update command it planned.
    QString recordNumber;
    QString sourceCurrency;
    QStringList plannedCommands;
};

// What the agent is told near the strip after a run that converted the record.
QString convertedSummary(const RunResult& result, double rate);

// The run's state: its values live as long as one run.
struct RunRecord {
    QString RecordNumber;
    QString BaseCurrency;
    double BaseAmount = 0;
    QString OrigFareCurrency;
    double OrigFareAmount = 0;
    QString FareLineCurrency;
    QString PricingCommand;
    QString FareCalcCurrency;
    QString SourceCurrency;
};

// btnRunClick's work. A failure to connect the reference database is raised to the
// caller (the program's default error report); everything after it ends in a result.
RunResult btnRunClick(PricingState& state, PricingServices& services);

// The update commands of a checked record, in the order they are sent: the rate, fare
// and tax elements. Re-pricing and currency conversion commands go out while they are
// worked out (they change no record). Raises on any failure; nothing is sent then.
QStringList planUpdateCommands(PricingState& state, PricingServices& services,
                               const RunRecord& record);

} // namespace pricing
