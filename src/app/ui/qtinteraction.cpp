#include "app/ui/qtinteraction.h"

#include "base/ui/messages.h"
#include "pricing/ui/ticketimage.h"
#include "rates/ui/rateselector.h"

#include <QMessageBox>

namespace ui {

void QtInteraction::showMessage(const QString& text) { base::ui::showMessage(m_parent, text); }

std::optional<QString> QtInteraction::chooseRate(const QStringList& items)
{
    return m_rateForm ? m_rateForm->choose(items) : std::nullopt;
}

void QtInteraction::showTicketImage(const base::TicketImage& fields)
{
    if (m_ticketImage)
        m_ticketImage->showTicketImage(fields);
}

} // namespace ui
