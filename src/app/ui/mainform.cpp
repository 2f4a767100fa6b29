#include "app/ui/mainform.h"

#include "app/ui/icons.h"
#include "app/ui/setupform.h"
#include "base/ui/messages.h"
#include "base/ui/placement.h"
#include "pricing/ui/history.h"
#include "pricing/ui/ticketimage.h"
#include "rates/ui/rateselector.h"
#include "refdata/ui/currency.h"
#include "refdata/ui/provider.h"
#include "refdata/ui/rate.h"
#include "refdata/ui/taxes.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QTimer>
#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QToolButton>

using namespace Qt::Literals::StringLiterals;

namespace {

QToolButton* stripButton(QWidget* parent, const char* name, int left, const QIcon& icon,
                         const QString& tip)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(left, 0, 23, 22);
    b->setIcon(icon);
    b->setIconSize(QSize(16, 16));
    b->setToolTip(tip);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

} // namespace

TGeneralForm::TGeneralForm(const QString& programPath, const host::AutomationRegistry& registry,
                           const std::function<void()>& onCurrencyDialogCreated, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_ui(std::make_unique<ui::QtInteraction>(this)),
      m_app(std::make_unique<app::Application>(programPath, *m_ui, registry))
{
    setObjectName(u"GeneralForm"_s);
    setWindowTitle(u"SPR rate v1.4"_s);

    btnRun = stripButton(this, "btnRun", 0, ui::runIcon(), u"Run SPR conversation process..."_s);
    btnInformPricing = stripButton(this, "btnInformPricing", 24, ui::ticketImageIcon(),
                                   u"Ticket Image pricing..."_s);
    btnSetUp = stripButton(this, "btnSetUp", 48, ui::setUpIcon(), u"Converter SetUp"_s);
    btnExit = stripButton(this, "btnExit", 72, ui::exitIcon(), u"Exit"_s);
    connect(btnRun, &QToolButton::clicked, this, &TGeneralForm::btnRunClick);
    connect(btnInformPricing, &QToolButton::clicked, this, &TGeneralForm::btnInformPricingClick);
    connect(btnSetUp, &QToolButton::clicked, this, &TGeneralForm::btnSetUpClick);
    connect(btnExit, &QToolButton::clicked, this, &TGeneralForm::btnExitClick);

    PopupMenu = new QMenu(this);
    PopupMenu->setObjectName(u"PopupMenu"_s);
    PopupMenu->addAction(u"Rate"_s, this, &TGeneralForm::Rate1Click)->setObjectName(u"Rate1"_s);
    PopupMenu->addSeparator();
    PopupMenu->addAction(u"Currency"_s, this, &TGeneralForm::Currency1Click)
        ->setObjectName(u"Currency1"_s);
    PopupMenu->addAction(u"Tax"_s, this, &TGeneralForm::TaxesClick)->setObjectName(u"Taxes"_s);
    PopupMenu->addAction(u"Carrier"_s, this, &TGeneralForm::Carrier1Click)
        ->setObjectName(u"Carrier1"_s);
    PopupMenu->addSeparator();
    // Setup stays the last item, where the agent's hand finds it (Up, Enter).
    PopupMenu->addAction(u"History"_s, this, &TGeneralForm::History1Click)
        ->setObjectName(u"History1"_s);
    PopupMenu->addAction(u"Setup"_s, this, &TGeneralForm::Setup1Click)->setObjectName(u"Setup1"_s);

    lConfirmation = new QLabel(this, Qt::ToolTip | Qt::FramelessWindowHint);
    lConfirmation->setObjectName(u"lConfirmation"_s);
    lConfirmation->setMargin(4);
    lConfirmation->setStyleSheet(u"QLabel { background: #ffffe1; color: black; border: 1px solid #808080; }"_s);
    m_confirmationTimer = new QTimer(this);
    m_confirmationTimer->setSingleShot(true);
    m_confirmationTimer->setInterval(ConfirmationMs);
    connect(m_confirmationTimer, &QTimer::timeout, lConfirmation, &QWidget::hide);

    FormCreate();

    // The secondary windows, in their order, kept until the program ends. Each list
    // window reads its remembered place as it is created.
    const QString& ini = m_app->settingsPath();
    refdata::ReferenceDatabase& db = m_app->database();
    formRate = new TformRate(ini, db, this);
    formCurrency = new TformCurrency(ini, db, this); // with the currency edit dialog
    if (onCurrencyDialogCreated)
        onCurrencyDialogCreated();
    formProvider = new TformProvider(ini, db, this);
    formSetup = new TformSetup(this);
    SetectRateForm = new TSetectRateForm(this);
    dlgTicketImage = new TdlgTicketImage(this);
    formTaxes = new TformTaxes(ini, db, this);
    formHistory = new TformHistory(ini, m_app->journalFile(), this);
    m_ui->setDialogs(SetectRateForm, dlgTicketImage);
}

TGeneralForm::~TGeneralForm()
{
    // The secondary windows browse the application's database and ask through its
    // interaction: they go first, while both still exist.
    qDeleteAll(findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
}

void TGeneralForm::FormCreate()
{
    // The settings (a failure leaves the rest of the defaults), the place on the screen
    // and the database location; the database is not opened here.
    m_app->readSettings();
    // The client area is exactly the button strip.
    setFixedSize(72 + 23, 22);
    move(base::ui::placement(m_app->settings().windowPosition, frameGeometry().size(),
                             base::defaults::MainWindowPosition));
}

bool TGeneralForm::FormCloseQuery()
{
    QMessageBox box(QMessageBox::Information, base::ui::MessageTitle.toString(), u"Close Application?"_s,
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    box.setObjectName(u"closeQuery"_s);
    return box.exec() == QMessageBox::Ok;
}

void TGeneralForm::FormClose()
{
    // A position that cannot be saved is not worth a message at exit.
    base::writeWindowPosition(m_app->settingsPath(), base::section::Window, pos());
}

void TGeneralForm::closeEvent(QCloseEvent* event)
{
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
    Q_EMIT closed();
}

void TGeneralForm::shutDown()
{
    FormClose();
    hide();
    Q_EMIT closed();
}

BusyStrip::BusyStrip(TGeneralForm& form) : m_form(form)
{
    m_form.setBusy(true);
}

BusyStrip::~BusyStrip()
{
    m_form.setBusy(false);
}

void TGeneralForm::setBusy(bool busy)
{
    if (busy == m_busy)
        return;
    if (busy) {
        m_busy = true;
        hideConfirmation();
        QApplication::setOverrideCursor(Qt::BusyCursor);
        qApp->installEventFilter(this);
        for (QToolButton* b : {btnRun, btnInformPricing, btnSetUp, btnExit})
            b->setEnabled(false);
        // Shown before the job blocks on the host.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return;
    }
    // Clicks and keys the agent gave the frozen strip are still queued: they are taken
    // (and dropped) before the strip takes input again.
    QCoreApplication::processEvents();
    qApp->removeEventFilter(this);
    for (QToolButton* b : {btnRun, btnInformPricing, btnSetUp, btnExit})
        b->setEnabled(true);
    QApplication::restoreOverrideCursor();
    m_busy = false;
}

bool TGeneralForm::eventFilter(QObject* watched, QEvent* event)
{
    // While busy, the strip's own input is dropped; the job's dialogs (the rate choice,
    // its messages) take theirs.
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
        if (auto* w = qobject_cast<QWidget*>(watched); w && (w == this || isAncestorOf(w)) &&
                                                        !QApplication::activeModalWidget())
            return true;
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void TGeneralForm::showConfirmation(const QString& text)
{
    lConfirmation->setText(text);
    lConfirmation->adjustSize();
    const QRect strip = frameGeometry();
    lConfirmation->move(strip.left(), strip.bottom() + 2);
    lConfirmation->show();
    lConfirmation->raise();
    m_confirmationTimer->start();
}

void TGeneralForm::btnRunClick()
{
    pricing::RunResult result;
    {
        BusyStrip busy(*this);
        result = m_app->btnRunClick();
    }
    if (result.outcome == pricing::RunResult::Outcome::Converted)
        showConfirmation(pricing::convertedSummary(result, m_app->pricing().FareRate));
}

void TGeneralForm::btnInformPricingClick()
{
    BusyStrip busy(*this);
    m_app->btnInformPricingClick();
}

void TGeneralForm::hideConfirmation()
{
    m_confirmationTimer->stop();
    lConfirmation->hide();
}

void TGeneralForm::btnSetUpClick()
{
    // The note stays above every window: it would cover the one the menu opens.
    hideConfirmation();
    try {
        m_app->database().connectIfNeeded();
    } catch (const std::exception& e) {
        base::ui::showMessage(this, base::errorText(e));
    }
    PopupMenu->popup(QCursor::pos());
}

void TGeneralForm::btnExitClick() { close(); }

// The list handlers have no guard of their own: a browser that cannot open goes to the
// program's default error report, and the list is not shown.
void TGeneralForm::Rate1Click() { formRate->showList(); }

void TGeneralForm::Currency1Click() { formCurrency->showList(); }

void TGeneralForm::TaxesClick() { formTaxes->showList(); }

void TGeneralForm::Carrier1Click() { formProvider->showList(); }

void TGeneralForm::History1Click() { formHistory->showHistory(); }

void TGeneralForm::Setup1Click()
{
    formSetup->edit(m_app->settings(),
                    [this](const base::Settings& edited) { return m_app->saveSetup(edited); });
}
