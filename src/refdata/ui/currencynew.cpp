#include "refdata/ui/currencynew.h"

#include "base/numbers.h"
#include "rates/formula/mathparser.h"
#include "refdata/ui/fields.h"
#include "base/ui/messages.h"

#include <QPushButton>

using namespace Qt::Literals::StringLiterals;
using namespace refdata::ui;

const QString TformNewCurrency::FareSample = u"2575.04"_s;
const QString TformNewCurrency::TaxSample = u"79.04"_s;

namespace {

// The sample read back from the evaluator's variable, then the rule's value, each in the
// shortest form, after their captions.
QString ruleTest(const QString& rule, const QString& sample, const QString& sampleCaption,
                 const QString& resultCaption)
{
    formula::MathParser parser;
    parser.AssignVariable(u"value", base::numbers::parseDecimal(sample).value_or(0));
    parser.setExpression(rule);
    const double amount = parser.ReadVariable(u"value");
    const double result = parser.Value();
    return sampleCaption + base::numbers::formatGeneral(amount) + resultCaption +
           base::numbers::formatGeneral(result);
}

QPushButton* testButton(QWidget* parent, const QString& name)
{
    auto* b = new QPushButton(u"?"_s, parent);
    b->setObjectName(name);
    b->setToolTip(u"Test formula"_s);
    b->setAutoDefault(false);
    return b;
}

} // namespace

TformNewCurrency::TformNewCurrency(QWidget* parent)
    : EditDialog(parent, u"formNewCurrency"_s, u"New or Modify Currency"_s, QSize(250, 192),
                 QPoint(233, 234), u"Cancel"_s)
{
    eCurrencyCode =
        place(makeTextField(this, u"eCurrencyCode"_s, 3, true), u"Currency:"_s, 8, 26, 52);
    eCurrencyName =
        place(makeTextField(this, u"eCurrencyName"_s, 49, true), u"Name:"_s, 68, 26, 174);
    eFareRule =
        place(makeTextField(this, u"eFareRule"_s, 49, true), u"Fare Round Rule:"_s, 8, 70, 210);
    CheckFareRule = testButton(this, u"CheckFareRule"_s);
    CheckFareRule->setGeometry(220, 70, 22, 21);
    eTaxRule =
        place(makeTextField(this, u"eTaxRule"_s, 49, true), u"TAX Round Rule:"_s, 8, 114, 210);
    eCheckTaxRule = testButton(this, u"eCheckTaxRule"_s);
    eCheckTaxRule->setGeometry(220, 114, 22, 21);
    placeButtons(242, 156);
    chainTabOrder({eCurrencyCode, eCurrencyName, eFareRule, CheckFareRule, eTaxRule, eCheckTaxRule,
                   bSave, bCancel});

    connect(CheckFareRule, &QPushButton::clicked, this, &TformNewCurrency::CheckFareRuleClick);
    connect(eCheckTaxRule, &QPushButton::clicked, this, &TformNewCurrency::eCheckTaxRuleClick);
}

QString TformNewCurrency::fareRuleTest() const
{
    return ruleTest(eFareRule->text(), FareSample, u"Fare="_s, u" Equiv="_s);
}

QString TformNewCurrency::taxRuleTest() const
{
    return ruleTest(eTaxRule->text(), TaxSample, u"TAX="_s, u" New TAX="_s);
}

void TformNewCurrency::CheckFareRuleClick()
{
    QString message;
    if (base::ui::runReported(this, [&] { message = fareRuleTest(); }))
        base::ui::showMessage(this, message);
}

void TformNewCurrency::eCheckTaxRuleClick()
{
    QString message;
    if (base::ui::runReported(this, [&] { message = taxRuleTest(); }))
        base::ui::showMessage(this, message);
}
