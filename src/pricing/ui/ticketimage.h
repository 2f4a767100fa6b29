// The estimated ticket image dialog: the fields of one estimate, read-only, shown
// modally until the user closes it. It holds no logic; the estimate fills the values.
#pragma once

#include "base/interaction.h"

#include <QDialog>

class QFrame;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class TdlgTicketImage : public QDialog {
    Q_OBJECT
public:
    explicit TdlgTicketImage(QWidget* parent = nullptr);

    // Puts the values into the fields.
    void setFields(const base::TicketImage& fields);
    // Sets the fields, centres the dialog on the screen and shows it modally until the
    // user closes it.
    void showTicketImage(const base::TicketImage& fields);

    QFrame* bevel;
    QLineEdit* eFare;
    QLineEdit* eEquiv;
    QLineEdit* eTax1;
    QLineEdit* eTax2;
    QLineEdit* eTax3;
    QLineEdit* eTotal;
    QPlainTextEdit* eFareString;
    QPushButton* bDialogClose;

    void bDialogCloseClick();
};
