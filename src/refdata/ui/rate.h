// The rate list: the rates of one currency pair and carrier, latest validity first, with
// the filter strip, and New / Edit / Delete through the rate edit dialog.
#pragma once

#include "refdata/ratevalidity.h"
#include "refdata/ui/listwindow.h"
#include "refdata/ui/newrate.h"

#include <QStyledItemDelegate>

#include <functional>

class QLineEdit;
class QPushButton;

namespace refdata::ui {

// Draws each row of the rate list by where its rate stands today: period ended in the
// palette's disabled text colour, not yet valid in italics, valid today in bold (but for
// its dates, which would not fit their columns in bold); its tooltip says which.
class RateValidityDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    RateValidityDelegate(BrowserGrid& grid, std::function<QDate()> today);

    RateValidity validityOf(const QModelIndex& index) const;
    // The option a cell is drawn with (what initStyleOption gives the view).
    void styleOption(QStyleOptionViewItem* option, const QModelIndex& index) const;

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    BrowserGrid& m_grid;
    std::function<QDate()> m_today;
};

} // namespace refdata::ui

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
    refdata::ui::RateValidityDelegate* RateValidity;
    QPushButton* bNew;
    QPushButton* bEdir;
    QPushButton* bDelete;
    QPushButton* bImport;
    QPushButton* bClose;
    refdata::TableBrowser& gbtRates;
    TformNewRate* formNewRate;

    void buttonFilterClick();
    void bNewClick();
    void bEdirClick();
    void bDeleteClick();
    void RateGridDblClick();
    // Import...: a rate table from a CSV file, checked whole, then shown and written in one
    // transaction after the agent agrees (with the stored rates it overlaps replaced when
    // the question's check box says so).
    void bImportClick();
    // Where Import... asks for the file (tests answer it themselves).
    std::function<QString(QWidget* parent)> chooseImportFile;

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
    refdata::ReferenceDatabase& m_db;
    bool m_appliedOnShow = false;
};
