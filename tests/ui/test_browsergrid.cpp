// The grid over a table browser scrolled by its scroll bar and the mouse wheel: both reach
// every row of a result longer than the browser's window, from its first rows or from a
// row kept at the top with the rest of the result before it (as a new order leaves the
// rate list), while the grid never holds more than the window's rows and those rows stay
// a run of the result without a gap.
#include "refdata/referencedb.h"
#include "refdata/tablebrowser.h"
#include "refdata/ui/browsergrid.h"
#include "support/testdatabase.h"

#include <QApplication>
#include <QScrollBar>
#include <QWheelEvent>
#include <QtTest>

#include <memory>

using namespace Qt::Literals::StringLiterals;
using refdata::TableBrowser;
using refdata::ui::BrowserGrid;

namespace {

// 264 rates, keyed 1 to 264, so the key tells each row's place in the result.
constexpr int ResultRows = 264;

const TestDatabase& rates()
{
    static const auto db = [] {
        auto d = std::make_unique<TestDatabase>();
        d->exec(u"insert into FARE_CURRENCY_RATE (RATE_IDENTIFICATOR, CURRENCY_FROM, "
                "CURRENCY_TO, CARRIER_CODE, RATE_AMOUNT, RATE_VALID_FROM, RATE_VALID_TO) "
                "with recursive n (i) as (select 1 from rdb$database union all "
                "select i + 1 from n where i < %1) "
                "select i, 'USD', 'RUB', 'SU', 90 + i, date '2024-01-01' + i, "
                "date '2024-01-01' + i from n"_s.arg(ResultRows));
        return d;
    }();
    return *db;
}

enum class Way { Wheel, ArrowClicks, PageClicks, ThumbToTheEnd };

// One step of the user in the wanted direction.
void scroll(BrowserGrid& grid, Way way, bool down)
{
    QScrollBar* bar = grid.verticalScrollBar();
    switch (way) {
    case Way::Wheel: {
        const QPointF at(grid.viewport()->rect().center());
        QWheelEvent wheel(at, grid.viewport()->mapToGlobal(at), QPoint(),
                          QPoint(0, down ? -120 : 120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(grid.viewport(), &wheel);
        break;
    }
    case Way::ArrowClicks:
        bar->triggerAction(down ? QAbstractSlider::SliderSingleStepAdd
                                : QAbstractSlider::SliderSingleStepSub);
        break;
    case Way::PageClicks:
        bar->triggerAction(down ? QAbstractSlider::SliderPageStepAdd
                                : QAbstractSlider::SliderPageStepSub);
        break;
    case Way::ThumbToTheEnd:
        bar->triggerAction(down ? QAbstractSlider::SliderToMaximum
                                : QAbstractSlider::SliderToMinimum);
        break;
    }
    QCoreApplication::processEvents();
}

int keyAt(BrowserGrid& grid, int row)
{
    return grid.model()->index(row, 0).data(Qt::EditRole).toInt();
}

// The keys of the rows on screen, top and bottom.
std::pair<int, int> shownKeys(BrowserGrid& grid)
{
    const int top = grid.rowAt(0);
    int bottom = grid.rowAt(grid.viewport()->height() - 1);
    if (bottom < 0)
        bottom = grid.model()->rowCount() - 1;
    return {keyAt(grid, top), keyAt(grid, bottom)};
}

} // namespace

class TestBrowserGrid : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void scrollingReachesEveryRow_data();
    void scrollingReachesEveryRow();
};

void TestBrowserGrid::scrollingReachesEveryRow_data()
{
    QTest::addColumn<Way>("way");
    QTest::addColumn<bool>("keptAtTheTop"); // else the window starts at the first rows
    const std::pair<const char*, Way> ways[] = {
        {"mouse wheel", Way::Wheel},
        {"scroll bar arrows", Way::ArrowClicks},
        {"scroll bar page clicks", Way::PageClicks},
        {"scroll bar thumb to the end", Way::ThumbToTheEnd}};
    for (const auto& [name, way] : ways) {
        QTest::addRow("%s, from the first rows", name) << way << false;
        QTest::addRow("%s, from a row with the result before it", name) << way << true;
    }
}

void TestBrowserGrid::scrollingReachesEveryRow()
{
    QFETCH(Way, way);
    QFETCH(bool, keptAtTheTop);

    refdata::ReferenceDatabase db;
    db.setLocation(rates().path(), u"sysdba"_s, u"lanternix"_s);
    TableBrowser browser(db);
    browser.setTableName(u"FARE_CURRENCY_RATE"_s);
    BrowserGrid grid(browser, u"RateGrid"_s,
                     {{u"RATE_IDENTIFICATOR"_s, u"ID"_s, 60}, {u"RATE_AMOUNT"_s, u"RATE"_s, 100}},
                     nullptr);
    grid.resize(260, 220);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    browser.open();
    int firstKey = 1;
    int lastKey = ResultRows;
    if (keptAtTheTop) {
        // The current row (key 1) keeps its place at the top under the new order, with
        // every other row before it.
        browser.setIndexFieldNames(u"RATE_IDENTIFICATOR desc"_s);
        std::swap(firstKey, lastKey);
    }
    QCoreApplication::processEvents();
    // The current row is still key 1, on screen.
    QCOMPARE(keyAt(grid, browser.currentIndex()), 1);
    QVERIFY(grid.viewport()->rect().contains(
        grid.visualRect(grid.model()->index(browser.currentIndex(), 0)).center()));
    const int step = firstKey < lastKey ? 1 : -1;

    // The held rows: never more than the window, always a run of the result.
    auto checkWindow = [&] {
        const int rows = grid.model()->rowCount();
        QVERIFY2(rows <= TableBrowser::WindowSize, qPrintable(QString::number(rows)));
        for (int r = 1; r < rows; ++r)
            QCOMPARE(keyAt(grid, r), keyAt(grid, r - 1) + step);
    };

    // Up to the first row, down to the last, up to the first again, each within a bound
    // of steps that a stuck scroll (resting at an edge of the held rows) cannot meet.
    for (const bool down : {false, true, false}) {
        const int wanted = down ? lastKey : firstKey;
        auto reached = [&] {
            const auto [top, bottom] = shownKeys(grid);
            return down ? bottom == wanted : top == wanted;
        };
        for (int n = 0; n < 2 * ResultRows && !reached(); ++n) {
            scroll(grid, way, down);
            checkWindow();
            if (QTest::currentTestFailed())
                return;
        }
        QVERIFY2(reached(), qPrintable(u"%1 not reached; shown %2 to %3"_s.arg(wanted)
                                           .arg(shownKeys(grid).first)
                                           .arg(shownKeys(grid).second)));
    }
    // The cursor stays on a held row, and the selection on the cursor's row.
    QVERIFY(browser.currentIndex() >= 0 && browser.currentIndex() < browser.windowRowCount());
    QCOMPARE(grid.selectionModel()->selectedRows().value(0).row(), browser.currentIndex());
}

QTEST_MAIN(TestBrowserGrid)
#include "test_browsergrid.moc"
