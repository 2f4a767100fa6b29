#include "refdata/ui/currency.h"

#include "base/settings.h"
#include "base/ui/messages.h"

#include <QLineEdit>
#include <QPushButton>

using namespace Qt::Literals::StringLiterals;
using namespace refdata::ui;

const QString TformCurrency::EmptyCodeMessage = u"Currency Code empty !!!"_s;

TformCurrency::TformCurrency(const QString& iniPath, refdata::ReferenceDatabase& db,
                             QWidget* parent)
    : ListWindow(iniPath, db, u"FARE_CURRENCY"_s, u"formCurrency"_s, u"Available Currency"_s,
                 QSize(515, 255), QPoint(239, 262), base::section::CurrencyWindow, parent),
      gbtCurrency(browser())
{
    QFrame* frame = makeFrame(QRect(4, 4, 507, 214));
    DBNavigator1 = makeNavigator(frame, u"DBNavigator1"_s, QRect(5, 5, 125, 25));
    CurrencyGrid = makeGrid(frame, u"CurrencyGrid"_s,
                            {{u"CURRENCY_CODE"_s, u"CODE"_s, 0},
                             {u"CURRENCY_NAME"_s, u"NAME"_s, 144},
                             {u"CURRENCY_FARE_RULE"_s, u"FARE RULE"_s, 131},
                             {u"CURRENCY_TAX_RULE"_s, u"TAX RULE"_s, 126}},
                            QRect(5, 34, 497, 175));
    bNew = makeButton(u"bNew"_s, u"New"_s, QRect(4, 224, 75, 25));
    bEdit = makeButton(u"bEdit"_s, u"Edit"_s, QRect(85, 224, 75, 25));
    Button3 = makeCloseButton(u"Button3"_s, QRect(436, 224, 75, 25));
    chainTabOrder({CurrencyGrid, bEdit, bNew, Button3});

    formNewCurrency = new TformNewCurrency(this);

    connect(bNew, &QPushButton::clicked, this, &TformCurrency::bNewClick);
    connect(bEdit, &QPushButton::clicked, this, &TformCurrency::bEditClick);
    connect(CurrencyGrid, &BrowserGrid::gridDblClick, this, &TformCurrency::CurrencyGridDblClick);
    FormCreate();
}

void TformCurrency::fillDialog(EditMode)
{
    TformNewCurrency& d = *formNewCurrency;
    d.eCurrencyCode->setText(gbtCurrency.text(u"CURRENCY_CODE"_s));
    d.eCurrencyName->setText(gbtCurrency.text(u"CURRENCY_NAME"_s));
    d.eFareRule->setText(gbtCurrency.text(u"CURRENCY_FARE_RULE"_s));
    d.eTaxRule->setText(gbtCurrency.text(u"CURRENCY_TAX_RULE"_s));
}

QString TformCurrency::refusal() const
{
    return formNewCurrency->eCurrencyCode->text().isEmpty() ? EmptyCodeMessage : QString();
}

void TformCurrency::writeRow()
{
    const TformNewCurrency& d = *formNewCurrency;
    gbtCurrency.setText(u"CURRENCY_CODE"_s, d.eCurrencyCode->text());
    gbtCurrency.setText(u"CURRENCY_NAME"_s, d.eCurrencyName->text());
    gbtCurrency.setText(u"CURRENCY_FARE_RULE"_s, d.eFareRule->text());
    gbtCurrency.setText(u"CURRENCY_TAX_RULE"_s, d.eTaxRule->text());
}

void TformCurrency::bNewClick()
{
    base::ui::runReported(this, [this] { runEdit(EditMode::New); });
}

void TformCurrency::bEditClick()
{
    base::ui::runReported(this, [this] { runEdit(EditMode::Edit); });
}

void TformCurrency::CurrencyGridDblClick()
{
    bEditClick();
}
