// The application's shared state, as the main window holds it: the settings, the
// reference database, the host link, the pattern matcher, the rate lookup and the pricing
// fields, with the work of the buttons. The windows and the command-line front end each
// own one and hand it their way of asking the user.
#pragma once

#include "base/filelocations.h"
#include "base/interaction.h"
#include "base/settings.h"
#include "host/automation.h"
#include "host/hostlink.h"
#include "pricing/conversionrun.h"
#include "pricing/journal.h"
#include "pricing/pricingstate.h"
#include "rates/pattern/patternmatcher.h"
#include "rates/ratelookup.h"
#include "refdata/referencedb.h"

#include <exception>

namespace app {

class Application {
public:
    // programPath decides the settings file and the default database location
    // (base::fileLocations). The
    // registry creates the terminal's automation objects.
    Application(const QString& programPath, base::UserInteraction& ui,
                const host::AutomationRegistry& registry);

    // FormCreate's reading: the settings, then the database location and credentials
    // (nothing is opened). A settings file that cannot be read ends the reading with one
    // message saying what is wrong with it.
    void readSettings();

    const QString& settingsPath() const { return m_locations.settingsFile; }
    // The DATABASE of a settings file without that key.
    const QString& defaultDatabase() const { return m_locations.defaultDatabase; }
    base::Settings& settings() { return m_settings; }
    const base::Settings& settings() const { return m_settings; }

    // The setup dialog's Save. A FAREMASK or TAXMASK that the run would refuse is refused
    // with the run's reason, and nothing is taken. Otherwise the values are taken and the
    // dialog's keys written; a file that cannot be written keeps the values taken for this
    // session. What to tell the user when either fails; empty when all was saved.
    QString saveSetup(const base::Settings& edited);

    // The Run button. A database that cannot be opened is raised to the caller. Every
    // run, however it ends, leaves its entry in the conversion journal.
    pricing::RunResult btnRunClick();
    // The Ticket Image button: whether the dialog was shown. A database that cannot be
    // opened is raised to the caller. Every estimate leaves its entry in the journal.
    bool btnInformPricingClick();
    // The conversion journal's file, known once the settings are read.
    const base::JournalFile& journalFile() const { return m_journal.file(); }
    // What the ticket image dialog shows; kept between estimates.
    const base::TicketImage& ticketImage() const { return m_ticketImage; }

    refdata::ReferenceDatabase& database() { return m_db; }
    host::HostLink& hostLink() { return m_link; }
    pricing::PricingState& pricing() { return m_pricing; }
    rates::RateLookup& rateLookup() { return m_rates; }
    base::UserInteraction& ui() { return m_ui; }

private:
    pricing::PricingServices services();
    // An entry of the job begun now; what was shown before it is no part of it.
    pricing::JournalEntry beginEntry(QStringView job);
    // The rates, rules and messages of the job that ended, into its entry.
    void takeWhatTheJobUsed(pricing::JournalEntry& entry);
    // The entry of a job an error ended, with the error's text, written.
    void recordFailure(pricing::JournalEntry& entry, const std::exception& e);

    base::UserInteraction& m_ui;
    // What every part of a job shows the user goes through here, for the journal.
    pricing::JournalingInteraction m_shown{m_ui};
    pricing::ConversionJournal m_journal{m_ui};
    base::FileLocations m_locations;
    base::Settings m_settings;
    pattern::PatternMatcher m_matcher;
    refdata::ReferenceDatabase m_db;
    host::HostLink m_link;
    rates::RateLookup m_rates;
    pricing::PricingState m_pricing;
    base::TicketImage m_ticketImage;
};

} // namespace app
