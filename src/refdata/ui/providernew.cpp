#include "refdata/ui/providernew.h"

#include <QPushButton>

using namespace Qt::Literals::StringLiterals;
using namespace refdata::ui;

TformProviderNew::TformProviderNew(QWidget* parent)
    : EditDialog(parent, u"formProviderNew"_s, u"New or Modify Provider"_s, QSize(291, 104),
                 QPoint(220, 169), u"Close"_s)
{
    eProviderName =
        place(makeTextField(this, u"eProviderName"_s, 49, true), u"Provider  Name:"_s, 8, 26, 134);
    eProviderCode =
        place(makeTextField(this, u"eProviderCode"_s, 2, true), u"Code:"_s, 150, 26, 34);
    eProviderDigit =
        place(new NumberEdit(this, u"eProviderDigit"_s, 0, u"000"_s), u"Digit"_s, 192, 26, 42);
    eEquivCurrency =
        place(makeTextField(this, u"eEquivCurrency"_s, 3, true), u"Equiv:"_s, 242, 26, 41);
    placeButtons(283, 70);
    chainTabOrder({eProviderName, eProviderCode, eProviderDigit, eEquivCurrency, bSave, bCancel});
}
