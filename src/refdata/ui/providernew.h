// The carrier edit dialog: name, code, the digit code (a number shown as "000") and the
// equivalent currency.
#pragma once

#include "refdata/ui/editdialog.h"
#include "refdata/ui/fields.h"

class TformProviderNew : public refdata::ui::EditDialog {
    Q_OBJECT
public:
    explicit TformProviderNew(QWidget* parent = nullptr);

    QLineEdit* eProviderName;
    QLineEdit* eProviderCode;
    refdata::ui::NumberEdit* eProviderDigit;
    QLineEdit* eEquivCurrency;
};
