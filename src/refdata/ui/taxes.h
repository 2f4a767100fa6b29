// The tax list: every tax in tax-code order, with New and Edit through the tax edit
// dialog.
#pragma once

#include "refdata/ui/listwindow.h"
#include "refdata/ui/taxnew.h"

class QPushButton;

class TformTaxes : public refdata::ui::ListWindow {
    Q_OBJECT
public:
    static const QString EmptyCodeMessage;
    static const QString TaxOrder;

    TformTaxes(const QString& iniPath, refdata::ReferenceDatabase& db, QWidget* parent = nullptr);

    refdata::ui::BrowserGrid* CurrencyGrid;
    refdata::ui::DBNavigator* DBNavigator1;
    QPushButton* bEdit;
    QPushButton* bNew;
    QPushButton* Button3;
    refdata::TableBrowser& gbtTaxList;
    TformNewTaxes* formNewTaxes;

    void bNewClick();
    void bEditClick();
    void CurrencyGridDblClick();

protected:
    refdata::ui::EditDialog& editDialog() override { return *formNewTaxes; }
    void fillDialog(EditMode mode) override;
    QString refusal() const override;
    void writeRow() override;
};
