#include "refdata/ui/taxnew.h"

#include "refdata/ui/fields.h"

#include <QPushButton>

using namespace Qt::Literals::StringLiterals;
using namespace refdata::ui;

TformNewTaxes::TformNewTaxes(QWidget* parent)
    : EditDialog(parent, u"formNewTaxes"_s, u"TAX information"_s, QSize(250, 154), QPoint(233, 234),
                 u"Cancel"_s)
{
    eTaxCode = place(makeTextField(this, u"eTaxCode"_s, 2, true), u"Tax Code:"_s, 8, 26, 52);
    eTaxName = place(makeTextField(this, u"eTaxName"_s, 79, true), u"Name:"_s, 68, 26, 174);
    eCurrencyCode =
        place(makeTextField(this, u"eCurrencyCode"_s, 3, true), u"Currency:"_s, 8, 74, 52);
    eCarrierCode =
        place(makeTextField(this, u"eCarrierCode"_s, 2, true), u"Carrier:"_s, 68, 74, 52);
    // The country keeps the letter case typed.
    eCountryCode =
        place(makeTextField(this, u"eCountryCode"_s, 3, false), u"Country:"_s, 128, 74, 52);
    placeButtons(242, 118);
    chainTabOrder({eTaxCode, eTaxName, eCurrencyCode, eCarrierCode, eCountryCode, bSave, bCancel});
}
