// The windows' way of asking the user: message boxes, the rate choice dialog and the
// ticket image dialog.
#pragma once

#include "base/interaction.h"

class QWidget;
class TSetectRateForm;
class TdlgTicketImage;

namespace ui {

class QtInteraction : public base::UserInteraction {
public:
    explicit QtInteraction(QWidget* parent) : m_parent(parent) {}

    // The dialogs, created after the main window.
    void setDialogs(TSetectRateForm* rateForm, TdlgTicketImage* ticketImage)
    {
        m_rateForm = rateForm;
        m_ticketImage = ticketImage;
    }

    void showMessage(const QString& text) override;
    std::optional<QString> chooseRate(const QStringList& items) override;
    void showTicketImage(const base::TicketImage& fields) override;

private:
    QWidget* m_parent;
    TSetectRateForm* m_rateForm = nullptr;
    TdlgTicketImage* m_ticketImage = nullptr;
};

} // namespace ui
