// The number fields of the edit dialogs as an agent types into them: a comma is the
// decimal point as "." is; a key the field cannot take is refused with a beep and a
// tooltip saying what it takes, and the field stays as it was, so nothing typed is ever
// dropped silently around the digits.
#include "refdata/ui/fields.h"

#include <QSignalSpy>
#include <QToolTip>
#include <QtTest>

using namespace Qt::Literals::StringLiterals;
using refdata::ui::NumberEdit;

class TestFields : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void typing_data();
    void typing();
    void pasteTakesACommaAndRefusesTheRest();
};

void TestFields::typing_data()
{
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("shown"); // the field's text after the keys
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("refused"); // keys refused

    QTest::newRow("comma as the decimal point") << 4 << u"93,55"_s << u"93.55"_s << 93.55 << 0;
    QTest::newRow("point") << 4 << u"93.55"_s << u"93.55"_s << 93.55 << 0;
    QTest::newRow("minus refused") << 4 << u"-5"_s << u"5"_s << 5.0 << 1;
    QTest::newRow("exponent refused") << 4 << u"1e3"_s << u"13"_s << 13.0 << 1;
    QTest::newRow("second point refused") << 4 << u"1.2,3"_s << u"1.23"_s << 1.23 << 1;
    QTest::newRow("fifth decimal refused") << 4 << u"1,23456"_s << u"1.2345"_s << 1.2345 << 1;
    QTest::newRow("blank refused") << 4 << u"1 000"_s << u"1000"_s << 1000.0 << 1;
    QTest::newRow("whole number field refuses a comma")
        << 0 << u"12,5"_s << u"125"_s << 125.0 << 1;
}

void TestFields::typing()
{
    QFETCH(int, decimals);
    QFETCH(QString, keys);
    QFETCH(QString, shown);
    QFETCH(double, value);
    QFETCH(int, refused);
    QWidget window;
    auto* field = new NumberEdit(&window, u"eRateValue"_s, decimals, u"0.0000"_s);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    field->setFocus();
    QSignalSpy rejected(field, &QLineEdit::inputRejected);
    QTest::keyClicks(field, keys);
    QCOMPARE(field->text(), shown);
    QCOMPARE(field->value(), value);
    QCOMPARE(rejected.count(), refused);
    if (refused > 0) {
        // The agent is told what the field takes.
        QTRY_VERIFY(QToolTip::isVisible());
        QVERIFY2(QToolTip::text().startsWith(u"Only digits"_s), qPrintable(QToolTip::text()));
    }
}

void TestFields::pasteTakesACommaAndRefusesTheRest()
{
    QWidget window;
    auto* field = new NumberEdit(&window, u"eRateValue"_s, 4, u"0.0000"_s);
    window.show();
    field->setFocus();
    field->insert(u"93,55"_s);
    QCOMPARE(field->value(), 93.55);
    field->clear();
    QSignalSpy rejected(field, &QLineEdit::inputRejected);
    field->insert(u"93,55 USD"_s); // refused whole: nothing of it is taken
    QCOMPARE(field->text(), QString());
    QCOMPARE(rejected.count(), 1);
}

QTEST_MAIN(TestFields)
#include "test_fields.moc"
