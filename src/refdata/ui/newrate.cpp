#include "refdata/ui/newrate.h"

#include <QDateEdit>
#include <QPushButton>

using namespace Qt::Literals::StringLiterals;
using namespace refdata::ui;

namespace {
QDateEdit* makeDatePicker(QWidget* parent, const QString& name)
{
    auto* picker = new QDateEdit(QDate::currentDate(), parent);
    picker->setObjectName(name);
    picker->setCalendarPopup(true);
    picker->setDisplayFormat(u"dd.MM.yyyy"_s);
    return picker;
}
} // namespace

TformNewRate::TformNewRate(QWidget* parent)
    : EditDialog(parent, u"formNewRate"_s, u"Currency Rate"_s, QSize(283, 154), QPoint(212, 140),
                 u"Cancel"_s)
{
    eCarrier = place(makeTextField(this, u"eCarrier"_s, 2, true), u"Carrier:"_s, 8, 26, 46);
    dtpValidFrom = place(makeDatePicker(this, u"dtpValidFrom"_s), u"Valid From:"_s, 62, 26, 102);
    dtpValidTo = place(makeDatePicker(this, u"dtpValidTo"_s), u"Valid To:"_s, 172, 26, 103);
    eFromCurrency = place(makeTextField(this, u"eFromCurrency"_s, 3, true), u"From:"_s, 8, 74, 46);
    eToCurrency = place(makeTextField(this, u"eToCurrency"_s, 3, true), u"To:"_s, 62, 74, 46);
    eRateValue =
        place(new NumberEdit(this, u"eRateValue"_s, 4, u"0.0000"_s), u"Rate:"_s, 116, 74, 159);
    placeButtons(275, 118);
    chainTabOrder({eCarrier, dtpValidFrom, dtpValidTo, eFromCurrency, eToCurrency, eRateValue,
                   bSave, bCancel});
}
