// What the four list windows share, as one table over the windows: their design (titles,
// sizes, positions, tab order, grid columns), the position remembered across a close and
// a new start, opening and closing the browser with the list, Ctrl+Delete, the title
// suffixes of New and Edit, and a save refused by a row that another user holds.
#include "listtestsupport.h"
#include "refdata/ui/currency.h"
#include "refdata/ui/provider.h"
#include "refdata/ui/rate.h"
#include "refdata/ui/taxes.h"

#include <QHeaderView>
#include <QPushButton>
#include <QToolButton>

using namespace Qt::Literals::StringLiterals;
using namespace listtest;
using refdata::ui::BrowserGrid;
using refdata::ui::EditDialog;
using refdata::ui::ListWindow;

namespace {

enum class Kind { Rate, Currency, Provider, Taxes };

std::unique_ptr<ListWindow> makeWindow(Kind kind, const QString& ini,
                                       refdata::ReferenceDatabase& db)
{
    switch (kind) {
    case Kind::Rate:
        return std::make_unique<TformRate>(ini, db);
    case Kind::Currency:
        return std::make_unique<TformCurrency>(ini, db);
    case Kind::Provider:
        return std::make_unique<TformProvider>(ini, db);
    case Kind::Taxes:
        return std::make_unique<TformTaxes>(ini, db);
    }
    return {};
}

EditDialog* dialogOf(ListWindow& w)
{
    return w.findChild<EditDialog*>();
}

// The names of the focusable controls in tab order, from the first one.
QStringList tabChain(QWidget* first, int count)
{
    QStringList out;
    QWidget* w = first;
    while (w && out.size() < count) {
        if ((w->focusPolicy() & Qt::TabFocus) && !w->objectName().isEmpty() &&
            !w->objectName().startsWith(u"qt_"))
            out.append(w->objectName());
        w = w->nextInFocusChain();
        if (w == first)
            break;
    }
    return out;
}

// The grid's columns as "field:title:width" in the grid's order.
QStringList gridLayout(BrowserGrid& grid)
{
    QStringList out;
    for (const QString& f : grid.shownFields()) {
        const int c = grid.columnOf(f);
        out.append(u"%1:%2:%3"_s.arg(f, grid.model()->headerData(c, Qt::Horizontal).toString(),
                                     QString::number(grid.horizontalHeader()->sectionSize(c))));
    }
    return out;
}

} // namespace

Q_DECLARE_METATYPE(Kind)

class TestListWindows : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void design_data();
    void design();
    void positionRemembered_data();
    void positionRemembered();
    void ctrlDelete_data();
    void ctrlDelete();
    void titleSuffix_data();
    void titleSuffix();
    void lockedRowRefused_data();
    void lockedRowRefused();
    void openErrorRaised();
    void navigatorAndKeys();
};

void TestListWindows::design_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("position");
    QTest::addColumn<QStringList>("tabOrder");
    QTest::addColumn<QStringList>("columns"); // width 0: the grid's default
    QTest::addColumn<QString>("dialogTitle");
    QTest::addColumn<QSize>("dialogSize");
    QTest::addColumn<QPoint>("dialogPosition");
    QTest::addColumn<QStringList>("dialogTabOrder");

    QTest::newRow("rate") << Kind::Rate << u"Currency Rate"_s << QSize(426, 288) << QPoint(264, 206)
                          << QStringList{u"eCurrencyFrom"_s, u"eCurrencyTo"_s, u"eCarrier"_s,
                                         u"buttonFilter"_s,  u"RateGrid"_s,    u"bNew"_s,
                                         u"bEdir"_s,         u"bDelete"_s,     u"bImport"_s,
                                         u"bClose"_s}
                          << QStringList{u"RATE_VALID_FROM:Valid From:70"_s,
                                         u"RATE_VALID_TO:Valid To:70"_s,
                                         u"CARRIER_CODE:Carr:30"_s,
                                         u"CURRENCY_FROM:FROM:40"_s,
                                         u"CURRENCY_TO:TO:40"_s,
                                         u"RATE_AMOUNT:RATE:100"_s}
                          << u"Currency Rate"_s << QSize(283, 154) << QPoint(212, 140)
                          << QStringList{u"eCarrier"_s,      u"dtpValidFrom"_s, u"dtpValidTo"_s,
                                         u"eFromCurrency"_s, u"eToCurrency"_s,  u"eRateValue"_s,
                                         u"bSave"_s,         u"bCancel"_s};
    QTest::newRow("currency")
        << Kind::Currency << u"Available Currency"_s << QSize(515, 255) << QPoint(239, 262)
        << QStringList{u"CurrencyGrid"_s, u"bEdit"_s, u"bNew"_s, u"Button3"_s}
        << QStringList{u"CURRENCY_CODE:CODE:0"_s, u"CURRENCY_NAME:NAME:144"_s,
                       u"CURRENCY_FARE_RULE:FARE RULE:131"_s, u"CURRENCY_TAX_RULE:TAX RULE:126"_s}
        << u"New or Modify Currency"_s << QSize(250, 192) << QPoint(233, 234)
        << QStringList{u"eCurrencyCode"_s, u"eCurrencyName"_s, u"eFareRule"_s, u"CheckFareRule"_s,
                       u"eTaxRule"_s,      u"eCheckTaxRule"_s, u"bSave"_s,     u"bCancel"_s};
    QTest::newRow("provider")
        << Kind::Provider << u"Provider (Validating Carrier)"_s << QSize(393, 281)
        << QPoint(212, 140) << QStringList{u"ProviderGrid"_s, u"bNew"_s, u"bEdit"_s, u"Button3"_s}
        << QStringList{u"CARRIER_CODE:CODE:38"_s, u"CARRIER_NAME:PROVIDER NAME:189"_s,
                       u"CARRIER_DIGIT_CODE:DIGIT:46"_s, u"CARRIER_EQUIV_CURRENCY:Equiv:47"_s}
        << u"New or Modify Provider"_s << QSize(291, 104) << QPoint(220, 169)
        << QStringList{u"eProviderName"_s,  u"eProviderCode"_s, u"eProviderDigit"_s,
                       u"eEquivCurrency"_s, u"bSave"_s,         u"bCancel"_s};
    QTest::newRow("taxes") << Kind::Taxes << u"Available Taxes"_s << QSize(515, 255)
                           << QPoint(239, 262)
                           << QStringList{u"CurrencyGrid"_s, u"bEdit"_s, u"bNew"_s, u"Button3"_s}
                           << QStringList{u"TAX_CODE:Code:35"_s, u"TAX_NAME:Name:239"_s,
                                          u"CURRENCY_CODE:Currency:54"_s,
                                          u"CARRIER_CODE:Carrier:51"_s,
                                          u"COUNTRY_CODE:Country:54"_s}
                           << u"TAX information"_s << QSize(250, 154) << QPoint(233, 234)
                           << QStringList{u"eTaxCode"_s,     u"eTaxName"_s,     u"eCurrencyCode"_s,
                                          u"eCarrierCode"_s, u"eCountryCode"_s, u"bSave"_s,
                                          u"bCancel"_s};
}

void TestListWindows::design()
{
    QFETCH(Kind, kind);
    QFETCH(QString, title);
    QFETCH(QSize, size);
    QFETCH(QPoint, position);
    QFETCH(QStringList, tabOrder);
    QFETCH(QStringList, columns);
    QFETCH(QString, dialogTitle);
    QFETCH(QSize, dialogSize);
    QFETCH(QPoint, dialogPosition);
    QFETCH(QStringList, dialogTabOrder);

    SampleCopy data;
    auto w = makeWindow(kind, data.iniPath(), data.db);
    QCOMPARE(w->windowTitle(), title);
    QCOMPARE(w->size(), size);
    QCOMPARE(w->minimumSize(), w->maximumSize());
    QCOMPARE(w->pos(), position);
    QCOMPARE(tabChain(w->findChild<QWidget*>(tabOrder.first()), int(tabOrder.size())), tabOrder);

    w->browser().open();
    BrowserGrid& grid = w->grid();
    QCOMPARE(grid.editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(grid.selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(grid.model()->headerData(0, Qt::Horizontal, Qt::TextAlignmentRole).toInt(),
             int(Qt::AlignCenter));
    QStringList shown = gridLayout(grid);
    for (int i = 0; i < columns.size(); ++i) {
        if (columns[i].endsWith(u":0")) { // the default width: some width that fits the title
            QVERIFY(!shown[i].endsWith(u":0"));
            shown[i] = shown[i].section(u':', 0, 1) + u":0"_s;
        }
    }
    QCOMPARE(shown, columns);

    EditDialog* d = dialogOf(*w);
    QVERIFY(d);
    QCOMPARE(d->windowTitle(), dialogTitle);
    QCOMPARE(d->size(), dialogSize);
    QCOMPARE(d->pos(), dialogPosition);
    QVERIFY(d->bSave->isDefault());
    QCOMPARE(tabChain(d->findChild<QWidget*>(dialogTabOrder.first()), int(dialogTabOrder.size())),
             dialogTabOrder);
}

void TestListWindows::positionRemembered_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("section");
    QTest::newRow("rate") << Kind::Rate << u"RATEWINDOW"_s;
    QTest::newRow("currency") << Kind::Currency << u"CURRENCYWINDOW"_s;
    QTest::newRow("provider") << Kind::Provider << u"PROVIDERWINDOW"_s;
    QTest::newRow("taxes") << Kind::Taxes << u"TAXWINDOW"_s;
}

// The list is shown by showList with its browser open, closed by Esc; the position is in
// the file and the next window starts there; the browser is closed again.
void TestListWindows::positionRemembered()
{
    QFETCH(Kind, kind);
    QFETCH(QString, section);
    SampleCopy data;
    {
        auto w = makeWindow(kind, data.iniPath(), data.db);
        ModalDriver driver;
        int rows = -1;
        driver.expect<ListWindow>([&](ListWindow* shown) {
            rows = shown->grid().model()->rowCount();
            shown->move(301, 123);
            QTest::keyClick(shown, Qt::Key_Escape);
        });
        w->showList();
        QVERIFY(driver.allAnswered());
        QVERIFY(rows > 0);
        QVERIFY(!w->browser().isOpen());
        QVERIFY(driver.strays.isEmpty());
    }
    QSettings ini(data.iniPath(), QSettings::IniFormat);
    QCOMPARE(ini.value(section + u"/LEFT"_s).toInt(), 301);
    QCOMPARE(ini.value(section + u"/TOP"_s).toInt(), 123);
    auto again = makeWindow(kind, data.iniPath(), data.db);
    QCOMPARE(again->pos(), QPoint(301, 123));

    // A place that no screen shows any more opens the window at its designed place.
    const QPoint designed = makeWindow(kind, data.iniPath() + u".none"_s, data.db)->pos();
    ini.setValue(section + u"/LEFT"_s, 5000);
    ini.setValue(section + u"/TOP"_s, 4000);
    ini.sync();
    QCOMPARE(makeWindow(kind, data.iniPath(), data.db)->pos(), designed);
}

void TestListWindows::ctrlDelete_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("count"); // counts the rows of the current row's key
    QTest::addColumn<QString>("key");   // the current row's key column
    QTest::addColumn<QString>("answer"); // OK, Cancel, or Enter (the default button)
    const struct {
        const char* name;
        Kind kind;
        const char16_t* table;
        const char16_t* key;
    } windows[] = {{"rate", Kind::Rate, u"FARE_CURRENCY_RATE", u"RATE_IDENTIFICATOR"},
                   {"currency", Kind::Currency, u"FARE_CURRENCY", u"CURRENCY_CODE"},
                   {"provider", Kind::Provider, u"VALIDATING_CARRIER", u"CARRIER_CODE"},
                   {"taxes", Kind::Taxes, u"APPLIED_TAXES", u"TAXID"}};
    for (const auto& w : windows) {
        for (const char* answer : {"OK", "Cancel", "Enter"}) {
            const QString sql = u"select count(*) from %1 where %2 = '%3'"_s.arg(
                QString::fromUtf16(w.table), QString::fromUtf16(w.key));
            QTest::addRow("%s %s", w.name, answer)
                << w.kind << sql << QString::fromUtf16(w.key) << QString::fromLatin1(answer);
        }
    }
}

// Ctrl+Delete in the grid asks "Delete record?"; OK deletes the current row, Cancel
// nothing, and so does Enter: Cancel is the default. The currency list stands on a
// currency no tax refers to.
void TestListWindows::ctrlDelete()
{
    QFETCH(Kind, kind);
    QFETCH(QString, count);
    QFETCH(QString, key);
    QFETCH(QString, answer);
    const bool ok = answer == u"OK";
    SampleCopy data;
    auto w = makeWindow(kind, data.iniPath(), data.db);
    w->browser().open();
    if (kind == Kind::Currency) {
        while (w->browser().text(key) != u"CHF" && w->browser().next()) {
        }
    }
    const QString current = w->browser().text(key);
    QCOMPARE(data.rows(count.arg(current)), QStringList{u"1"_s});
    const int rows = w->grid().model()->rowCount();

    ModalDriver driver;
    QString question;
    driver.expect<QMessageBox>([&](QMessageBox* box) {
        question = box->text();
        if (answer == u"Enter")
            QTest::keyClick(box, Qt::Key_Return);
        else
            box->button(ok ? QMessageBox::Ok : QMessageBox::Cancel)->click();
    });
    QTest::keyClick(&w->grid(), Qt::Key_Delete, Qt::ControlModifier);
    QVERIFY(driver.allAnswered());
    QCOMPARE(question, BrowserGrid::DeleteQuestion);
    QCOMPARE(data.rows(count.arg(current)), QStringList{ok ? u"0"_s : u"1"_s});
    QCOMPARE(w->grid().model()->rowCount(), ok ? rows - 1 : rows);
    QVERIFY(driver.strays.isEmpty());
}

void TestListWindows::titleSuffix_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<bool>("isNew");
    for (auto [name, kind] : {std::pair{"rate", Kind::Rate},
                              {"currency", Kind::Currency},
                              {"provider", Kind::Provider},
                              {"taxes", Kind::Taxes}}) {
        QTest::addRow("%s New", name) << kind << true;
        QTest::addRow("%s Edit", name) << kind << false;
    }
}

// The title carries " (New)" or " (Edit)" while the dialog shows, and is set back after;
// a cancelled dialog writes nothing. A double click on the grid is Edit.
void TestListWindows::titleSuffix()
{
    QFETCH(Kind, kind);
    QFETCH(bool, isNew);
    SampleCopy data;
    auto w = makeWindow(kind, data.iniPath(), data.db);
    w->browser().open();
    const int rows = w->grid().model()->rowCount();
    EditDialog* d = dialogOf(*w);
    const QString title = d->windowTitle();
    ModalDriver driver;
    QString shownTitle;
    driver.expect<EditDialog>([&](EditDialog* shown) {
        shownTitle = shown->windowTitle();
        QTest::keyClick(shown, Qt::Key_Escape);
    });
    if (isNew) {
        w->findChild<QPushButton*>(u"bNew"_s)->click();
    } else {
        const QRect cell = w->grid().visualRect(
            w->grid().model()->index(0, w->grid().columnOf(w->grid().shownFields()[1])));
        QTest::mouseDClick(w->grid().viewport(), Qt::LeftButton, {}, cell.center());
    }
    QVERIFY(driver.allAnswered());
    QCOMPARE(shownTitle, title + (isNew ? u" (New)"_s : u" (Edit)"_s));
    QCOMPARE(d->windowTitle(), title);
    QCOMPARE(w->browser().state(), refdata::TableBrowser::State::Browsing);
    w->browser().refresh();
    QCOMPARE(w->grid().model()->rowCount(), rows);
    QVERIFY(driver.strays.isEmpty());
}

void TestListWindows::lockedRowRefused_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("lock"); // another user's update of the first row
    QTest::newRow("rate") << Kind::Rate
                          << u"update FARE_CURRENCY_RATE set RATE_AMOUNT = RATE_AMOUNT where "
                             u"RATE_IDENTIFICATOR = %1"_s;
    QTest::newRow("currency") << Kind::Currency
                              << u"update FARE_CURRENCY set CURRENCY_NAME = 'X' where "
                                 u"CURRENCY_CODE = '%1'"_s;
    QTest::newRow("provider") << Kind::Provider
                              << u"update VALIDATING_CARRIER set CARRIER_NAME = 'X' where "
                                 u"CARRIER_CODE = '%1'"_s;
    QTest::newRow("taxes") << Kind::Taxes
                           << u"update APPLIED_TAXES set TAX_NAME = 'X' where TAXID = %1"_s;
}

// Edit saved while another attachment holds the row: the lock message with
// " Operation canceled", the browser back to browsing, the row unchanged.
void TestListWindows::lockedRowRefused()
{
    QFETCH(Kind, kind);
    QFETCH(QString, lock);
    SampleCopy data;
    auto w = makeWindow(kind, data.iniPath(), data.db);
    w->browser().open();
    const QString key = w->browser().text(w->browser().shape().keyColumns.first());
    const QString before = w->grid()
                               .model()
                               ->index(0, w->grid().columnOf(w->grid().shownFields()[1]))
                               .data()
                               .toString();
    data.lock(lock.arg(key));

    ModalDriver driver;
    driver.expect<EditDialog>([](EditDialog* d) { d->bSave->click(); });
    driver.answer();
    // The refused save opens the dialog again, for another try; Cancel gives up.
    driver.expect<EditDialog>([](EditDialog* d) { d->bCancel->click(); });
    w->findChild<QPushButton*>(kind == Kind::Rate ? u"bEdir"_s : u"bEdit"_s)->click();
    QVERIFY(driver.allAnswered());
    QCOMPARE(driver.messages,
             QStringList{refdata::TableBrowser::LockedMessage + ListWindow::CanceledSuffix});
    QCOMPARE(w->browser().state(), refdata::TableBrowser::State::Browsing);
    data.release();
    QCOMPARE(w->browser().text(w->browser().shape().keyColumns.first()), key);
    QCOMPARE(w->grid()
                 .model()
                 ->index(0, w->grid().columnOf(w->grid().shownFields()[1]))
                 .data()
                 .toString(),
             before);
    QVERIFY(driver.strays.isEmpty());
}

// The menu's way in: a list whose database cannot be opened raises the error to the
// caller and is not shown.
void TestListWindows::openErrorRaised()
{
    QTemporaryDir dir;
    refdata::ReferenceDatabase db;
    db.setLocation(dir.filePath(u"missing.gdb"_s), u"sysdba"_s, u"lanternix"_s);
    TformCurrency w(dir.filePath(u"SPRRATE.INI"_s), db);
    ModalDriver driver;
    QVERIFY_THROWS_EXCEPTION(refdata::RefDataError, w.showList());
    QVERIFY(!w.isVisible());
    QVERIFY(!w.browser().isOpen());
    QVERIFY(driver.strays.isEmpty());
}

// The navigator's buttons, the grid's keys and a click all move the browser's cursor, and
// the grid's selection follows it; buttons that cannot move are disabled.
void TestListWindows::navigatorAndKeys()
{
    SampleCopy data;
    TformCurrency w(data.iniPath(), data.db);
    w.gbtCurrency.open();
    refdata::ui::DBNavigator& nav = *w.DBNavigator1;
    BrowserGrid& grid = *w.CurrencyGrid;
    const auto selected = [&] {
        const QModelIndexList rows = grid.selectionModel()->selectedRows();
        return rows.size() == 1 ? rows[0].row() : -1;
    };
    QVERIFY(!nav.nbFirst->isEnabled());
    QVERIFY(!nav.nbPrior->isEnabled());
    QVERIFY(nav.nbNext->isEnabled());
    QCOMPARE(selected(), 0);

    nav.nbLast->click();
    QCOMPARE(w.gbtCurrency.text(u"CURRENCY_CODE"_s), u"USD"_s);
    QCOMPARE(selected(), w.gbtCurrency.currentIndex());
    QVERIFY(!nav.nbNext->isEnabled());
    QVERIFY(!nav.nbLast->isEnabled());
    QVERIFY(nav.nbFirst->isEnabled());

    QTest::keyClick(&grid, Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(w.gbtCurrency.text(u"CURRENCY_CODE"_s), u"AED"_s);
    QTest::keyClick(&grid, Qt::Key_Down);
    QTest::keyClick(&grid, Qt::Key_Down);
    QCOMPARE(w.gbtCurrency.text(u"CURRENCY_CODE"_s), u"CHF"_s);
    QCOMPARE(selected(), 2);
    QTest::keyClick(&grid, Qt::Key_Up);
    QCOMPARE(w.gbtCurrency.text(u"CURRENCY_CODE"_s), u"BYN"_s);

    const QRect cell = grid.visualRect(grid.model()->index(4, grid.columnOf(u"CURRENCY_NAME"_s)));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(w.gbtCurrency.text(u"CURRENCY_CODE"_s), u"EUR"_s);
    nav.nbPrior->click();
    QCOMPARE(w.gbtCurrency.text(u"CURRENCY_CODE"_s), u"CNY"_s);
    QCOMPARE(selected(), 3);
}

QTEST_MAIN(TestListWindows)
#include "test_listwindows.moc"
