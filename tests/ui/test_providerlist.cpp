// The carrier list on the sample database: the digit code shown as "000" and stored
// without leading zeros, a stored digit that is no number, an empty or duplicate code
// (refused with the server's text), and the list on its first row after a save.
#include "listtestsupport.h"
#include "refdata/ui/provider.h"

#include <QLineEdit>
#include <QPushButton>

using namespace Qt::Literals::StringLiterals;
using namespace listtest;
using refdata::ui::ListWindow;

namespace {
const QString digitOfSu =
    u"select CARRIER_DIGIT_CODE from VALIDATING_CARRIER where CARRIER_CODE = 'SU'"_s;
}

class TestProviderList : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void digit_data();
    void digit();
    void digitNotANumber();
    void refused_data();
    void refused();
};

void TestProviderList::digit_data()
{
    QTest::addColumn<QString>("before"); // the stored digit code
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("typed"); // null: left as shown
    QTest::addColumn<QString>("after");

    QTest::newRow("55 shown 055, stored 55") << u"55"_s << u"055"_s << QString() << u"55"_s;
    QTest::newRow("three digits") << u"555"_s << u"555"_s << QString() << u"555"_s;
    QTest::newRow("leading zeros dropped") << u"057"_s << u"057"_s << QString() << u"57"_s;
    QTest::newRow("empty stays empty") << QString() << QString() << QString() << QString();
    QTest::newRow("typed 55") << u"555"_s << u"555"_s << u"55"_s << u"55"_s;
    QTest::newRow("typed 0 is stored empty") << u"555"_s << u"555"_s << u"0"_s << QString();
    QTest::newRow("typed 007") << u"555"_s << u"555"_s << u"007"_s << u"7"_s;
}

// Edit of SU: the digit as the field shows it, then as stored; the list on its first row.
void TestProviderList::digit()
{
    QFETCH(QString, before);
    QFETCH(QString, shown);
    QFETCH(QString, typed);
    QFETCH(QString, after);
    SampleCopy data;
    data.exec(
        u"update VALIDATING_CARRIER set CARRIER_DIGIT_CODE = '%1' where CARRIER_CODE = 'SU'"_s.arg(
            before));
    TformProvider w(data.iniPath(), data.db);
    w.gbtProvider.open();
    w.gbtProvider.last();
    while (w.gbtProvider.text(u"CARRIER_CODE"_s) != u"SU")
        QVERIFY(w.gbtProvider.prior());
    ModalDriver driver;
    QString shownText;
    driver.expect<TformProviderNew>([&](TformProviderNew* d) {
        shownText = d->eProviderDigit->text();
        if (!typed.isNull()) {
            d->eProviderDigit->clear();
            QTest::keyClicks(d->eProviderDigit, typed);
        }
        d->bSave->click();
    });
    w.bEditClick();
    QVERIFY(driver.allAnswered());
    QCOMPARE(shownText, shown);
    QCOMPARE(data.rows(digitOfSu), QStringList{after});
    QCOMPARE(w.gbtProvider.currentIndex(), 0);
    QCOMPARE(w.gbtProvider.text(u"CARRIER_CODE"_s), u"AF"_s);
    QVERIFY(driver.strays.isEmpty());
}

// A digit code that is no number stops New before the dialog shows, through the error
// report; the title is set back.
void TestProviderList::digitNotANumber()
{
    SampleCopy data;
    data.exec(
        u"update VALIDATING_CARRIER set CARRIER_DIGIT_CODE = '12A' where CARRIER_CODE = 'AF'"_s);
    TformProvider w(data.iniPath(), data.db);
    w.gbtProvider.open();
    ModalDriver driver;
    driver.answer();
    w.bNewClick();
    QVERIFY(driver.allAnswered());
    QCOMPARE(driver.messages, QStringList{u"'12A' is not a valid integer value"_s});
    QCOMPARE(driver.icons.value(0), QMessageBox::Critical);
    QCOMPARE(driver.titles, QStringList{u"SPR Rate"_s}); // the program's one caption
    QCOMPARE(w.formProviderNew->windowTitle(), u"New or Modify Provider"_s);
    QVERIFY(driver.strays.isEmpty()); // the dialog never showed
}

void TestProviderList::refused_data()
{
    QTest::addColumn<bool>("isNew");
    QTest::addColumn<QString>("code");    // null: the current row's code left as it is
    QTest::addColumn<QString>("message"); // how the message begins
    QTest::addColumn<bool>("canceled");   // the message ends in " Operation canceled"

    QTest::newRow("new with the current code")
        << true << QString() << u"violation of PRIMARY or UNIQUE KEY"_s << true;
    QTest::newRow("edit to a code that exists")
        << false << u"SU"_s << u"violation of PRIMARY or UNIQUE KEY"_s << true;
    QTest::newRow("empty code") << true << u""_s << TformProvider::EmptyCodeMessage << false;
}

// A refused save changes nothing and says so: the duplicate with the server's text and
// " Operation canceled", an empty code with its own message.
void TestProviderList::refused()
{
    QFETCH(bool, isNew);
    QFETCH(QString, code);
    QFETCH(QString, message);
    QFETCH(bool, canceled);
    SampleCopy data;
    TformProvider w(data.iniPath(), data.db);
    w.gbtProvider.open();
    const QString table = u"select * from VALIDATING_CARRIER order by CARRIER_CODE"_s;
    const QStringList before = data.rows(table);
    ModalDriver driver;
    driver.expect<TformProviderNew>([&](TformProviderNew* d) {
        if (!code.isNull())
            d->eProviderCode->setText(code);
        d->eProviderName->setText(u"CHANGED"_s);
        d->bSave->click();
    });
    driver.answer();
    QString kept;
    driver.expect<TformProviderNew>([&](TformProviderNew* d) {
        kept = d->eProviderName->text();
        d->bCancel->click();
    });
    (isNew ? w.bNew : w.bEdit)->click();
    QVERIFY(driver.allAnswered());
    QCOMPARE(kept, u"CHANGED"_s); // opened again with what was typed
    QCOMPARE(driver.messages.size(), 1);
    QVERIFY2(driver.messages[0].startsWith(message), qPrintable(driver.messages[0]));
    QCOMPARE(driver.messages[0].endsWith(ListWindow::CanceledSuffix), canceled);
    QCOMPARE(data.rows(table), before);
    QCOMPARE(w.gbtProvider.state(), refdata::TableBrowser::State::Browsing);
    QVERIFY(driver.strays.isEmpty());
}

QTEST_MAIN(TestProviderList)
#include "test_providerlist.moc"
