#include "refdata/ui/provider.h"

#include "base/settings.h"
#include "base/ui/messages.h"

#include <QPushButton>

using namespace Qt::Literals::StringLiterals;
using namespace refdata::ui;

const QString TformProvider::EmptyCodeMessage = u"Provider CODE empty !!!"_s;

TformProvider::TformProvider(const QString& iniPath, refdata::ReferenceDatabase& db,
                             QWidget* parent)
    : ListWindow(iniPath, db, u"VALIDATING_CARRIER"_s, u"formProvider"_s,
                 u"Provider (Validating Carrier)"_s, QSize(393, 281), QPoint(212, 140),
                 base::section::ProviderWindow, parent),
      gbtProvider(browser())
{
    QFrame* frame = makeFrame(QRect(4, 4, 385, 240));
    DBNavigator2 = makeNavigator(frame, u"DBNavigator2"_s, QRect(5, 5, 125, 25));
    ProviderGrid = makeGrid(frame, u"ProviderGrid"_s,
                            {{u"CARRIER_CODE"_s, u"CODE"_s, 38, Qt::AlignHCenter},
                             {u"CARRIER_NAME"_s, u"PROVIDER NAME"_s, 189},
                             {u"CARRIER_DIGIT_CODE"_s, u"DIGIT"_s, 46},
                             {u"CARRIER_EQUIV_CURRENCY"_s, u"Equiv"_s, 47, Qt::AlignHCenter}},
                            QRect(5, 34, 375, 201));
    bNew = makeButton(u"bNew"_s, u"New"_s, QRect(4, 250, 75, 25));
    bEdit = makeButton(u"bEdit"_s, u"Edit"_s, QRect(85, 250, 75, 25));
    Button3 = makeCloseButton(u"Button3"_s, QRect(314, 250, 75, 25));
    chainTabOrder({ProviderGrid, bNew, bEdit, Button3});

    formProviderNew = new TformProviderNew(this);

    connect(bNew, &QPushButton::clicked, this, &TformProvider::bNewClick);
    connect(bEdit, &QPushButton::clicked, this, &TformProvider::bEditClick);
    connect(ProviderGrid, &BrowserGrid::gridDblClick, this, &TformProvider::ProviderGridDblClick);
    FormCreate();
}

void TformProvider::fillDialog(EditMode)
{
    TformProviderNew& d = *formProviderNew;
    d.eProviderCode->setText(gbtProvider.text(u"CARRIER_CODE"_s));
    d.eProviderName->setText(gbtProvider.text(u"CARRIER_NAME"_s));
    // A stored digit code that is not a number stops here, before the dialog is shown.
    d.eProviderDigit->setValueText(gbtProvider.text(u"CARRIER_DIGIT_CODE"_s));
    d.eEquivCurrency->setText(gbtProvider.text(u"CARRIER_EQUIV_CURRENCY"_s));
}

QString TformProvider::refusal() const
{
    return formProviderNew->eProviderCode->text().isEmpty() ? EmptyCodeMessage : QString();
}

void TformProvider::writeRow()
{
    const TformProviderNew& d = *formProviderNew;
    gbtProvider.setText(u"CARRIER_CODE"_s, d.eProviderCode->text());
    gbtProvider.setText(u"CARRIER_NAME"_s, d.eProviderName->text());
    gbtProvider.setText(u"CARRIER_DIGIT_CODE"_s, d.eProviderDigit->valueText());
    gbtProvider.setText(u"CARRIER_EQUIV_CURRENCY"_s, d.eEquivCurrency->text());
}

void TformProvider::afterPost(EditMode)
{
    gbtProvider.first();
}

void TformProvider::bNewClick()
{
    base::ui::runReported(this, [this] { runEdit(EditMode::New); });
}

void TformProvider::bEditClick()
{
    base::ui::runReported(this, [this] { runEdit(EditMode::Edit); });
}

void TformProvider::ProviderGridDblClick()
{
    bEditClick();
}
