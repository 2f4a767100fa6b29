#include "refdata/ui/taxes.h"

#include "base/settings.h"
#include "base/ui/messages.h"

#include <QLineEdit>
#include <QPushButton>

using namespace Qt::Literals::StringLiterals;
using namespace refdata::ui;

const QString TformTaxes::EmptyCodeMessage = u"TAX Code empty !!!"_s;
const QString TformTaxes::TaxOrder = u"TAX_CODE"_s;

TformTaxes::TformTaxes(const QString& iniPath, refdata::ReferenceDatabase& db, QWidget* parent)
    : ListWindow(iniPath, db, u"APPLIED_TAXES"_s, u"formTaxes"_s, u"Available Taxes"_s,
                 QSize(515, 255), QPoint(239, 262), base::section::TaxWindow, parent),
      gbtTaxList(browser())
{
    gbtTaxList.setIndexFieldNames(TaxOrder);
    QFrame* frame = makeFrame(QRect(4, 4, 507, 214));
    DBNavigator1 = makeNavigator(frame, u"DBNavigator1"_s, QRect(5, 5, 125, 25));
    CurrencyGrid = makeGrid(frame, u"CurrencyGrid"_s,
                            {{u"TAX_CODE"_s, u"Code"_s, 35, Qt::AlignHCenter},
                             {u"TAX_NAME"_s, u"Name"_s, 239},
                             {u"CURRENCY_CODE"_s, u"Currency"_s, 54, Qt::AlignHCenter},
                             {u"CARRIER_CODE"_s, u"Carrier"_s, 51, Qt::AlignHCenter},
                             {u"COUNTRY_CODE"_s, u"Country"_s, 54, Qt::AlignHCenter}},
                            QRect(5, 34, 497, 175));
    bNew = makeButton(u"bNew"_s, u"New"_s, QRect(4, 224, 75, 25));
    bEdit = makeButton(u"bEdit"_s, u"Edit"_s, QRect(85, 224, 75, 25));
    Button3 = makeCloseButton(u"Button3"_s, QRect(436, 224, 75, 25));
    chainTabOrder({CurrencyGrid, bEdit, bNew, Button3});

    formNewTaxes = new TformNewTaxes(this);

    connect(bNew, &QPushButton::clicked, this, &TformTaxes::bNewClick);
    connect(bEdit, &QPushButton::clicked, this, &TformTaxes::bEditClick);
    connect(CurrencyGrid, &BrowserGrid::gridDblClick, this, &TformTaxes::CurrencyGridDblClick);
    FormCreate();
}

void TformTaxes::fillDialog(EditMode)
{
    TformNewTaxes& d = *formNewTaxes;
    d.eTaxCode->setText(gbtTaxList.text(u"TAX_CODE"_s));
    d.eTaxName->setText(gbtTaxList.text(u"TAX_NAME"_s));
    d.eCurrencyCode->setText(gbtTaxList.text(u"CURRENCY_CODE"_s));
    d.eCarrierCode->setText(gbtTaxList.text(u"CARRIER_CODE"_s));
    d.eCountryCode->setText(gbtTaxList.text(u"COUNTRY_CODE"_s));
}

QString TformTaxes::refusal() const
{
    return formNewTaxes->eTaxCode->text().isEmpty() ? EmptyCodeMessage : QString();
}

void TformTaxes::writeRow()
{
    const TformNewTaxes& d = *formNewTaxes;
    gbtTaxList.setText(u"TAX_CODE"_s, d.eTaxCode->text());
    gbtTaxList.setText(u"TAX_NAME"_s, d.eTaxName->text());
    gbtTaxList.setText(u"CURRENCY_CODE"_s, d.eCurrencyCode->text());
    gbtTaxList.setText(u"CARRIER_CODE"_s, d.eCarrierCode->text());
    gbtTaxList.setText(u"COUNTRY_CODE"_s, d.eCountryCode->text());
}

void TformTaxes::bNewClick()
{
    base::ui::runReported(this, [this] { runEdit(EditMode::New); });
}

void TformTaxes::bEditClick()
{
    base::ui::runReported(this, [this] { runEdit(EditMode::Edit); });
}

void TformTaxes::CurrencyGridDblClick()
{
    bEditClick();
}
