#include "app/application.h"

#include "pricing/estimate.h"
#include "rates/hostconversion.h"

#include "base/numbers.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::Literals::StringLiterals;

namespace app {

Application::Application(const QString& programPath, base::UserInteraction& ui,
                         const host::AutomationRegistry& registry)
    : m_ui(ui),
      m_locations(base::fileLocations(programPath)),
      m_link(registry, ui),
      m_rates(m_db, ui, [this](const QString& from, const QString& to, double amount, bool keep) {
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
    return pricing::PricingServices{m_settings, m_db, m_link, m_matcher, m_rates, m_ui};
}

pricing::RunResult Application::btnRunClick()
{
    pricing::PricingServices s = services();
    return pricing::btnRunClick(m_pricing, s);
}

bool Application::btnInformPricingClick()
{
    pricing::PricingServices s = services();
    return pricing::btnInformPricingClick(m_pricing, s, m_ticketImage);
}

} // namespace app
