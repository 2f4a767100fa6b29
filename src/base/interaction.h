// What the core asks of the user: the one seam between the core and the windows. The
// windows implement it with dialogs; tests with a recorder.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace base {

// The fields of the estimated ticket image dialog. Each estimate starts them empty and
// sets those its steps reach.
struct TicketImage {
    QString eFare;
    QString eEquiv;
    QString eTax1;
    QString eTax2;
    QString eTax3;
    QString eTotal;
    QString eFareString; // lines separated by "\n"
};

class UserInteraction {
public:
    virtual ~UserInteraction() = default;

    // A modal message with an OK button.
    virtual void showMessage(const QString& text) = 0;

    // The rate choice dialog over the items, in order, with its label reset to "0.0000".
    // Closed with OK: the label's text (the chosen item's rate, or "0.0000" when nothing
    // was chosen); closed any other way: nullopt.
    virtual std::optional<QString> chooseRate(const QStringList& items) = 0;

    // The estimated ticket image dialog, modal, until the user closes it.
    virtual void showTicketImage(const TicketImage& fields) = 0;
};

} // namespace base
