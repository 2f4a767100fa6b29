// The rate edit dialog: carrier, validity days, currency pair and the rate.
#pragma once

#include "refdata/ui/editdialog.h"
#include "refdata/ui/fields.h"

class QDateEdit;

class TformNewRate : public refdata::ui::EditDialog {
    Q_OBJECT
public:
    explicit TformNewRate(QWidget* parent = nullptr);

    QLineEdit* eCarrier;
    QDateEdit* dtpValidFrom;
    QDateEdit* dtpValidTo;
    QLineEdit* eFromCurrency;
    QLineEdit* eToCurrency;
    refdata::ui::NumberEdit* eRateValue;
};
