// The tax list on the sample database: a new tax in tax-code order with its country cut
// to two characters, a currency the database refuses (an empty one included), an empty
// tax code, and New on an empty list.
#include "listtestsupport.h"
#include "refdata/ui/taxes.h"

#include <QLineEdit>
#include <QPushButton>

using namespace Qt::Literals::StringLiterals;
using namespace listtest;
using refdata::ui::ListWindow;

namespace {
const QString allTaxes = u"select * from APPLIED_TAXES order by TAXID"_s;

QStringList shownCodes(TformTaxes& w)
{
    QStringList out;
    auto* m = w.CurrencyGrid->model();
    for (int r = 0; r < m->rowCount(); ++r)
        out.append(m->index(r, w.CurrencyGrid->columnOf(u"TAX_CODE"_s)).data().toString());
    return out;
}
} // namespace

class TestTaxList : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void newTax_data();
    void newTax();
    void refused_data();
    void refused();
    void newOnEmptyList();
};

void TestTaxList::newTax_data()
{
    QTest::addColumn<QString>("country"); // typed
    QTest::addColumn<QString>("stored");
    QTest::newRow("RUS stored RU") << u"RUS"_s << u"RU"_s;
    QTest::newRow("lower case kept") << u"ru"_s << u"ru"_s;
    QTest::newRow("one letter") << u"K"_s << u"K"_s;
}

// The database numbers the new tax; the list shows it in tax-code order.
void TestTaxList::newTax()
{
    QFETCH(QString, country);
    QFETCH(QString, stored);
    SampleCopy data;
    TformTaxes w(data.iniPath(), data.db);
    w.gbtTaxList.open();
    ModalDriver driver;
    driver.expect<TformNewTaxes>([&](TformNewTaxes* d) {
        d->eTaxCode->setText(u"JN"_s);
        d->eTaxName->setText(u"NEW TAX"_s);
        d->eCurrencyCode->setText(u"RUB"_s);
        d->eCarrierCode->clear();
        d->eCountryCode->clear();
        QTest::keyClicks(d->eCountryCode, country);
        d->bSave->click();
    });
    w.bNewClick();
    QVERIFY(driver.allAnswered());
    QCOMPARE(data.rows(u"select TAX_CODE, TAX_NAME, CURRENCY_CODE, CARRIER_CODE, COUNTRY_CODE "
                       u"from APPLIED_TAXES where TAX_CODE = 'JN'"_s),
             QStringList{u"JN|NEW TAX|RUB||"_s + stored});
    const QStringList codes = shownCodes(w);
    QCOMPARE(codes.size(), 14);
    QVERIFY(codes.contains(u"JN"_s));
    QStringList sorted = codes;
    sorted.sort();
    QCOMPARE(codes, sorted);
    QVERIFY(driver.strays.isEmpty());
}

void TestTaxList::refused_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("currency");
    QTest::addColumn<QString>("message"); // how it begins; the foreign key's text otherwise
    QTest::addColumn<bool>("canceled");
    QTest::newRow("empty currency")
        << u"JN"_s << QString() << u"violation of FOREIGN KEY"_s << true;
    QTest::newRow("unknown currency")
        << u"JN"_s << u"XXX"_s << u"violation of FOREIGN KEY"_s << true;
    QTest::newRow("empty tax code")
        << QString() << u"RUB"_s << TformTaxes::EmptyCodeMessage << false;
}

void TestTaxList::refused()
{
    QFETCH(QString, code);
    QFETCH(QString, currency);
    QFETCH(QString, message);
    QFETCH(bool, canceled);
    SampleCopy data;
    TformTaxes w(data.iniPath(), data.db);
    w.gbtTaxList.open();
    const QStringList before = data.rows(allTaxes);
    const QStringList shownBefore = shownCodes(w);
    ModalDriver driver;
    driver.expect<TformNewTaxes>([&](TformNewTaxes* d) {
        d->eTaxCode->setText(code);
        d->eCurrencyCode->setText(currency);
        d->bSave->click();
    });
    driver.answer();
    QStringList kept;
    driver.expect<TformNewTaxes>([&](TformNewTaxes* d) {
        kept = {d->eTaxCode->text(), d->eCurrencyCode->text()};
        d->bCancel->click();
    });
    w.bNewClick();
    QVERIFY(driver.allAnswered());
    QCOMPARE(kept, (QStringList{code, currency})); // opened again with what was typed
    QCOMPARE(driver.messages.size(), 1);
    QVERIFY2(driver.messages[0].startsWith(message), qPrintable(driver.messages[0]));
    QCOMPARE(driver.messages[0].endsWith(ListWindow::CanceledSuffix), canceled);
    QCOMPARE(data.rows(allTaxes), before);
    QCOMPARE(shownCodes(w), shownBefore);
    QCOMPARE(w.gbtTaxList.state(), refdata::TableBrowser::State::Browsing);
    QVERIFY(driver.strays.isEmpty());
}

void TestTaxList::newOnEmptyList()
{
    SampleCopy data;
    data.exec(u"delete from APPLIED_TAXES"_s);
    TformTaxes w(data.iniPath(), data.db);
    w.gbtTaxList.open();
    QVERIFY(w.gbtTaxList.isEmpty());
    w.formNewTaxes->eTaxName->setText(u"LEFT OVER"_s);
    ModalDriver driver;
    QStringList shown;
    driver.expect<TformNewTaxes>([&](TformNewTaxes* d) {
        shown = {d->eTaxCode->text(), d->eTaxName->text(), d->eCurrencyCode->text(),
                 d->eCarrierCode->text(), d->eCountryCode->text()};
        d->bSave->click();
    });
    driver.answer();
    driver.expect<TformNewTaxes>([](TformNewTaxes* d) { d->bCancel->click(); });
    w.bNewClick();
    QVERIFY(driver.allAnswered());
    QCOMPARE(shown, QStringList(5));
    QCOMPARE(driver.messages, QStringList{TformTaxes::EmptyCodeMessage});
    QCOMPARE(data.rows(u"select count(*) from APPLIED_TAXES"_s), QStringList{u"0"_s});
    QVERIFY(driver.strays.isEmpty());
}

QTEST_MAIN(TestTaxList)
#include "test_taxlist.moc"
