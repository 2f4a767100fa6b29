#include "rates/ui/rateselector.h"

#include <QLabel>
#include <QListWidget>
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

// How the user closes the dialog: a row to select first (-1: none), then a key or a
// double click.
void TestRateSelector::answers_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("expected"); // empty: cancelled

    QTest::newRow("click second, Enter") << 1 << u"enter"_s << u"93.2500"_s;
    QTest::newRow("click first, Enter") << 0 << u"enter"_s << u"92.5000"_s;
    QTest::newRow("double click second") << 1 << u"double"_s << u"93.2500"_s;
    QTest::newRow("click second, Escape") << 1 << u"escape"_s << QString();
    QTest::newRow("Enter without selection") << -1 << u"enter"_s << u"0.0000"_s;
}

void TestRateSelector::answers()
{
    QFETCH(int, row);
    QFETCH(QString, action);
    QFETCH(QString, expected);

    TSetectRateForm form;
    QTimer::singleShot(0, &form, [&] {
        QListWidget* list = form.CurrencySelector;
        if (row >= 0) {
            const QRect r = list->visualItemRect(list->item(row));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
            QCOMPARE(form.lRateAmount->text(), list->item(row)->text().mid(32));
        }
        if (action == u"enter")
            QTest::keyClick(list, Qt::Key_Return);
        else if (action == u"escape")
            QTest::keyClick(list, Qt::Key_Escape);
        else
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {},
                               list->visualItemRect(list->item(row)).center());
    });
    const std::optional<QString> result = form.choose(twoRates);
    if (expected.isEmpty())
        QCOMPARE(result, std::nullopt);
    else
        QCOMPARE(result, std::optional<QString>(expected));
}

QTEST_MAIN(TestRateSelector)
#include "test_rateselector.moc"
