// The rate list: the rates of one currency pair and carrier, latest validity first, with
// the filter strip, and New / Edit / Delete through the rate edit dialog.
#pragma once

#include "refdata/ui/listwindow.h"
#include "refdata/ui/newrate.h"

class QLineEdit;
class QPushButton;

class TformRate : public refdata::ui::ListWindow {
    Q_OBJECT
public:
    static const QString RateOrder;
    static const QString DateOrderMessage;
    static const QString EmptyCarrierMessage;
    static const QString EmptyFromMessage;
    static const QString EmptyToMessage;
    static const QString RateValueMessage;
    static const QString DeleteQuestion;

    TformRate(const QString& iniPath, refdata::ReferenceDatabase& db, QWidget* parent = nullptr);

    QLineEdit* eCurrencyFrom;
    QLineEdit* eCurrencyTo;
    QLineEdit* eCarrier;
    QPushButton* buttonFilter;
    refdata::ui::DBNavigator* DBNavigator3;
    refdata::ui::BrowserGrid* RateGrid;
    QPushButton* bNew;
    QPushButton* bEdir;
    QPushButton* bDelete;
    QPushButton* bClose;
    refdata::TableBrowser& gbtRates;
    TformNewRate* formNewRate;

    void buttonFilterClick();
    void bNewClick();
    void bEdirClick();
    void bDeleteClick();
    void RateGridDblClick();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    refdata::ui::EditDialog& editDialog() override { return *formNewRate; }
    void fillDialog(EditMode mode) override;
    QString refusal() const override;
    void writeRow() override;
    void afterPost(EditMode mode) override;
    void FormCreate();
    void FormClose() override;

private:
    bool m_appliedOnShow = false;
};
