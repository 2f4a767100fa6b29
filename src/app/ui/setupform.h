// The setup dialog: the recognition patterns, the output masks, the target currency and
// the tax conversion mode, as the user types them.
#pragma once

#include "base/settings.h"

#include <QDialog>

class QLineEdit;
class QPushButton;
class QRadioButton;

class TformSetup : public QDialog {
    Q_OBJECT
public:
    explicit TformSetup(QWidget* parent = nullptr);

    // Fills the controls from values and shows the dialog modally. On Save the edited
    // values are copied back into values (the currency cut to three characters) and the
    // result is true; Cancel or closing changes nothing.
    bool edit(base::Settings& values);

    void fill(const base::Settings& values);
    void take(base::Settings& values) const;

    QLineEdit* eFareRegExp;
    QLineEdit* eEquivRegExp;
    QLineEdit* eTaxRegExp;
    QLineEdit* eFirstCarrier;
    QLineEdit* eFVElement;
    QLineEdit* eFareMask;
    QLineEdit* eTaxMask;
    QLineEdit* eCurrencyTo;
    QRadioButton* cbGetTaxFromDBPrice;
    QRadioButton* cbGetBSRFromVLM;
    QRadioButton* cbGetTaxFromOrgCurrency;
    QPushButton* bSave;
    QPushButton* bClose;
};
