// The tax edit dialog: tax code and name, the currency it is charged in, the carrier
// (empty: every carrier) and the country.
#pragma once

#include "refdata/ui/editdialog.h"

class QLineEdit;

class TformNewTaxes : public refdata::ui::EditDialog {
    Q_OBJECT
public:
    explicit TformNewTaxes(QWidget* parent = nullptr);

    QLineEdit* eTaxCode;
    QLineEdit* eTaxName;
    QLineEdit* eCurrencyCode;
    QLineEdit* eCarrierCode;
    QLineEdit* eCountryCode;
};
