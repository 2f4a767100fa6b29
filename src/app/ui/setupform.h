// The setup dialog: the recognition patterns, the output masks, the target currency and
// the tax conversion mode, as the user types them.
#pragma once

#include "base/settings.h"

#include <QDialog>

#include <functional>

class QLineEdit;
class QPushButton;
class QRadioButton;

class TformSetup : public QDialog {
    Q_OBJECT
public:
    explicit TformSetup(QWidget* parent = nullptr);

    // Takes the edited values on Save: what to tell the user when they were not saved,
    // empty when they were.
    using Saver = std::function<QString(const base::Settings&)>;

    // Fills the controls from values and shows the dialog modally, the cursor at the start
    // of the first field with nothing selected. Save hands the edited values (the
    // currency cut to three characters) to save; when it says why they were not saved,
    // the dialog shows that and stays open. The result is whether a Save succeeded;
    // Cancel or closing ends the dialog.
    bool edit(const base::Settings& values, const Saver& save);

    void fill(const base::Settings& values);
    void take(base::Settings& values) const;
    void bSaveClick();
    void setVisible(bool visible) override;

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

private:
    base::Settings m_editing;
    Saver m_save;
};
