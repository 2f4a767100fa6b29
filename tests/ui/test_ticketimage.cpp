#include "pricing/ui/ticketimage.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTimer>
#include <QtTest>

using namespace Qt::Literals::StringLiterals;

namespace {

// The sample ticket image's estimate, as the core hands it over.
base::TicketImage sampleFields()
{
    base::TicketImage f;
    f.eFare = u"EUR520.00"_s;
    f.eEquiv = u"RUB52185.00"_s;
    f.eTax1 = u"RUB1262.00YQ"_s;
    f.eTax2 = u"RUB409.00DE"_s;
    f.eTax3 = u"RUB2831.00XT"_s;
    f.eTotal = u"RUB56687.00"_s;
    f.eFareString = u"FRA LH MOW260.00LH FRA260.00NUC520.00END ROE1.000000     \n"
                    u"XT RUB 2348.00RI RUB 288.00UH RUB 195.00OY"_s;
    return f;
}

struct Field {
    const char16_t* name;
    QRect geometry;
    QString base::TicketImage::*value;
};

const Field lineFields[] = {
    {u"eFare", {16, 32, 121, 21}, &base::TicketImage::eFare},
    {u"eEquiv", {144, 32, 121, 21}, &base::TicketImage::eEquiv},
    {u"eTax1", {272, 32, 89, 21}, &base::TicketImage::eTax1},
    {u"eTax2", {368, 32, 89, 21}, &base::TicketImage::eTax2},
    {u"eTax3", {464, 32, 89, 21}, &base::TicketImage::eTax3},
    {u"eTotal", {16, 72, 121, 21}, &base::TicketImage::eTotal},
};

// Whether a line field shows its whole text, as QLineEdit lays it out: the style's
// contents rectangle less two pixels each side, one more for the cursor.
bool showsWholeText(const QLineEdit* e)
{
    QStyleOptionFrame opt;
    opt.initFrom(e);
    opt.rect = e->rect();
    opt.lineWidth = e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, e);
    const QRect r = e->style()->subElementRect(QStyle::SE_LineEditContents, &opt, e);
    return e->fontMetrics().horizontalAdvance(e->text()) + 1 <= r.width() - 4;
}

// Runs the dialog modally with the values; check sees it open, then closes it with
// Close unless check closed it itself.
void whileShown(TdlgTicketImage& dialog, const base::TicketImage& values,
                const std::function<void()>& check)
{
    QTimer::singleShot(0, &dialog, [&] {
        check();
        if (dialog.isVisible())
            dialog.bDialogClose->click();
    });
    dialog.showTicketImage(values);
    QVERIFY(!dialog.isVisible());
}

} // namespace

class TestTicketImage : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void captionSizeAndControls();
    void showsEveryField();
    void fieldsAreReadOnlyAndOutOfTheTabOrder();
    void closesWith_data();
    void closesWith();
    void secondShowReplacesEveryField();
};

void TestTicketImage::captionSizeAndControls()
{
    TdlgTicketImage dialog;
    QCOMPARE(dialog.objectName(), u"dlgTicketImage"_s);
    QCOMPARE(dialog.windowTitle(),
             u"TICKET IMAGE DISPLAY (estimated calculation - not for ticketing)"_s);
    QVERIFY(dialog.windowFlags().testFlag(Qt::Tool));
    QCOMPARE(dialog.size(), QSize(570, 170));
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QCOMPARE(dialog.bevel->geometry(), QRect(8, 8, 553, 121));

    for (const Field& f : lineFields) {
        auto* e = dialog.findChild<QLineEdit*>(QString::fromUtf16(f.name));
        QVERIFY2(e, qPrintable(QString::fromUtf16(f.name)));
        QCOMPARE(e->geometry(), f.geometry);
    }
    QCOMPARE(dialog.findChild<QPlainTextEdit*>(u"eFareString"_s), dialog.eFareString);
    QCOMPARE(dialog.eFareString->geometry(), QRect(144, 72, 409, 46));
    QCOMPARE(dialog.eFareString->lineWrapMode(), QPlainTextEdit::WidgetWidth);

    auto* close = dialog.findChild<QPushButton*>(u"bDialogClose"_s);
    QVERIFY(close);
    QCOMPARE(close->text(), u"Close"_s);
    QCOMPARE(close->geometry(), QRect(488, 136, 75, 25));
    QVERIFY(close->isDefault());

    // Each caption stands at its place, above its field.
    const std::pair<const char16_t*, QPoint> labels[] = {
        {u"FARE:", {16, 16}},        {u"EQUIV:", {144, 16}}, {u"TAX1:", {272, 16}},
        {u"TAX2:", {368, 16}},       {u"TAX3:", {464, 16}},  {u"TOTAL:", {16, 56}},
        {u"FARE STRING:", {144, 56}}};
    const QList<QLabel*> shown = dialog.findChildren<QLabel*>();
    QCOMPARE(shown.size(), int(std::size(labels)));
    for (const auto& [text, at] : labels) {
        const auto it = std::find_if(shown.begin(), shown.end(), [&](const QLabel* l) {
            return l->text() == QString::fromUtf16(text);
        });
        QVERIFY2(it != shown.end(), qPrintable(QString::fromUtf16(text)));
        QCOMPARE((*it)->pos(), at);
        QVERIFY((*it)->geometry().bottom() < at.y() + 16); // clear of the field below
    }
}

void TestTicketImage::showsEveryField()
{
    TdlgTicketImage dialog;
    const base::TicketImage values = sampleFields();
    whileShown(dialog, values, [&] {
        QVERIFY(dialog.isModal() || QApplication::activeModalWidget() == &dialog);
        for (const Field& f : lineFields) {
            auto* e = dialog.findChild<QLineEdit*>(QString::fromUtf16(f.name));
            QCOMPARE(e->text(), values.*f.value);
            QVERIFY2(showsWholeText(e), qPrintable(e->text()));
        }
        QCOMPARE(dialog.eFareString->toPlainText(), values.eFareString);
        QCOMPARE(dialog.eFareString->document()->blockCount(), 2); // the "XT" line
        // The dialog sits in the middle of the screen (give or take its frame).
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        const QPoint offset = dialog.frameGeometry().center() - screen.center();
        QVERIFY2(std::abs(offset.x()) <= 10 && std::abs(offset.y()) <= 30,
                 qPrintable(u"%1,%2"_s.arg(offset.x()).arg(offset.y())));
    });
}

void TestTicketImage::fieldsAreReadOnlyAndOutOfTheTabOrder()
{
    TdlgTicketImage dialog;
    whileShown(dialog, sampleFields(), [&] {
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QCOMPARE(QApplication::focusWidget(), dialog.bDialogClose);
        const QColor buttonFace = dialog.palette().color(QPalette::Button);
        QList<QWidget*> fields;
        for (const Field& f : lineFields) {
            auto* e = dialog.findChild<QLineEdit*>(QString::fromUtf16(f.name));
            QVERIFY(e->isReadOnly());
            fields << e;
        }
        QVERIFY(dialog.eFareString->isReadOnly());
        fields << dialog.eFareString;
        for (QWidget* w : fields) {
            QVERIFY2(!(w->focusPolicy() & Qt::TabFocus), qPrintable(w->objectName()));
            QCOMPARE(w->palette().color(QPalette::Base), buttonFace);
        }

        // Typing into a field changes nothing, and Tab never lands on a field.
        QTest::keyClicks(dialog.eFare, u"123"_s);
        QCOMPARE(dialog.eFare->text(), u"EUR520.00"_s);
        for (int i = 0; i < 10; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), dialog.bDialogClose);
        }
    });
}

void TestTicketImage::closesWith_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Close button") << u"click"_s;
    QTest::newRow("Escape") << u"escape"_s;
    QTest::newRow("Enter on the default button") << u"enter"_s;
    QTest::newRow("Escape in the fare string") << u"escape-field"_s;
}

void TestTicketImage::closesWith()
{
    QFETCH(QString, how);
    TdlgTicketImage dialog;
    bool wasOpen = false;
    whileShown(dialog, sampleFields(), [&] {
        wasOpen = dialog.isVisible();
        if (how == u"click")
            QTest::mouseClick(dialog.bDialogClose, Qt::LeftButton);
        else if (how == u"escape")
            QTest::keyClick(&dialog, Qt::Key_Escape);
        else if (how == u"enter")
            QTest::keyClick(dialog.bDialogClose, Qt::Key_Return);
        else {
            dialog.eFareString->setFocus();
            QTest::keyClick(dialog.eFareString, Qt::Key_Escape);
        }
        QVERIFY2(!dialog.isVisible(), qPrintable(how));
    });
    QVERIFY(wasOpen);
}

void TestTicketImage::secondShowReplacesEveryField()
{
    TdlgTicketImage dialog;
    whileShown(dialog, sampleFields(), [] {});
    base::TicketImage second;
    second.eFare = u"RUB100.00"_s;
    second.eFareString = u"MOW SU LED100.00END "_s;
    whileShown(dialog, second, [&] {
        // What the core hands over is shown as it stands, empty fields included: keeping
        // the text of skipped steps is the core's work.
        QCOMPARE(dialog.eFare->text(), second.eFare);
        QCOMPARE(dialog.eEquiv->text(), QString());
        QCOMPARE(dialog.eTax3->text(), QString());
        QCOMPARE(dialog.eFareString->toPlainText(), second.eFareString);
    });
}

QTEST_MAIN(TestTicketImage)
#include "test_ticketimage.moc"
