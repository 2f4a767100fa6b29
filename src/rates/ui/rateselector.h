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
    // Enter closes with OK, Escape with Cancel; true when the key was taken.
    bool CurrencySelectorKeyPress(int key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
