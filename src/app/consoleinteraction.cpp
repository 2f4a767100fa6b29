#include "app/consoleinteraction.h"

#include "rates/ratelookup.h"

using namespace Qt::Literals::StringLiterals;

namespace app {

void ConsoleInteraction::showMessage(const QString& text)
{
    if (m_usageFailed)
        return;
    ++m_messages;
    QString shown = text;
    shown.replace(u"\r\n"_s, u"\n"_s);
    m_err << shown << '\n';
    m_err.flush();
}

std::optional<QString> ConsoleInteraction::chooseRate(const QStringList& items)
{
    m_err << "Select rate amount:\n";
    for (int i = 0; i < items.size(); ++i)
        m_err << "  " << (i + 1) << ". " << items[i] << '\n';
    int chosen = 0;
    switch (m_choice.mode) {
    case RateChoice::Mode::Cancel:
        m_err << "(cancelled)\n";
        m_err.flush();
        return std::nullopt;
    case RateChoice::Mode::Item:
        chosen = m_choice.item;
        if (chosen > items.size()) {
            m_usageFailed = true;
            m_err << "sprrate-cli: --rate " << chosen << " is outside the offered rates (1 to "
                  << items.size() << ")\n";
            m_err.flush();
            return std::nullopt;
        }
        break;
    case RateChoice::Mode::Ask: {
        m_err << "Number of the rate (empty to cancel): ";
        m_err.flush();
        const QString answer = m_in.readLine().trimmed();
        bool ok = false;
        chosen = answer.toInt(&ok);
        if (!ok) {
            m_err << "(cancelled)\n";
            m_err.flush();
            return std::nullopt;
        }
        break;
    }
    }
    m_err.flush();
    if (chosen < 1 || chosen > items.size())
        return u"0.0000"_s; // OK without a selection
    return rates::rateFromItem(items[chosen - 1]);
}

void ConsoleInteraction::showTicketImage(const base::TicketImage& f)
{
    const QString indent(13, u' ');
    m_out << "FARE:        " << f.eFare << '\n'
          << "EQUIV:       " << f.eEquiv << '\n'
          << "TAX1:        " << f.eTax1 << '\n'
          << "TAX2:        " << f.eTax2 << '\n'
          << "TAX3:        " << f.eTax3 << '\n'
          << "TOTAL:       " << f.eTotal << '\n'
          << "FARE STRING: " << QString(f.eFareString).replace(u"\n"_s, u"\n"_s + indent) << '\n';
    m_out.flush();
}

} // namespace app
