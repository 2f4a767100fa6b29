// The currency list on the sample database: the two rule tests with their exact
// messages, an empty code, a duplicate code, and a new currency typed in lower case.
#include "listtestsupport.h"
#include "rates/formula/formulaerrors.h"
#include "refdata/ui/currency.h"

#include <QLineEdit>
#include <QPushButton>

using namespace Qt::Literals::StringLiterals;
using namespace listtest;
using refdata::ui::ListWindow;

class TestCurrencyList : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void ruleTest_data();
    void ruleTest();
    void newOnEmptyList();
    void save_data();
    void save();
};

void TestCurrencyList::ruleTest_data()
{
    QTest::addColumn<bool>("fare"); // the fare rule's button, else the tax rule's
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("error"); // shown by the error report instead of a result

    QTest::newRow("fare rule") << true << u"CEIL(VALUE/5)*5"_s << u"Fare=2575.04 Equiv=2580"_s
                               << false;
    QTest::newRow("tax rule") << false << u"CEIL(INT(VALUE*10)/10)"_s << u"TAX=79.04 New TAX=79"_s
                              << false;
    QTest::newRow("empty fare rule") << true << QString() << u"Fare=2575.04 Equiv=0"_s << false;
    QTest::newRow("empty tax rule") << false << QString() << u"TAX=79.04 New TAX=0"_s << false;
    QTest::newRow("fifteen significant digits")
        << true << u"VALUE/3"_s << u"Fare=2575.04 Equiv=858.346666666667"_s << false;
    QTest::newRow("unbalanced bracket")
        << true << u"CEIL(VALUE/5"_s << formula::EMissMatchingBracket().message() << true;
    QTest::newRow("division by zero")
        << false << u"VALUE/0"_s
        << formula::EMathError(formula::EMathError::Kind::ZeroDivide).message() << true;
}

// The "?" buttons evaluate the texts as they stand in the dialog and change nothing.
void TestCurrencyList::ruleTest()
{
    QFETCH(bool, fare);
    QFETCH(QString, rule);
    QFETCH(QString, message);
    QFETCH(bool, error);
    SampleCopy data;
    TformCurrency w(data.iniPath(), data.db);
    TformNewCurrency& d = *w.formNewCurrency;
    d.eFareRule->setText(fare ? rule : u"ERROR("_s);
    d.eTaxRule->setText(fare ? u"ERROR("_s : rule);
    ModalDriver driver;
    driver.answer();
    (fare ? d.CheckFareRule : d.eCheckTaxRule)->click();
    QVERIFY(driver.allAnswered());
    QCOMPARE(driver.messages, QStringList{message});
    QCOMPARE(driver.icons.value(0), error ? QMessageBox::Critical : QMessageBox::NoIcon);
    QCOMPARE(d.CheckFareRule->toolTip(), u"Test formula"_s);
    QVERIFY(driver.strays.isEmpty());
}

void TestCurrencyList::newOnEmptyList()
{
    SampleCopy data;
    data.exec(u"delete from APPLIED_TAXES"_s);
    data.exec(u"delete from FARE_CURRENCY"_s);
    TformCurrency w(data.iniPath(), data.db);
    w.gbtCurrency.open();
    QVERIFY(w.gbtCurrency.isEmpty());
    w.formNewCurrency->eCurrencyName->setText(u"LEFT OVER"_s);
    ModalDriver driver;
    QStringList shown;
    driver.expect<TformNewCurrency>([&](TformNewCurrency* d) {
        shown = {d->eCurrencyCode->text(), d->eCurrencyName->text(), d->eFareRule->text(),
                 d->eTaxRule->text()};
        d->eCurrencyName->setText(u"NO CODE"_s);
        d->bSave->click();
    });
    driver.answer();
    QString kept;
    driver.expect<TformNewCurrency>([&](TformNewCurrency* d) {
        kept = d->eCurrencyName->text();
        d->bCancel->click();
    });
    w.bNewClick();
    QVERIFY(driver.allAnswered());
    QCOMPARE(kept, u"NO CODE"_s); // opened again with what was typed
    QCOMPARE(shown, QStringList(4));
    QCOMPARE(driver.messages, QStringList{TformCurrency::EmptyCodeMessage});
    QCOMPARE(data.rows(u"select count(*) from FARE_CURRENCY"_s), QStringList{u"0"_s});
    QVERIFY(driver.strays.isEmpty());
}

void TestCurrencyList::save_data()
{
    QTest::addColumn<bool>("isNew");
    QTest::addColumn<QString>("typedCode"); // empty: the current row's code left as it is
    QTest::addColumn<QString>("failure");   // how the refusal begins; empty: saved
    QTest::addColumn<QString>("stored");    // the row of the code afterwards

    QTest::newRow("new with the current code")
        << true << QString() << u"violation of PRIMARY or UNIQUE KEY"_s
        << u"AED|UAE DIRHAM|CEIL(VALUE/5)*5|CEIL(VALUE)"_s;
    QTest::newRow("new typed in lower case")
        << true << u"sek"_s << QString() << u"SEK|UAE DIRHAM|CEIL(VALUE/10)*10|CEIL(VALUE)"_s;
    QTest::newRow("edit") << false << QString() << QString()
                          << u"AED|UAE DIRHAM|CEIL(VALUE/10)*10|CEIL(VALUE)"_s;
    QTest::newRow("edit to a code that exists")
        << false << u"RUB"_s << u"violation of PRIMARY or UNIQUE KEY"_s
        << u"AED|UAE DIRHAM|CEIL(VALUE/5)*5|CEIL(VALUE)"_s;
}

// The fare rule retyped in lower case is stored upper-cased; a refused save cancels and
// shows the server's text with " Operation canceled".
void TestCurrencyList::save()
{
    QFETCH(bool, isNew);
    QFETCH(QString, typedCode);
    QFETCH(QString, failure);
    QFETCH(QString, stored);
    SampleCopy data;
    TformCurrency w(data.iniPath(), data.db);
    w.gbtCurrency.open();
    QCOMPARE(w.gbtCurrency.text(u"CURRENCY_CODE"_s), u"AED"_s);
    ModalDriver driver;
    driver.expect<TformNewCurrency>([&](TformNewCurrency* d) {
        if (!typedCode.isEmpty()) {
            d->eCurrencyCode->clear();
            QTest::keyClicks(d->eCurrencyCode, typedCode);
        }
        d->eFareRule->clear();
        QTest::keyClicks(d->eFareRule, u"ceil(value/10)*10"_s);
        d->bSave->click();
    });
    QString kept;
    if (!failure.isEmpty()) {
        driver.answer();
        driver.expect<TformNewCurrency>([&](TformNewCurrency* d) {
            kept = d->eCurrencyCode->text() + u'|' + d->eFareRule->text();
            d->bCancel->click();
        });
    }
    (isNew ? w.bNew : w.bEdit)->click();
    QVERIFY(driver.allAnswered());
    const QString code = stored.section(u'|', 0, 0);
    QCOMPARE(data.rows(u"select * from FARE_CURRENCY where CURRENCY_CODE = '%1'"_s.arg(code)),
             QStringList{stored});
    if (failure.isEmpty()) {
        QCOMPARE(driver.messages, QStringList());
        QCOMPARE(w.gbtCurrency.text(u"CURRENCY_CODE"_s), code);
    } else {
        QCOMPARE(driver.messages.size(), 1);
        QVERIFY2(driver.messages[0].startsWith(failure), qPrintable(driver.messages[0]));
        QVERIFY(driver.messages[0].endsWith(ListWindow::CanceledSuffix));
        // Opened again with what was typed, so that it can be corrected.
        QCOMPARE(kept, (typedCode.isEmpty() ? u"AED"_s : typedCode) + u"|CEIL(VALUE/10)*10"_s);
    }
    QCOMPARE(w.gbtCurrency.state(), refdata::TableBrowser::State::Browsing);
    QCOMPARE(data.rows(u"select count(*) from FARE_CURRENCY"_s),
             QStringList{isNew && failure.isEmpty() ? u"14"_s : u"13"_s});
    QVERIFY(driver.strays.isEmpty());
}

QTEST_MAIN(TestCurrencyList)
#include "test_currencylist.moc"
