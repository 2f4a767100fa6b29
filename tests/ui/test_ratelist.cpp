// The rate list on the sample database: the filter applied on opening and by Enter (a
// quote in a text included), the filter and position remembered, New with its date check
// and four-decimal rate, Edit, and Delete with its question.
#include "base/settings.h"
#include "listtestsupport.h"
#include "refdata/ui/rate.h"

#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QCheckBox>
#include <QRegularExpression>
#include <QStyleOptionViewItem>
#include <QTemporaryDir>

using namespace Qt::Literals::StringLiterals;
using namespace listtest;
using refdata::ui::ListWindow;

namespace {

// The grid's rows as "FROM TO CARRIER RATE" in the grid's order.
QStringList shownRates(TformRate& w)
{
    QStringList out;
    auto* m = w.RateGrid->model();
    for (int r = 0; r < m->rowCount(); ++r) {
        QStringList cells;
        for (const char16_t* f :
             {u"CURRENCY_FROM", u"CURRENCY_TO", u"CARRIER_CODE", u"RATE_AMOUNT"})
            cells.append(
                m->index(r, w.RateGrid->columnOf(QString::fromUtf16(f))).data().toString());
        out.append(cells.join(u' '));
    }
    return out;
}

const QString countRates = u"select count(*) from FARE_CURRENCY_RATE"_s;

} // namespace

class TestRateList : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void filter_data();
    void filter();
    void filterAndPositionRemembered();
    void dateCheck_data();
    void dateCheck();
    void newOnEmptyList();
    void refusedValues_data();
    void refusedValues();
    void editChangesTheRow();
    void fineInsertDate();
    void deleteRate_data();
    void deleteRate();
    void validityDrawing();
    void importFromAFile_data();
    void importFromAFile();
};

void TestRateList::filter_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("carrier");
    QTest::addColumn<QString>("condition");
    QTest::addColumn<QStringList>("rows"); // empty with count set: only the count checked
    QTest::addColumn<int>("count");

    QTest::newRow("initial texts, latest validity first")
        << u"USD"_s << u"RUB"_s << u"SU"_s
        << u" CURRENCY_FROM='USD' and CURRENCY_TO='RUB' and CARRIER_CODE='SU'"_s
        << QStringList{u"USD RUB SU 92.5000"_s, u"USD RUB SU 93.2500"_s, u"USD RUB SU 89.9000"_s}
        << 3;
    QTest::newRow("all empty: every rate")
        << QString() << QString() << QString() << QString() << QStringList() << 14;
    QTest::newRow("To alone ends in a blank")
        << QString() << u"RUB"_s << QString() << u"CURRENCY_TO='RUB' "_s << QStringList() << 12;
    QTest::newRow("Carrier alone")
        << QString() << QString() << u"LH"_s << u"CARRIER_CODE='LH'"_s
        << QStringList{u"EUR RUB LH 100.3500"_s, u"USD RUB LH 92.8000"_s} << 2;
    QTest::newRow("From and Carrier")
        << u"EUR"_s << QString() << u"SU"_s
        << u" CURRENCY_FROM='EUR' and CARRIER_CODE='SU'"_s
        // Equal validity: the key decides.
        << QStringList{u"EUR RUB SU 100.1500"_s, u"EUR USD SU 1.0827"_s, u"EUR RUB SU 97.4000"_s}
        << 3;
    QTest::newRow("a quote matches literally")
        << u"U'S"_s << u"'"_s << QString() << u" CURRENCY_FROM='U''S' and CURRENCY_TO=''''"_s
        << QStringList() << 0;
    QTest::newRow("a quote that would end the literal")
        << QString() << QString() << u"'"_s << u"CARRIER_CODE=''''"_s << QStringList() << 0;
}

// The list opens with the remembered texts applied; new texts and Enter filter again.
void TestRateList::filter()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, carrier);
    QFETCH(QString, condition);
    QFETCH(QStringList, rows);
    QFETCH(int, count);

    SampleCopy data;
    TformRate w(data.iniPath(), data.db);
    ModalDriver driver;
    QStringList opened, filtered;
    QString shownFilter;
    bool shownFiltered = false;
    driver.expect<TformRate>([&](TformRate* shown) {
        opened = shownRates(*shown);
        shown->eCurrencyFrom->setText(from);
        shown->eCurrencyTo->setText(to);
        shown->eCarrier->setText(carrier);
        QTest::keyClick(shown->eCarrier, Qt::Key_Return);
        filtered = shownRates(*shown);
        shownFilter = shown->gbtRates.Filter();
        shownFiltered = shown->gbtRates.Filtered();
        QTest::keyClick(shown, Qt::Key_Escape);
    });
    w.showList();
    QVERIFY(driver.allAnswered());
    QCOMPARE(opened, (QStringList{u"USD RUB SU 92.5000"_s, u"USD RUB SU 93.2500"_s,
                                  u"USD RUB SU 89.9000"_s}));
    QCOMPARE(shownFilter, condition);
    QVERIFY(shownFiltered);
    QCOMPARE(filtered.size(), count);
    if (!rows.isEmpty())
        QCOMPARE(filtered, rows);
    QCOMPARE(w.gbtRates.IndexFieldNames(), TformRate::RateOrder);
    QVERIFY(driver.strays.isEmpty()); // no message, even for a quote
}

void TestRateList::filterAndPositionRemembered()
{
    SampleCopy data;
    {
        TformRate w(data.iniPath(), data.db);
        ModalDriver driver;
        driver.expect<TformRate>([](TformRate* shown) {
            shown->eCurrencyFrom->setText(u"EUR"_s);
            shown->eCarrier->clear();
            shown->move(40, 50);
            shown->bClose->click();
        });
        w.showList();
        QVERIFY(driver.allAnswered());
    }
    const base::RateFilter stored = base::readRateFilter(data.iniPath());
    QCOMPARE(stored.from, u"EUR"_s);
    QCOMPARE(stored.to, u"RUB"_s);
    QCOMPARE(stored.carrier, QString());
    QCOMPARE(base::readWindowPosition(data.iniPath(), base::section::RateWindow, {}), QPoint(40, 50));

    TformRate again(data.iniPath(), data.db);
    QCOMPARE(again.pos(), QPoint(40, 50));
    QCOMPARE(again.eCurrencyFrom->text(), u"EUR"_s);
    QCOMPARE(again.eCurrencyTo->text(), u"RUB"_s);
    QCOMPARE(again.eCarrier->text(), QString());
    ModalDriver driver;
    int rows = -1;
    driver.expect<TformRate>([&](TformRate* shown) {
        rows = shown->RateGrid->model()->rowCount();
        shown->reject();
    });
    again.showList();
    QCOMPARE(rows, 4); // EUR to RUB of every carrier
}

void TestRateList::dateCheck_data()
{
    QTest::addColumn<int>("toAfterFrom"); // days from Valid From to Valid To
    QTest::addColumn<bool>("saved");
    QTest::newRow("same day saves") << 0 << true;
    QTest::newRow("a day later saves") << 1 << true;
    QTest::newRow("a day earlier is refused") << -1 << false;
}

// New from the current row (USD RUB SU): the dates checked, the rate rounded to four
// decimals, the list on its first row after the save.
void TestRateList::dateCheck()
{
    QFETCH(int, toAfterFrom);
    QFETCH(bool, saved);
    SampleCopy data;
    TformRate w(data.iniPath(), data.db);
    w.gbtRates.open();
    w.buttonFilterClick();
    w.gbtRates.last();
    const QDate from = QDate::currentDate().addDays(40);
    ModalDriver driver;
    QString shownRate;
    driver.expect<TformNewRate>([&](TformNewRate* d) {
        shownRate = d->eRateValue->text();
        d->eCarrier->setText(u"S7"_s);
        d->dtpValidFrom->setDate(from);
        d->dtpValidTo->setDate(from.addDays(toAfterFrom));
        d->eRateValue->setValue(95.123456);
        d->bSave->click();
    });
    QStringList retyped;
    if (!saved) {
        driver.answer();
        // Opened again with what was typed, to be corrected.
        driver.expect<TformNewRate>([&](TformNewRate* d) {
            retyped = {d->eCarrier->text(), d->dtpValidFrom->date().toString(Qt::ISODate),
                       d->eRateValue->text()};
            d->bCancel->click();
        });
    }
    w.bNewClick();
    QVERIFY(driver.allAnswered());
    QCOMPARE(shownRate, u"89.9000"_s);
    const QStringList stored = data.rows(
        u"select CURRENCY_FROM, CURRENCY_TO, RATE_AMOUNT, RATE_VALID_FROM, RATE_VALID_TO "
        u"from FARE_CURRENCY_RATE where CARRIER_CODE = 'S7' and RATE_VALID_FROM = '%1'"_s.arg(
            from.toString(Qt::ISODate)));
    if (saved) {
        QCOMPARE(driver.messages, QStringList());
        QCOMPARE(stored,
                 QStringList{u"USD|RUB|95.1235|%1|%2"_s.arg(
                     from.toString(Qt::ISODate), from.addDays(toAfterFrom).toString(Qt::ISODate))});
        QCOMPARE(w.gbtRates.currentIndex(), 0);
    } else {
        QCOMPARE(driver.messages, QStringList{TformRate::DateOrderMessage});
        QCOMPARE(retyped, (QStringList{u"S7"_s, from.toString(Qt::ISODate), u"95.1235"_s}));
        QCOMPARE(stored, QStringList());
        QCOMPARE(w.gbtRates.currentIndex(), 2);
    }
    QCOMPARE(w.formNewRate->windowTitle(), u"Currency Rate"_s);
    QVERIFY(driver.strays.isEmpty());
}

void TestRateList::newOnEmptyList()
{
    SampleCopy data;
    TformRate w(data.iniPath(), data.db);
    w.eCurrencyFrom->setText(u"XXX"_s);
    w.gbtRates.open();
    w.buttonFilterClick();
    QVERIFY(w.gbtRates.isEmpty());
    // The dialog keeps its last values; New overwrites every one of them.
    w.formNewRate->eCarrier->setText(u"LH"_s);
    w.formNewRate->eRateValue->setValue(3);
    w.formNewRate->dtpValidTo->setDate(QDate(2001, 1, 1));
    ModalDriver driver;
    QStringList shown;
    QDate fromDate, toDate;
    driver.expect<TformNewRate>([&](TformNewRate* d) {
        shown = {d->eCarrier->text(), d->eFromCurrency->text(), d->eToCurrency->text(),
                 d->eRateValue->text()};
        fromDate = d->dtpValidFrom->date();
        toDate = d->dtpValidTo->date();
        d->reject();
    });
    w.bNewClick();
    QVERIFY(driver.allAnswered());
    QCOMPARE(shown, QStringList(4));
    QCOMPARE(fromDate, QDate::currentDate());
    QCOMPARE(toDate, QDate::currentDate());
    QCOMPARE(data.rows(countRates), QStringList{u"14"_s});
}

void TestRateList::refusedValues_data()
{
    QTest::addColumn<QString>("carrier");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("rate"); // as typed
    QTest::addColumn<QString>("message");

    QTest::newRow("nothing typed") << QString() << QString() << QString() << QString()
                                   << TformRate::EmptyCarrierMessage;
    QTest::newRow("no FROM currency")
        << u"SU"_s << QString() << u"RUB"_s << u"93,55"_s << TformRate::EmptyFromMessage;
    QTest::newRow("no TO currency")
        << u"SU"_s << u"USD"_s << u" "_s << u"93,55"_s << TformRate::EmptyToMessage;
    QTest::newRow("rate 0") << u"SU"_s << u"USD"_s << u"RUB"_s << u"0,0000"_s
                            << TformRate::RateValueMessage;
    QTest::newRow("no rate") << u"SU"_s << u"USD"_s << u"RUB"_s << QString()
                             << TformRate::RateValueMessage;
}

// New on an empty list, Save with a value missing: the message names it, nothing is
// stored, and the dialog opens again with the typing kept; the value put right, Save
// stores the rate as typed (a comma is the decimal point).
void TestRateList::refusedValues()
{
    QFETCH(QString, carrier);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, rate);
    QFETCH(QString, message);
    SampleCopy data;
    data.exec(u"delete from FARE_CURRENCY_RATE"_s);
    TformRate w(data.iniPath(), data.db);
    w.gbtRates.open();
    QVERIFY(w.gbtRates.isEmpty());
    ModalDriver driver;
    driver.expect<TformNewRate>([&](TformNewRate* d) {
        QTest::keyClicks(d->eCarrier, carrier);
        QTest::keyClicks(d->eFromCurrency, from);
        QTest::keyClicks(d->eToCurrency, to);
        d->eRateValue->setFocus();
        QTest::keyClicks(d->eRateValue, rate);
        d->bSave->click();
    });
    driver.answer();
    QStringList kept;
    double keptRate = -1;
    driver.expect<TformNewRate>([&](TformNewRate* d) {
        kept = {d->eCarrier->text(), d->eFromCurrency->text(), d->eToCurrency->text()};
        keptRate = d->eRateValue->value();
        for (QLineEdit* e : {d->eCarrier, d->eFromCurrency, d->eToCurrency})
            e->setText(e->text().trimmed());
        if (d->eCarrier->text().isEmpty())
            d->eCarrier->setText(u"SU"_s);
        if (d->eFromCurrency->text().isEmpty())
            d->eFromCurrency->setText(u"USD"_s);
        if (d->eToCurrency->text().isEmpty())
            d->eToCurrency->setText(u"RUB"_s);
        d->eRateValue->setFocus();
        d->eRateValue->clear();
        QTest::keyClicks(d->eRateValue, u"92,8"_s);
        d->bSave->click();
    });
    w.bNewClick();
    QVERIFY(driver.allAnswered());
    QCOMPARE(driver.messages, QStringList{message});
    QCOMPARE(kept, (QStringList{carrier, from, to}));
    QCOMPARE(keptRate, QString(rate).replace(u',', u'.').toDouble());
    QCOMPARE(data.rows(u"select CARRIER_CODE, CURRENCY_FROM, CURRENCY_TO, RATE_AMOUNT "
                       u"from FARE_CURRENCY_RATE"_s),
             QStringList{u"SU|USD|RUB|92.8"_s});
    QVERIFY(driver.strays.isEmpty());
}

void TestRateList::editChangesTheRow()
{
    SampleCopy data;
    TformRate w(data.iniPath(), data.db);
    w.gbtRates.open();
    w.buttonFilterClick();
    w.gbtRates.next(); // 93.25, valid from two days ago to five days ahead
    const QString id = w.gbtRates.text(u"RATE_IDENTIFICATOR"_s);
    ModalDriver driver;
    QDate fromDate;
    driver.expect<TformNewRate>([&](TformNewRate* d) {
        fromDate = d->dtpValidFrom->date();
        d->eRateValue->setValue(93.3);
        d->bSave->click();
    });
    w.bEdirClick();
    QVERIFY(driver.allAnswered());
    QCOMPARE(fromDate, QDate::currentDate().addDays(-2));
    QCOMPARE(data.rows(u"select RATE_AMOUNT, RATE_VALID_TO from FARE_CURRENCY_RATE where "
                       u"RATE_IDENTIFICATOR = "_s +
                       id),
             QStringList{u"93.3|"_s + QDate::currentDate().addDays(5).toString(Qt::ISODate)});
    QCOMPARE(w.gbtRates.text(u"RATE_IDENTIFICATOR"_s), id);
    QCOMPARE(data.rows(countRates), QStringList{u"14"_s});
    QVERIFY(driver.strays.isEmpty());
}

// A rate written by another tool, its insert date finer than a millisecond: Edit saves
// it with that date untouched, and Delete removes it.
void TestRateList::fineInsertDate()
{
    SampleCopy data;
    TformRate w(data.iniPath(), data.db);
    w.gbtRates.open();
    w.buttonFilterClick();
    const QString id = w.gbtRates.text(u"RATE_IDENTIFICATOR"_s);
    const QString where = u" where RATE_IDENTIFICATOR = "_s + id;
    const QString byId = u" from FARE_CURRENCY_RATE"_s + where;
    data.exec(u"update FARE_CURRENCY_RATE set RATE_INSERT_DATE = '2024-01-01 10:00:00.1234'"_s +
              where);
    w.gbtRates.refresh();
    ModalDriver driver;
    driver.expect<TformNewRate>([&](TformNewRate* d) {
        d->eRateValue->setValue(91.5);
        d->bSave->click();
    });
    w.bEdirClick();
    QVERIFY(driver.allAnswered());
    QCOMPARE(driver.messages, QStringList());
    QCOMPARE(data.rows(u"select RATE_AMOUNT, cast(RATE_INSERT_DATE as varchar(24))"_s + byId),
             QStringList{u"91.5|2024-01-01 10:00:00.1234"_s});

    driver.expect<QMessageBox>(
        [](QMessageBox* box) { box->button(QMessageBox::Ok)->click(); });
    w.bDelete->click();
    QVERIFY(driver.allAnswered());
    QCOMPARE(driver.messages, QStringList());
    QCOMPARE(data.rows(u"select count(*)"_s + byId), QStringList{u"0"_s});
    QCOMPARE(data.rows(countRates), QStringList{u"13"_s});
    QVERIFY(driver.strays.isEmpty());
}

void TestRateList::deleteRate_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("locked"); // another user holds the row
    QTest::addColumn<int>("left");
    QTest::addColumn<QString>("failure");
    QTest::newRow("Cancel") << u"cancel"_s << false << 14 << QString();
    QTest::newRow("Enter answers the default, Cancel") << u"enter"_s << false << 14 << QString();
    QTest::newRow("OK") << u"ok"_s << false << 13 << QString();
    QTest::newRow("OK on a locked row")
        << u"ok"_s << true << 14
        << refdata::TableBrowser::LockedMessage + ListWindow::CanceledSuffix;
}

void TestRateList::deleteRate()
{
    QFETCH(QString, answer);
    QFETCH(bool, locked);
    QFETCH(int, left);
    QFETCH(QString, failure);
    SampleCopy data;
    TformRate w(data.iniPath(), data.db);
    w.gbtRates.open();
    w.buttonFilterClick();
    if (locked)
        data.lock(u"update FARE_CURRENCY_RATE set RATE_AMOUNT = 1 where RATE_IDENTIFICATOR = "_s +
                  w.gbtRates.text(u"RATE_IDENTIFICATOR"_s));
    ModalDriver driver;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString question;
    driver.expect<QMessageBox>([&](QMessageBox* box) {
        title = box->windowTitle();
        icon = box->icon();
        question = box->text();
        if (answer == u"enter")
            QTest::keyClick(box, Qt::Key_Return);
        else
            box->button(answer == u"ok" ? QMessageBox::Ok : QMessageBox::Cancel)->click();
    });
    if (!failure.isEmpty())
        driver.answer();
    w.bDelete->click();
    QVERIFY(driver.allAnswered());
    QCOMPARE(question, TformRate::DeleteQuestion);
    QCOMPARE(title, u"Currency Rate"_s);
    QCOMPARE(icon, QMessageBox::Information);
    QCOMPARE(driver.messages, failure.isEmpty() ? QStringList() : QStringList{failure});
    if (locked)
        data.release();
    QCOMPARE(data.rows(countRates), QStringList{QString::number(left)});
    QCOMPARE(w.RateGrid->model()->rowCount(), left == 14 ? 3 : 2);
    QCOMPARE(w.gbtRates.state(), refdata::TableBrowser::State::Browsing);
    QVERIFY(driver.strays.isEmpty());
}

QTEST_MAIN(TestRateList)
#include "test_ratelist.moc"

// Each row drawn by where its rate stands today, in the grid's own palette: a dark one too.
void TestRateList::validityDrawing()
{
    SampleCopy data;
    const QString insert = u"insert into FARE_CURRENCY_RATE (CURRENCY_FROM, CURRENCY_TO, "
                           u"CARRIER_CODE, RATE_AMOUNT, RATE_VALID_FROM, RATE_VALID_TO) values "
                           u"('USD', 'RUB', 'SU', %1)"_s;
    data.exec(insert.arg(u"94.1, CURRENT_DATE + 1, CURRENT_DATE + 9"_s));
    data.exec(insert.arg(u"95.7, CURRENT_DATE - 1, null"_s));
    TformRate w(data.iniPath(), data.db);
    ModalDriver driver;
    QPalette dark;
    dark.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));
    dark.setColor(QPalette::Text, QColor(0xe0, 0xe0, 0xe0));
    dark.setColor(QPalette::Disabled, QPalette::Text, QColor(0x70, 0x70, 0x70));
    struct Drawn {
        bool bold, italic;
        QColor text;
        QString tip;
        bool boldDate;
    };
    QHash<QString, Drawn> light, inDark;
    bool delegateInstalled = false;
    driver.expect<TformRate>([&](TformRate* shown) {
        auto* grid = shown->RateGrid;
        delegateInstalled = grid->itemDelegate() == shown->RateValidity;
        auto* m = grid->model();
        const int rateColumn = grid->columnOf(u"RATE_AMOUNT"_s);
        const int dateColumn = grid->columnOf(u"RATE_VALID_TO"_s);
        for (auto* drawn : {&light, &inDark}) {
            if (drawn == &inDark)
                grid->setPalette(dark);
            for (int r = 0; r < m->rowCount(); ++r) {
                const QModelIndex cell = m->index(r, rateColumn);
                QStyleOptionViewItem option;
                option.palette = grid->palette();
                option.font = grid->font();
                shown->RateValidity->styleOption(&option, cell);
                QStyleOptionViewItem dateOption;
                dateOption.font = grid->font();
                shown->RateValidity->styleOption(&dateOption, m->index(r, dateColumn));
                (*drawn)[cell.data().toString()] = {
                    option.font.bold(), option.font.italic(),
                    option.palette.color(QPalette::Text),
                    refdata::rateValidityText(shown->RateValidity->validityOf(cell)),
                    dateOption.font.bold()};
            }
        }
        QTest::keyClick(shown, Qt::Key_Escape);
    });
    w.showList();
    QVERIFY(driver.allAnswered());
    QVERIFY(delegateInstalled);
    QCOMPARE(light.size(), 5);

    const QColor normal = QPalette().color(QPalette::Text);
    const QColor greyed = QPalette().color(QPalette::Disabled, QPalette::Text);
    QVERIFY(normal != greyed);
    // rate, bold, italic, greyed, tooltip's first words
    const std::tuple<QString, bool, bool, bool, QString> expected[] = {
        {u"92.5000"_s, true, false, false, u"Valid today"_s},
        {u"93.2500"_s, true, false, false, u"Valid today"_s},
        {u"94.1000"_s, false, true, false, u"Not valid yet"_s},
        {u"89.9000"_s, false, false, true, u"Period ended"_s},
        {u"95.7000"_s, false, false, false, u"A day of its period is missing"_s},
    };
    for (const auto& [rate, bold, italic, grey, tip] : expected) {
        QVERIFY2(light.contains(rate), qPrintable(rate));
        const Drawn& d = light[rate];
        QCOMPARE(d.bold, bold);
        QVERIFY(!d.boldDate); // a bold date no longer fits its column
        QCOMPARE(d.italic, italic);
        QCOMPARE(d.text, grey ? greyed : normal);
        QVERIFY2(d.tip.startsWith(tip), qPrintable(d.tip));
        QCOMPARE(inDark[rate].text, grey ? dark.color(QPalette::Disabled, QPalette::Text)
                                         : dark.color(QPalette::Text));
    }
}

void TestRateList::importFromAFile_data()
{
    QTest::addColumn<QByteArray>("rows");   // after the header
    QTest::addColumn<bool>("write");        // OK in the question (false: Cancel)
    QTest::addColumn<bool>("replace");      // the question's check box
    QTest::addColumn<QStringList>("boxes"); // the texts shown, in turn ("*" ends a prefix)
    QTest::addColumn<int>("added");         // rates of BA afterwards, beyond the sample's

    const QByteArray two = "USD,RUB,BA,92.5,2027-01-01,2027-01-31\n"
                           "USD,RUB,BA,\"93,25\",01.02.2027,28.02.2027\n";
    const QString question = u"2 rates to write:\n  USD RUB BA 92.5000 01.01.2027 31.01.2027\n"
                             u"  USD RUB BA 93.2500 01.02.2027 28.02.2027\n\nWrite them?"_s;
    QTest::newRow("written after OK")
        << two << true << false << QStringList{question, u"Wrote 2 rates."_s} << 2;
    QTest::newRow("Cancel writes nothing") << two << false << false << QStringList{question} << 0;
    QTest::newRow("a bad row: nothing written, its line named")
        << QByteArray(two + "USD,RUB,BA,0,2027-03-01,2027-03-31\n") << true << false
        << QStringList{u"rates.csv, line 4, column RATE: \"0\" is no rate greater than 0\n\n"
                       u"Nothing was written: mend the file and import it again."_s}
        << 0;
    // The sample's BA rate is valid today: a row over today overlaps it.
    const QByteArray today = QDate::currentDate().toString(u"yyyy-MM-dd"_s).toLatin1();
    const QByteArray overToday = "GBP,RUB,BA,117.4," + today + "," + today + "\n";
    const QString overlapQuestion =
        u"1 rate to write:\n  GBP RUB BA 117.4000*rates.csv, line 2: overlaps the stored rate*"_s;
    QTest::newRow("an overlap without Replace")
        << overToday << true << false
        << QStringList{overlapQuestion, u"Nothing was written: rows overlap stored rates.*"_s} << 0;
    QTest::newRow("an overlap replaced")
        << overToday << true << true
        << QStringList{overlapQuestion, u"Wrote 1 rate in place of 1 stored rate."_s} << 0;
}

// Import...: the file checked whole, the rates listed and written on OK, in one transaction.
void TestRateList::importFromAFile()
{
    QFETCH(QByteArray, rows);
    QFETCH(bool, write);
    QFETCH(bool, replace);
    QFETCH(QStringList, boxes);
    QFETCH(int, added);

    SampleCopy data;
    const QString ba = u"select RATE_AMOUNT from FARE_CURRENCY_RATE where CARRIER_CODE = 'BA' "
                       u"order by 1"_s;
    const QStringList before = data.rows(ba);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"rates.csv"_s);
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("FROM,TO,CARRIER,RATE,VALID_FROM,VALID_TO\n" + rows);
    }
    TformRate w(data.iniPath(), data.db);
    w.chooseImportFile = [&](QWidget*) { return path; };
    ModalDriver driver;
    QStringList shown;
    bool checkBox = false;
    driver.expect<TformRate>([&](TformRate* list) {
        // Clicked from the list's own loop, so that the driver answers its boxes meanwhile.
        QTimer::singleShot(0, list, [list] {
            QTest::mouseClick(list->bImport, Qt::LeftButton);
            QTest::keyClick(list, Qt::Key_Escape);
        });
    });
    for (int i = 0; i < boxes.size(); ++i) {
        driver.expect<QMessageBox>([&](QMessageBox* box) {
            shown << box->text();
            const bool isQuestion = box->icon() == QMessageBox::Question;
            if (box->checkBox()) {
                checkBox = true;
                box->checkBox()->setChecked(replace);
            }
            box->button(isQuestion && !write ? QMessageBox::Cancel : QMessageBox::Ok)->click();
        });
    }
    w.showList();
    QVERIFY(driver.allAnswered());
    QVERIFY(driver.strays.isEmpty());
    QCOMPARE(shown.size(), boxes.size());
    for (int i = 0; i < boxes.size(); ++i) {
        // "*" stands for any text between the pieces.
        QString pattern = QRegularExpression::escape(boxes[i]);
        pattern.replace(u"\\*"_s, u".*"_s);
        QVERIFY2(QRegularExpression(u"^"_s + pattern + u"$"_s,
                                    QRegularExpression::DotMatchesEverythingOption)
                     .match(shown[i])
                     .hasMatch(),
                 qPrintable(shown[i]));
    }
    const QStringList after = data.rows(ba);
    const bool overlap = boxes.value(0).contains(u"overlaps"_s);
    QCOMPARE(checkBox, overlap);
    if (overlap && replace) {
        QCOMPARE(after.size(), before.size()); // in place of the stored one
        QVERIFY(after.contains(u"117.4"_s));
        QVERIFY(after != before);
    } else {
        QCOMPARE(after.size(), before.size() + added);
        if (added == 0)
            QCOMPARE(after, before);
    }
}
