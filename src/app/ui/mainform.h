// The main window: a strip of four buttons that floats above the host terminal. It owns
// the application's state and every secondary window, and wires the buttons and the
// SetUp menu to the core.
#pragma once

#include "app/application.h"
#include "app/ui/qtinteraction.h"
#include "host/automation.h"

#include <QWidget>

#include <functional>
#include <memory>

class QLabel;
class QTimer;
class QMenu;
class QToolButton;
class TSetectRateForm;
class TdlgTicketImage;
class TformCurrency;
class TformProvider;
class TformRate;
class TformHistory;
class TformSetup;
class TformTaxes;

class TGeneralForm;

// The strip busy for as long as the object lives (a button's job).
class BusyStrip {
public:
    explicit BusyStrip(TGeneralForm& form);
    ~BusyStrip();
    BusyStrip(const BusyStrip&) = delete;
    BusyStrip& operator=(const BusyStrip&) = delete;

private:
    TGeneralForm& m_form;
};

class TGeneralForm : public QWidget {
    Q_OBJECT
public:
    // programPath decides the settings file and the default database; the registry
    // creates the terminal's automation objects. onCurrencyDialogCreated runs when the
    // currency edit dialog's window exists (the program holds its single-instance lock
    // from then on).
    TGeneralForm(const QString& programPath, const host::AutomationRegistry& registry,
                 const std::function<void()>& onCurrencyDialogCreated = {},
                 QWidget* parent = nullptr);
    ~TGeneralForm() override;

    app::Application& application() { return *m_app; }

    QToolButton* btnRun;
    QToolButton* btnInformPricing;
    QToolButton* btnSetUp;
    QToolButton* btnExit;
    QMenu* PopupMenu;
    // The short confirmation near the strip after a converted run; it hides by itself.
    QLabel* lConfirmation;
    static constexpr int ConfirmationMs = 6000;

    // The secondary windows; each list window holds its edit dialog.
    TformRate* formRate;
    TformCurrency* formCurrency;
    TformProvider* formProvider;
    TformSetup* formSetup;
    TSetectRateForm* SetectRateForm;
    TdlgTicketImage* dlgTicketImage;
    TformTaxes* formTaxes;
    TformHistory* formHistory;

    void btnRunClick();
    void btnInformPricingClick();
    void btnSetUpClick();
    void btnExitClick();
    void Rate1Click();
    void Currency1Click();
    void TaxesClick();
    void Carrier1Click();
    void Setup1Click();
    void History1Click();

    // The program's end asked for from outside (a signal): no question, the position is
    // written, the strip closes and closed() follows.
    void shutDown();

    // Whether a job (a run, an estimate) is under way: the buttons are off and input made
    // at the strip meanwhile is dropped, not replayed as new jobs afterwards.
    bool busy() const { return m_busy; }

Q_SIGNALS:
    // The strip has closed for good: the program ends. (A tool window does not count for
    // Qt's own end on the last window closed.)
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class BusyStrip;
    void setBusy(bool busy);
    void showConfirmation(const QString& text);
    // The confirmation goes at once when the agent goes on to something else.
    void hideConfirmation();
    void FormCreate();
    bool FormCloseQuery();
    void FormClose();

    std::unique_ptr<ui::QtInteraction> m_ui;
    std::unique_ptr<app::Application> m_app;
    bool m_busy = false;
    QTimer* m_confirmationTimer;
};
