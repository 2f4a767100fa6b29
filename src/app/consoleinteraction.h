// Asking the user on a terminal: messages go to standard error, the rate choice is read
// from standard input or decided in advance, the ticket image goes to standard output.
#pragma once

#include "base/interaction.h"

#include <QTextStream>

namespace app {

// How a console answers the rate choice: asked on standard input, or a fixed item
// (counting from 1), or cancelled.
struct RateChoice {
    enum class Mode { Ask, Item, Cancel } mode = Mode::Ask;
    int item = 0;
};

class ConsoleInteraction : public base::UserInteraction {
public:
    ConsoleInteraction(QTextStream& in, QTextStream& out, QTextStream& err,
                       RateChoice choice = RateChoice())
        : m_in(in), m_out(out), m_err(err), m_choice(choice)
    {
    }

    void showMessage(const QString& text) override;
    std::optional<QString> chooseRate(const QStringList& items) override;
    // The dialog's fields as labelled lines on standard output.
    void showTicketImage(const base::TicketImage& fields) override;

    int messageCount() const { return m_messages; }
    // A fixed item beyond the offered rates was asked for: the choice was cancelled, and
    // the messages that follow from it are not shown.
    bool usageFailed() const { return m_usageFailed; }

private:
    QTextStream& m_in;
    QTextStream& m_out;
    QTextStream& m_err;
    RateChoice m_choice;
    int m_messages = 0;
    bool m_usageFailed = false;
};

} // namespace app
