// The currency list: every currency with its rounding rules, in code order, with New and
// Edit through the currency edit dialog.
#pragma once

#include "refdata/ui/currencynew.h"
#include "refdata/ui/listwindow.h"

class QPushButton;

class TformCurrency : public refdata::ui::ListWindow {
    Q_OBJECT
public:
    static const QString EmptyCodeMessage;

    TformCurrency(const QString& iniPath, refdata::ReferenceDatabase& db,
                  QWidget* parent = nullptr);

    refdata::ui::BrowserGrid* CurrencyGrid;
    refdata::ui::DBNavigator* DBNavigator1;
    QPushButton* bEdit;
    QPushButton* bNew;
    QPushButton* Button3;
    refdata::TableBrowser& gbtCurrency;
    TformNewCurrency* formNewCurrency;

    void bNewClick();
    void bEditClick();
    void CurrencyGridDblClick();

protected:
    refdata::ui::EditDialog& editDialog() override { return *formNewCurrency; }
    void fillDialog(EditMode mode) override;
    QString refusal() const override;
    void writeRow() override;
};
