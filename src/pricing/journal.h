// The conversion journal: one entry for every run and every estimate, of the windows and of
// sprrate-cli alike, telling what the job read, which rates it took and from where, which
// rules rounded which amounts, which update commands it worked out and sent, how it ended
// and what the user was told. The back office reads it in the History window or with
// "sprrate-cli history".
#pragma once

#include "base/interaction.h"
#include "base/journalfile.h"
#include "pricing/pricingstate.h"
#include "rates/ratelookup.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace pricing {

// The jobs and the outcomes as the journal writes them.
namespace journal {
inline constexpr QStringView Run = u"run";
inline constexpr QStringView Estimate = u"estimate";
inline constexpr QStringView Converted = u"converted"; // a run that sent every command
inline constexpr QStringView Shown = u"shown";         // an estimate whose dialog was shown
inline constexpr QStringView Stopped = u"stopped";     // a message ended the job
inline constexpr QStringView Failed = u"failed";       // an error ended the job
} // namespace journal

struct JournalEntry {
    QDateTime time; // with the computer's offset from UTC
    QString user;   // the system user
    QString program;
    QString job; // journal::Run or journal::Estimate
    QString record;
    QString carrier;
    QString from;
    QString to;
    std::vector<rates::RateUse> rates;
    std::vector<RuleUse> rules;
    QStringList planned; // update commands worked out
    QStringList sent;    // update commands handed to the host
    QString outcome;
    QStringList messages; // what the user was shown, in order
    std::optional<base::TicketImage> image; // the estimate's dialog, when shown
};

// An entry as one line of JSON (no line end), and back. A line that is no entry (cut
// short, or not the journal's) gives nothing.
QByteArray journalLine(const JournalEntry& entry);
std::optional<JournalEntry> journalEntry(const QByteArray& line);

// Hands everything to the user's interaction and keeps what the user was shown, for the
// journal's entry of the job.
class JournalingInteraction : public base::UserInteraction {
public:
    explicit JournalingInteraction(base::UserInteraction& user) : m_user(user) {}

    void showMessage(const QString& text) override;
    std::optional<QString> chooseRate(const QStringList& items) override;
    void showTicketImage(const base::TicketImage& fields) override;

    // What was shown since the last take, forgotten by taking it.
    QStringList takeMessages();
    std::optional<base::TicketImage> takeTicketImage();

private:
    base::UserInteraction& m_user;
    QStringList m_messages;
    std::optional<base::TicketImage> m_image;
};

// Writes the entries. A journal that cannot be written never stops a job: the user is
// told once, at the first entry lost, and the entries after it are tried as ever.
class ConversionJournal {
public:
    explicit ConversionJournal(base::UserInteraction& ui) : m_ui(ui) {}

    // The file and the size in bytes at which it starts anew.
    void setFile(const QString& path, qint64 rotateAt);
    const base::JournalFile& file() const { return m_file; }

    void record(const JournalEntry& entry);

private:
    base::UserInteraction& m_ui;
    base::JournalFile m_file{QString(), 0};
    bool m_reported = false;
};

// What the history shows: entries of a record (its number as the header shows it, "1"
// and "01" alike; empty: every record) from a day on (null: every day).
struct HistoryFilter {
    QString record;
    QDate since;
};
bool matchesFilter(const JournalEntry& entry, const HistoryFilter& filter);

struct History {
    std::vector<JournalEntry> entries; // newest first
    int unreadable = 0;                // lines that are no entry, left out
    QString error;                     // a file of the journal that cannot be read
};
History readHistory(const base::JournalFile& file, const HistoryFilter& filter);

// The history's table: the titles, and an entry's cells in their order.
QStringList historyColumns();
QStringList historyCells(const JournalEntry& entry);
// The history as text: a line of titles and a line per entry, in aligned columns.
QString historyTable(const History& history);
// Everything an entry holds beyond its line: the commands planned and sent, the messages,
// the rates and where they came from and the rules applied, one item a line.
QString historyDetails(const JournalEntry& entry);
// What the history says under its table: how many entries ("3 of 10 entries" when a
// filter shows `shown` of them), and what it left out.
QString historySummary(const History& history, std::optional<std::size_t> shown = std::nullopt);

} // namespace pricing
