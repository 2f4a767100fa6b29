#include "rates/ui/rateselector.h"

#include <QLabel>
#include <QListWidget>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>

using namespace Qt::Literals::StringLiterals;

namespace {
const QStringList twoRates = {u"From:USD To:RUB Carrier:SU Rate:92.5000"_s,
                              u"From:USD To:RUB Carrier:SU Rate:93.2500"_s};
} // namespace

class TestRateSelector : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void showsTheItemsAndResetsTheLabel();
    void answers_data();
    void answers();
    void itemsReadableInFull_data();
    void itemsReadableInFull();
};

void TestRateSelector::showsTheItemsAndResetsTheLabel()
{
    TSetectRateForm form;
    QCOMPARE(form.windowTitle(), u"Select rate amount"_s);
    QCOMPARE(form.size(), QSize(247, 133));
    QCOMPARE(form.lRateAmount->text(), u"0"_s);
    form.lRateAmount->setText(u"1.0000"_s);
    QTimer::singleShot(0, &form, [&] {
        QCOMPARE(form.CurrencySelector->count(), 2);
        QCOMPARE(form.CurrencySelector->item(1)->text(), twoRates[1]);
        QCOMPARE(form.lRateAmount->text(), u"0.0000"_s);
        form.reject();
    });
    QCOMPARE(form.choose(twoRates), std::nullopt);
    // A second choice starts from a cleared list.
    QTimer::singleShot(0, &form, [&] {
        QCOMPARE(form.CurrencySelector->count(), 1);
        form.reject();
    });
    form.choose({twoRates[0]});
}

// How the user answers the dialog: a row to click first (-1: none), then keys or a double
// click in turn. "open" means the dialog was still open after them.
void TestRateSelector::answers_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QString>("expected"); // empty: cancelled

    const QString open = u"open"_s;
    QTest::newRow("click second, Enter") << 1 << QStringList{u"enter"_s} << u"93.2500"_s;
    QTest::newRow("click first, Enter") << 0 << QStringList{u"enter"_s} << u"92.5000"_s;
    QTest::newRow("double click second") << 1 << QStringList{u"double"_s} << u"93.2500"_s;
    QTest::newRow("click second, Escape") << 1 << QStringList{u"escape"_s} << QString();
    // The first Down from the list as it opens selects the first item, not the second.
    QTest::newRow("Down, Enter") << -1 << QStringList{u"down"_s, u"enter"_s} << u"92.5000"_s;
    QTest::newRow("Down, Down, Enter")
        << -1 << QStringList{u"down"_s, u"down"_s, u"enter"_s} << u"93.2500"_s;
    QTest::newRow("Up, Enter") << -1 << QStringList{u"up"_s, u"enter"_s} << u"92.5000"_s;
    QTest::newRow("click second, Up, Enter")
        << 1 << QStringList{u"up"_s, u"enter"_s} << u"92.5000"_s;
    // Without a choice Enter returns no rate: the dialog stays open for one.
    QTest::newRow("Enter without selection") << -1 << QStringList{u"enter"_s} << open;
    QTest::newRow("Enter without selection, Down, Enter")
        << -1 << QStringList{u"enter"_s, u"down"_s, u"enter"_s} << u"92.5000"_s;
    QTest::newRow("Enter without selection, Escape")
        << -1 << QStringList{u"enter"_s, u"escape"_s} << QString();
}

void TestRateSelector::answers()
{
    QFETCH(int, row);
    QFETCH(QStringList, actions);
    QFETCH(QString, expected);

    TSetectRateForm form;
    bool stayedOpen = false;
    QTimer::singleShot(0, &form, [&] {
        // A failed check leaves the lambda: the dialog must not stay open after it.
        const auto close = qScopeGuard([&] {
            if (form.isVisible())
                form.reject();
        });
        QListWidget* list = form.CurrencySelector;
        // As the agent meets it: the dialog active, the list holding the focus (which
        // makes its first item current).
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QTRY_VERIFY(list->hasFocus());
        if (row >= 0) {
            const QRect r = list->visualItemRect(list->item(row));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
            QCOMPARE(form.lRateAmount->text(), list->item(row)->text().mid(32));
        }
        for (const QString& action : actions) {
            if (action == u"enter")
                QTest::keyClick(list, Qt::Key_Return);
            else if (action == u"escape")
                QTest::keyClick(list, Qt::Key_Escape);
            else if (action == u"down")
                QTest::keyClick(list, Qt::Key_Down);
            else if (action == u"up")
                QTest::keyClick(list, Qt::Key_Up);
            else
                QTest::mouseDClick(list->viewport(), Qt::LeftButton, {},
                                   list->visualItemRect(list->item(row)).center());
        }
        if (form.isVisible()) {
            stayedOpen = true;
            // What the agent sees while the dialog waits: still no rate chosen.
            QCOMPARE(form.lRateAmount->text(), u"0.0000"_s);
        }
    });
    const std::optional<QString> result = form.choose(twoRates);
    if (expected == u"open") {
        QVERIFY(stayedOpen);
        QCOMPARE(result, std::nullopt);
    } else if (expected.isEmpty()) {
        QVERIFY(!stayedOpen);
        QCOMPARE(result, std::nullopt);
    } else {
        QVERIFY(!stayedOpen);
        QCOMPARE(result, std::optional<QString>(expected));
    }
}

// The rate is the end of each item and the only part that tells the items apart: every
// item lies wholly inside the list, with no horizontal scroll bar over the last one.
void TestRateSelector::itemsReadableInFull_data()
{
    QTest::addColumn<QStringList>("items");

    QTest::newRow("two rates") << QStringList{u"From:USD To:RUB Carrier:SU Rate:92.8000"_s,
                                              u"From:USD To:RUB Carrier:SU Rate:93.1000"_s};
    QStringList many;
    for (int i = 0; i < 12; ++i)
        many.append(u"From:EUR To:KZT Carrier:KC Rate:%1.4321"_s.arg(4980 + i));
    QTest::newRow("a list longer than the dialog") << many;
}

void TestRateSelector::itemsReadableInFull()
{
    QFETCH(QStringList, items);

    TSetectRateForm form;
    QTimer::singleShot(0, &form, [&] {
        const auto close = qScopeGuard([&] {
            if (form.isVisible())
                form.reject();
        });
        QListWidget* list = form.CurrencySelector;
        QVERIFY(form.width() >= 247);
        QCOMPARE(form.height(), 133);
        QVERIFY(!list->horizontalScrollBar()->isVisible());
        const QRect inside = list->viewport()->rect();
        for (int i = 0; i < list->count(); ++i) {
            list->scrollToItem(list->item(i));
            const QRect item = list->visualItemRect(list->item(i));
            const int textWidth = list->fontMetrics().horizontalAdvance(items[i]);
            QVERIFY2(item.width() >= textWidth && item.left() >= inside.left() &&
                         item.right() <= inside.right(),
                     qPrintable(u"item %1 (%2 px of text) at %3..%4 in a list %5 px wide"_s.arg(i)
                                    .arg(textWidth)
                                    .arg(item.left())
                                    .arg(item.right())
                                    .arg(inside.width())));
        }
    });
    form.choose(items);
}

QTEST_MAIN(TestRateSelector)
#include "test_rateselector.moc"
