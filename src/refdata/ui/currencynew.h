// The currency edit dialog: code, name and the fare and tax rounding rules, each rule
// with a "?" button that tries it on a sample amount.
#pragma once

#include "refdata/ui/editdialog.h"

class QLineEdit;
class QPushButton;

class TformNewCurrency : public refdata::ui::EditDialog {
    Q_OBJECT
public:
    // The sample amounts of the rule tests, as texts.
    static const QString FareSample;
    static const QString TaxSample;

    explicit TformNewCurrency(QWidget* parent = nullptr);

    QLineEdit* eCurrencyCode;
    QLineEdit* eCurrencyName;
    QLineEdit* eFareRule;
    QPushButton* CheckFareRule;
    QLineEdit* eTaxRule;
    QPushButton* eCheckTaxRule;

    // The messages the two tests show for the rules as they stand in the dialog; an
    // error of the formula is raised.
    QString fareRuleTest() const;
    QString taxRuleTest() const;

    void CheckFareRuleClick();
    void eCheckTaxRuleClick();
};
