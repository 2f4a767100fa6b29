// The rate choice dialog: the valid rates of a lookup in a list; the chosen one shows in
// the label, and OK returns the label's text.
#pragma once

#include <QDialog>

#include <optional>

class QLabel;
class QListWidget;

class TSetectRateForm : public QDialog {
    Q_OBJECT
public:
    explicit TSetectRateForm(QWidget* parent = nullptr);

    // Fills the list, resets the label to "0.0000" and shows the dialog modally.
    std::optional<QString> choose(const QStringList& items);

    QLabel* lRateAmount;
    QListWidget* CurrencySelector;

    void CurrencySelectorClick();
    void CurrencySelectorDblClick();
    // Enter closes with OK once an item is selected, Escape with Cancel; Down or Up with
    // nothing selected selects the first item. True when the key was taken.
    bool CurrencySelectorKeyPress(int key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Widens the dialog from its designed width so that every item shows in full.
    void fitItems();
};
