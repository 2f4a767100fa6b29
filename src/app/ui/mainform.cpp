#include "app/ui/mainform.h"

#include "app/ui/icons.h"
#include "app/ui/setupform.h"
#include "base/ui/messages.h"
#include "base/ui/placement.h"
#include "pricing/ui/ticketimage.h"
#include "rates/ui/rateselector.h"
#include "refdata/ui/currency.h"
#include "refdata/ui/provider.h"
#include "refdata/ui/rate.h"
#include "refdata/ui/taxes.h"

#include <QCloseEvent>
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
    PopupMenu->addAction(u"Setup"_s, this, &TGeneralForm::Setup1Click)->setObjectName(u"Setup1"_s);

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
}

void TGeneralForm::btnRunClick() { m_app->btnRunClick(); }

void TGeneralForm::btnInformPricingClick() { m_app->btnInformPricingClick(); }

void TGeneralForm::btnSetUpClick()
{
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

void TGeneralForm::Setup1Click()
{
    formSetup->edit(m_app->settings(),
                    [this](const base::Settings& edited) { return m_app->saveSetup(edited); });
}
