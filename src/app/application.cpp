#include "app/application.h"

#include "pricing/estimate.h"
#include "rates/hostconversion.h"

#include "base/errortext.h"
#include "base/journalfile.h"
#include "base/numbers.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace app {

Application::Application(const QString& programPath, base::UserInteraction& ui,
                         const host::AutomationRegistry& registry)
    : m_ui(ui),
      m_locations(base::fileLocations(programPath)),
      m_link(registry, m_shown),
      m_rates(m_db, m_shown, [this](const QString& from, const QString& to, double amount, bool keep) {
          return rates::ConvertViaHost(m_link.session(), m_matcher, from, to, amount, keep);
      })
{
}

void Application::readSettings()
{
    // The user's folder is made here so that the first save has a place; the database's
    // folder waits for the database (sprrate-cli init-db).
    if (m_locations.perUser)
        QDir().mkpath(QFileInfo(m_locations.settingsFile).absolutePath());
    QString problem;
    m_settings = base::readSettings(m_locations.settingsFile, m_locations.defaultDatabase, &problem);
    // Said once, here: the saves that follow fail for the same reason.
    if (!problem.isEmpty())
        m_ui.showMessage(problem + u" Until then the program runs without its saved settings."_s);
    if (const QString exposed = base::exposedPasswordWarning(m_locations.settingsFile);
        !exposed.isEmpty())
        m_ui.showMessage(exposed);
    m_db.setLocation(m_settings.database, m_settings.userName, m_settings.password,
                     m_settings.role);
    m_db.IBDatabase.setTimeLimit(std::chrono::seconds(m_settings.dbTimeout));
    m_journal.setFile(m_locations.journalFile, qint64(m_settings.journalSize) * 1024 * 1024);
}

QString Application::saveSetup(const base::Settings& edited)
{
    for (const auto& [mask, key] : {std::pair{edited.fareMask, base::key::FareMask},
                                    std::pair{edited.taxMask, base::key::TaxMask}}) {
        if (const auto why = base::numbers::maskRefusal(mask, key))
            return u"The settings were not saved: %1. Correct the mask and press Save again."_s
                .arg(*why);
    }
    m_settings.fareRegExp = edited.fareRegExp;
    m_settings.equivRegExp = edited.equivRegExp;
    m_settings.taxRegExp = edited.taxRegExp;
    m_settings.segmentFv = edited.segmentFv;
    m_settings.elementFv = edited.elementFv;
    m_settings.currencyTo = edited.currencyTo.left(3);
    m_settings.getTaxBsr = edited.getTaxBsr;
    m_settings.getTaxOrgCurrency = edited.getTaxOrgCurrency;
    m_settings.fareMask = edited.fareMask;
    m_settings.taxMask = edited.taxMask;
    QString error;
    if (!base::writeSetupSettings(m_locations.settingsFile, m_settings, &error)) {
        return u"The settings could not be written to %1: %2. They hold until the program "
               u"ends; make the file writable or free space on its disk, then press Save "
               u"again."_s.arg(QDir::toNativeSeparators(m_locations.settingsFile), error);
    }
    return {};
}

pricing::PricingServices Application::services()
{
    return pricing::PricingServices{m_settings, m_db, m_link, m_matcher, m_rates, m_shown};
}

pricing::JournalEntry Application::beginEntry(QStringView job)
{
    m_shown.takeMessages();
    m_shown.takeTicketImage();
    pricing::JournalEntry entry;
    entry.time = QDateTime::currentDateTime();
    entry.time.setOffsetFromUtc(entry.time.offsetFromUtc());
    entry.user = base::systemUserName();
    entry.program = QCoreApplication::applicationName();
    entry.job = job.toString();
    entry.to = m_settings.currencyTo;
    return entry;
}

void Application::takeWhatTheJobUsed(pricing::JournalEntry& entry)
{
    entry.rates = m_rates.Used;
    entry.rules = m_pricing.RulesApplied;
    entry.messages = m_shown.takeMessages();
}

void Application::recordFailure(pricing::JournalEntry& entry, const std::exception& e)
{
    takeWhatTheJobUsed(entry);
    entry.outcome = pricing::journal::Failed.toString();
    // The caller's error report shows it.
    entry.messages << base::errorText(e);
    m_journal.record(entry);
}

pricing::RunResult Application::btnRunClick()
{
    pricing::JournalEntry entry = beginEntry(pricing::journal::Run);
    pricing::RunResult result;
    try {
        pricing::PricingServices s = services();
        result = pricing::btnRunClick(m_pricing, s);
    } catch (const std::exception& e) {
        recordFailure(entry, e);
        throw;
    }
    using Outcome = pricing::RunResult::Outcome;
    entry.outcome = (result.outcome == Outcome::Converted ? pricing::journal::Converted
                     : result.outcome == Outcome::Failed  ? pricing::journal::Failed
                                                          : pricing::journal::Stopped)
                        .toString();
    entry.record = result.recordNumber;
    // The carrier is the record's once the run came to read it.
    if (!result.recordNumber.isEmpty())
        entry.carrier = m_pricing.Carrier;
    entry.from = result.sourceCurrency;
    takeWhatTheJobUsed(entry);
    entry.planned = result.plannedCommands;
    entry.sent = result.updateCommands;
    // The confirmation the strip shows.
    if (result.outcome == Outcome::Converted)
        entry.messages << pricing::convertedSummary(result, m_pricing.FareRate);
    m_journal.record(entry);
    return result;
}

bool Application::btnInformPricingClick()
{
    pricing::JournalEntry entry = beginEntry(pricing::journal::Estimate);
    bool shown = false;
    try {
        pricing::PricingServices s = services();
        shown = pricing::btnInformPricingClick(m_pricing, s, m_ticketImage);
    } catch (const std::exception& e) {
        recordFailure(entry, e);
        throw;
    }
    const pricing::PricingModel& m = m_pricing.model;
    entry.carrier = m.FirstCarrier;
    entry.from = m.ScreenTaxes[0].Currency;
    takeWhatTheJobUsed(entry);
    entry.image = m_shown.takeTicketImage();
    const bool failed = std::any_of(entry.messages.cbegin(), entry.messages.cend(),
                                    [](const QString& m) {
                                        return m.startsWith(pricing::NotEstimatedMessage);
                                    });
    entry.outcome = (failed ? pricing::journal::Failed
                     : shown ? pricing::journal::Shown
                             : pricing::journal::Stopped)
                        .toString();
    m_journal.record(entry);
    return shown;
}

} // namespace app
