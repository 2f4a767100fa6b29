// The main window as a person uses it: the button strip, closing, the remembered place,
// the setup dialog through the settings file, the SetUp menu, the default error report,
// and the Run and Ticket Image buttons against a real velmora-term.
#include "app/ui/mainform.h"
#include "app/ui/setupform.h"
#include "app/ui/sprrateapplication.h"
#include "host/termlinkclient.h"
#include "pricing/ui/history.h"
#include "pricing/ui/ticketimage.h"
#include "refdata/ui/currency.h"
#include "refdata/ui/provider.h"
#include "refdata/ui/rate.h"
#include "refdata/ui/taxes.h"

#include "support/modal.h"
#include "support/testdatabase.h"
#include "support/velmoraterm.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTableView>
#include <QLabel>
#include <QMouseEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

using namespace Qt::Literals::StringLiterals;
using testsupport::ModalDriver;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Presses Save on the setup dialog and answers the one message it shows with OK, from a
// driver of its own (the outer driver is busy in the action that pressed Save); the
// messages shown.
QStringList saveAnswered(TformSetup* setup)
{
    ModalDriver inner;
    inner.answer();
    setup->bSave->click();
    return inner.allAnswered() ? inner.messages : QStringList{u"<no message>"_s};
}

// Throws from its event handler, as a failing button handler would.
class Thrower : public QObject {
public:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User)
            throw std::runtime_error("The handler failed.");
        return QObject::event(e);
    }
};

} // namespace

class TestMainForm : public QObject {
    Q_OBJECT
private:
    QString iniPath() const { return m_dir->filePath(u"sprrate.INI"_s); }
    std::unique_ptr<TGeneralForm> makeForm()
    {
        return std::make_unique<TGeneralForm>(m_dir->filePath(u"sprrate"_s), m_registry);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    host::AutomationRegistry m_registry;

private Q_SLOTS:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    void theStripOfFourButtons();
    void popupMenuItems();
    void closeQuestion_data();
    void closeQuestion();
    void positionReadBack_data();
    void positionReadBack();
    void setupShowsOwnCurrencyWhenBothFlagsAreSet();
    void setupCancelChangesNothing();
    void setupOpensWithTheCursorAtTheStart();
    void setupRefusesAMaskTheRunRefuses_data();
    void setupRefusesAMaskTheRunRefuses();
    void setupThatCannotBeWrittenSaysSoAndStaysOpen_data();
    void setupThatCannotBeWrittenSaysSoAndStaysOpen();
    void setUpWithUnreachableDatabase();
    void defaultErrorReport();
    void listWithUnreachableDatabaseGoesToTheErrorReport();
    void listOpensItsBrowserOnlyWhileShown();
    void runButtonConvertsTheRecord();
    void busyWhileTheRunTalksToTheHost();
    void ticketImageButtonShowsTheEstimate();
    void secondTicketImageShowsNothingOfTheFirst();
    void secondStartEndsAtOnce();
    void oldLockOfARunningProgramIsKept();
    void lockFileNamingNoHolder_data();
    void lockFileNamingNoHolder();
};

void TestMainForm::theStripOfFourButtons()
{
    auto form = makeForm();
    QCOMPARE(form->objectName(), u"GeneralForm"_s);
    QCOMPARE(form->windowTitle(), u"SPR rate v1.4"_s);
    QVERIFY(form->windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(form->windowFlags() & Qt::WindowType_Mask, Qt::Tool);
    QCOMPARE(form->size(), QSize(95, 22));
    QCOMPARE(form->minimumSize(), form->maximumSize());

    const struct {
        const char16_t* name;
        int left;
        const char16_t* tip;
    } buttons[] = {{u"btnRun", 0, u"Run SPR conversation process..."},
                   {u"btnInformPricing", 24, u"Ticket Image pricing..."},
                   {u"btnSetUp", 48, u"Converter SetUp"},
                   {u"btnExit", 72, u"Exit"}};
    for (const auto& b : buttons) {
        auto* button = form->findChild<QToolButton*>(QString::fromUtf16(b.name));
        QVERIFY2(button, qPrintable(QString::fromUtf16(b.name)));
        QCOMPARE(button->geometry(), QRect(b.left, 0, 23, 22));
        QCOMPARE(button->toolTip(), QString::fromUtf16(b.tip));
        QVERIFY(!button->icon().pixmap(16, 16).isNull());
    }
}

void TestMainForm::popupMenuItems()
{
    auto form = makeForm();
    QStringList items;
    for (QAction* a : form->PopupMenu->actions())
        items << (a->isSeparator() ? u"-"_s : a->text());
    QCOMPARE(items, QStringList({u"Rate"_s, u"-"_s, u"Currency"_s, u"Tax"_s, u"Carrier"_s, u"-"_s,
                                 u"History"_s, u"Setup"_s}));
}

void TestMainForm::closeQuestion_data()
{
    QTest::addColumn<bool>("ok");
    QTest::newRow("OK closes and writes the place") << true;
    QTest::newRow("Cancel keeps the window and writes nothing") << false;
}

void TestMainForm::closeQuestion()
{
    QFETCH(bool, ok);
    writeAll(iniPath(), "[MAIN]\r\nCURRENCYTO=USD\r\n");
    const QByteArray before = readAll(iniPath());
    auto form = makeForm();
    form->show();
    form->move(120, 140);
    ModalDriver driver;
    driver.answer(ok ? QMessageBox::Ok : QMessageBox::Cancel);
    form->btnExit->click();
    QVERIFY(driver.allAnswered());
    QCOMPARE(driver.messages, QStringList{u"Close Application?"_s});
    QCOMPARE(driver.titles, QStringList{u"SPR Rate"_s});
    QCOMPARE(driver.icons, QList<QMessageBox::Icon>{QMessageBox::Information});
    QCOMPARE(form->isVisible(), !ok);
    if (ok) {
        QCOMPARE(readAll(iniPath()),
                 QByteArray("[MAIN]\r\nCURRENCYTO=USD\r\n\r\n[WINDOW]\r\nLEFT=120\r\nTOP=140\r\n"));
    } else {
        QCOMPARE(readAll(iniPath()), before);
    }
}

void TestMainForm::positionReadBack_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("stored place") << QByteArray("[WINDOW]\nLEFT=100\nTOP=120\n") << QPoint(100, 120);
    QTest::newRow("no file: designed place") << QByteArray() << QPoint(376, 169);
    // Mended: a place no screen shows any more would leave the strip out of reach.
    QTest::newRow("off every screen: designed place")
        << QByteArray("[WINDOW]\nLEFT=5000\nTOP=-4000\n") << QPoint(376, 169);
    QTest::newRow("partly off the screen stays") << QByteArray("[WINDOW]\nLEFT=-30\nTOP=10\n")
                                                 << QPoint(-30, 10);
}

void TestMainForm::positionReadBack()
{
    QFETCH(QByteArray, file);
    QFETCH(QPoint, expected);
    if (!file.isEmpty())
        writeAll(iniPath(), file);
    auto form = makeForm();
    QCOMPARE(form->pos(), expected);
}

void TestMainForm::setupShowsOwnCurrencyWhenBothFlagsAreSet()
{
    const QByteArray file = "[MAIN]\r\nGETTAXBSR=1\r\nGETTAXORGCURRENCY=1\r\nDATABASE=/srv/x.gdb\r\n"
                            "PASSWORD=secret\r\n[WINDOW]\r\nLEFT=10\r\nTOP=20\r\n";
    writeAll(iniPath(), file);
    auto form = makeForm();
    bool ownSelected = false;
    bool bsrSelected = true;
    ModalDriver driver;
    driver.expect<QWidget>([&](QWidget* w) {
        auto* setup = qobject_cast<TformSetup*>(w);
        ownSelected = setup->cbGetTaxFromOrgCurrency->isChecked();
        bsrSelected = setup->cbGetBSRFromVLM->isChecked();
        setup->eCurrencyTo->clear();
        QTest::keyClicks(setup->eCurrencyTo, u"eurx"_s);
        setup->eTaxMask->setText(u"0"_s);
        setup->bSave->click();
    });
    form->Setup1Click();
    QVERIFY(driver.allAnswered());
    QVERIFY(ownSelected);
    QVERIFY(!bsrSelected);

    const base::Settings& s = form->application().settings();
    QCOMPARE(s.currencyTo, u"EUR"_s);
    QVERIFY(!s.getTaxBsr);
    QVERIFY(s.getTaxOrgCurrency);
    QCOMPARE(s.taxMask, u"0"_s);
    const QByteArray after = readAll(iniPath());
    QVERIFY(after.startsWith("[MAIN]\r\nGETTAXBSR=0\r\nGETTAXORGCURRENCY=1\r\nDATABASE=/srv/x.gdb\r\n"
                             "PASSWORD=secret\r\nFAREREGEXP="));
    QVERIFY(after.contains("\r\nCURRENCYTO=EUR\r\n"));
    QVERIFY(after.contains("\r\nTAXMASK=0\r\n"));
    QVERIFY(after.endsWith("[WINDOW]\r\nLEFT=10\r\nTOP=20\r\n"));
    QVERIFY(!after.contains("REPLACEFARE") && !after.contains("USERNAME"));
}

void TestMainForm::setupCancelChangesNothing()
{
    writeAll(iniPath(), "[MAIN]\nCURRENCYTO=USD\n");
    const QByteArray before = readAll(iniPath());
    auto form = makeForm();
    const base::Settings held = form->application().settings();
    ModalDriver driver;
    driver.expect<QWidget>([&](QWidget* w) {
        auto* setup = qobject_cast<TformSetup*>(w);
        for (QLineEdit* e : setup->findChildren<QLineEdit*>())
            e->setText(u"X"_s);
        setup->cbGetBSRFromVLM->setChecked(true);
        setup->bClose->click();
    });
    form->Setup1Click();
    QVERIFY(driver.allAnswered());
    const base::Settings& s = form->application().settings();
    QCOMPARE(s.currencyTo, held.currencyTo);
    QCOMPARE(s.fareRegExp, held.fareRegExp);
    QCOMPARE(s.taxMask, held.taxMask);
    QCOMPARE(s.getTaxBsr, held.getTaxBsr);
    QCOMPARE(readAll(iniPath()), before);
}

// The first key typed goes before the pattern instead of replacing it.
void TestMainForm::setupOpensWithTheCursorAtTheStart()
{
    auto form = makeForm();
    const QString pattern = form->application().settings().fareRegExp;
    QVERIFY(!pattern.isEmpty());
    bool focused = false;
    QString selected = u"unread"_s;
    int cursor = -1;
    QString typed;
    ModalDriver driver;
    driver.expect<TformSetup>([&](TformSetup* setup) {
        focused = setup->focusWidget() == setup->eFareRegExp;
        selected = setup->eFareRegExp->selectedText();
        cursor = setup->eFareRegExp->cursorPosition();
        QTest::keyClick(setup->eFareRegExp, Qt::Key_X);
        typed = setup->eFareRegExp->text();
        setup->bClose->click();
    });
    form->Setup1Click();
    QVERIFY(driver.allAnswered());
    QVERIFY(focused);
    QCOMPARE(selected, QString());
    QCOMPARE(cursor, 0);
    QCOMPARE(typed, u"x"_s + pattern);
}

void TestMainForm::setupRefusesAMaskTheRunRefuses_data()
{
    QTest::addColumn<QString>("fareMask");
    QTest::addColumn<QString>("taxMask");
    QTest::addColumn<QString>("reason"); // the run's own text
    QTest::newRow("a comma for the point")
        << u"0,00"_s << u"0.00"_s
        << u"the mask FAREMASK \"0,00\" writes 1234567890.12 as \"12345678,90\", which is not "
           u"an amount the host can take"_s;
    QTest::newRow("a currency after the amount")
        << u"0.00"_s << u"0.00 RUB"_s
        << u"the mask TAXMASK \"0.00 RUB\" writes 1234567890.12 as \"1234567890.12 RUB\", "
           u"which is not an amount the host can take"_s;
    QTest::newRow("thousands separated")
        << u"#,##0.00"_s << u"0.00"_s
        << u"the mask FAREMASK \"#,##0.00\" writes 1234567890.12 as \"1234567,890.12\", which "
           u"is not an amount the host can take"_s;
    QTest::newRow("nothing for zero")
        << u"0.00"_s << u"#"_s
        << u"the mask TAXMASK \"#\" writes 0.00 as \"\", which is not an amount the host can "
           u"take"_s;
}

// Save with a mask the run would refuse says why, as the run would, stores nothing and
// keeps the dialog open; put right, Save stores it.
void TestMainForm::setupRefusesAMaskTheRunRefuses()
{
    QFETCH(QString, fareMask);
    QFETCH(QString, taxMask);
    QFETCH(QString, reason);
    writeAll(iniPath(), "[MAIN]\nFAREMASK=0.00\nTAXMASK=0.00\n");
    const QByteArray before = readAll(iniPath());
    auto form = makeForm();
    bool stayedOpen = false;
    QByteArray fileMeanwhile;
    QString heldMeanwhile;
    QStringList messages;
    ModalDriver driver;
    driver.expect<TformSetup>([&](TformSetup* setup) {
        setup->eFareMask->setText(fareMask);
        setup->eTaxMask->setText(taxMask);
        messages = saveAnswered(setup);
        stayedOpen = setup->isVisible();
        fileMeanwhile = readAll(iniPath());
        heldMeanwhile = form->application().settings().fareMask + u'|' +
                        form->application().settings().taxMask;
        setup->eFareMask->setText(u"0"_s);
        setup->eTaxMask->setText(u"0.0"_s);
        setup->bSave->click();
    });
    form->Setup1Click();
    QVERIFY(driver.allAnswered());
    QCOMPARE(messages,
             QStringList{u"The settings were not saved: "_s + reason +
                         u". Correct the mask and press Save again."_s});
    QVERIFY(stayedOpen);
    QCOMPARE(fileMeanwhile, before);
    QCOMPARE(heldMeanwhile, u"0.00|0.00"_s);
    QCOMPARE(form->application().settings().fareMask, u"0"_s);
    QCOMPARE(form->application().settings().taxMask, u"0.0"_s);
    QVERIFY(readAll(iniPath()).contains("\nFAREMASK=0\nTAXMASK=0.0\n"));
    QVERIFY(driver.strays.isEmpty());
}

void TestMainForm::setupThatCannotBeWrittenSaysSoAndStaysOpen_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("why");
    QTest::newRow("the program's folder is gone") << u"gone"_s << u"cannot be created"_s;
    QTest::newRow("a folder where the file should be")
        << u"folder"_s << u"is a folder, not a file"_s;
    QTest::newRow("a read-only folder") << u"read-only"_s << u"cannot be created"_s;
}

// A settings file that cannot be written: the message says where and why, the dialog
// stays open, the values hold for the session; Cancel then closes it.
void TestMainForm::setupThatCannotBeWrittenSaysSoAndStaysOpen()
{
    QFETCH(QString, fault);
    QFETCH(QString, why);
    const QString folder = m_dir->filePath(u"bin"_s);
    QVERIFY(QDir().mkpath(folder));
    const QString ini = folder + u"/sprrate.INI"_s;
    if (fault == u"folder")
        QVERIFY(QDir().mkpath(ini));
    // A settings file that is a folder is said once at start, before the dialog.
    ModalDriver startup;
    if (fault == u"folder")
        startup.answer();
    TGeneralForm form(folder + u"/sprrate"_s, m_registry);
    QVERIFY(startup.allAnswered());
    if (fault == u"gone")
        QVERIFY(QDir(folder).removeRecursively());
    if (fault == u"read-only") {
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        if (QFile f(folder + u"/probe"_s); f.open(QIODevice::WriteOnly)) {
            f.remove();
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QSKIP("this user writes into read-only folders");
        }
    }
    bool stayedOpen = false;
    QStringList messages;
    ModalDriver driver;
    driver.expect<TformSetup>([&](TformSetup* setup) {
        setup->eCurrencyTo->setText(u"EUR"_s);
        messages = saveAnswered(setup);
        stayedOpen = setup->isVisible();
        setup->bClose->click();
    });
    form.Setup1Click();
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(driver.allAnswered());
    QCOMPARE(messages.size(), 1);
    const QString message = messages.value(0);
    QVERIFY2(message.startsWith(u"The settings could not be written to "_s +
                                QDir::toNativeSeparators(ini) + u": "_s),
             qPrintable(message));
    QVERIFY2(message.contains(why), qPrintable(message));
    QVERIFY2(message.endsWith(u"They hold until the program ends; make the file writable or "
                              u"free space on its disk, then press Save again."_s),
             qPrintable(message));
    QVERIFY(stayedOpen);
    QCOMPARE(form.application().settings().currencyTo, u"EUR"_s);
    QVERIFY(driver.strays.isEmpty());
}

void TestMainForm::setUpWithUnreachableDatabase()
{
    writeAll(iniPath(), "[MAIN]\nDATABASE=" + m_dir->filePath(u"none/sprrate.gdb"_s).toUtf8() + "\n");
    auto form = makeForm();
    form->show();
    ModalDriver driver;
    driver.answer();
    form->btnSetUpClick();
    QVERIFY(driver.allAnswered());
    QVERIFY2(driver.messages.value(0).contains(u"none/sprrate.gdb"_s), qPrintable(driver.messages.value(0)));
    QTRY_VERIFY(form->PopupMenu->isVisible()); // the menu opens all the same
    form->PopupMenu->close();
}

void TestMainForm::defaultErrorReport()
{
    Thrower thrower;
    ModalDriver driver;
    driver.answer();
    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
    QTRY_VERIFY(driver.allAnswered());
    QCOMPARE(driver.messages, QStringList{u"The handler failed."_s});
    // The same report as the list windows give an error of their handlers.
    QCOMPARE(driver.icons, QList<QMessageBox::Icon>{QMessageBox::Critical});
    QCOMPARE(driver.titles, QStringList{u"SPR Rate"_s});
    // The event loop goes on.
    bool later = false;
    QTimer::singleShot(0, [&] { later = true; });
    QTRY_VERIFY(later);
}

void TestMainForm::listWithUnreachableDatabaseGoesToTheErrorReport()
{
    writeAll(iniPath(), "[MAIN]\nDATABASE=" + m_dir->filePath(u"none/sprrate.gdb"_s).toUtf8() + "\n");
    auto form = makeForm();
    ModalDriver driver;
    driver.answer();
    // As the menu does it: from the event loop, with no guard in the handler.
    QAction* rate = form->PopupMenu->findChild<QAction*>(u"Rate1"_s);
    QVERIFY(rate);
    QTimer::singleShot(0, rate, &QAction::trigger);
    QTRY_VERIFY(driver.allAnswered());
    QVERIFY2(driver.messages.value(0).contains(u"none/sprrate.gdb"_s), qPrintable(driver.messages.value(0)));
    QVERIFY(!form->formRate->isVisible());
    QVERIFY(!form->formRate->browser().isOpen());
}

void TestMainForm::listOpensItsBrowserOnlyWhileShown()
{
    TestDatabase db(TestDatabase::Content::Sample);
    writeAll(iniPath(), "[MAIN]\nDATABASE=" + db.path().toUtf8() + "\n");
    auto form = makeForm();
    const struct {
        void (TGeneralForm::*handler)();
        refdata::ui::ListWindow* list;
    } lists[] = {{&TGeneralForm::Rate1Click, form->formRate},
                 {&TGeneralForm::Currency1Click, form->formCurrency},
                 {&TGeneralForm::TaxesClick, form->formTaxes},
                 {&TGeneralForm::Carrier1Click, form->formProvider}};
    for (const auto& l : lists) {
        bool openWhileShown = false;
        bool empty = true;
        ModalDriver driver;
        driver.expect<QWidget>([&](QWidget* w) {
            openWhileShown = w == l.list && l.list->browser().isOpen();
            empty = l.list->browser().isEmpty();
            l.list->reject();
        });
        (form.get()->*l.handler)();
        QVERIFY(driver.allAnswered());
        QVERIFY2(openWhileShown, qPrintable(l.list->objectName()));
        QVERIFY(!empty);
        QVERIFY(!l.list->browser().isOpen());
    }
}

void TestMainForm::runButtonConvertsTheRecord()
{
    TestDatabase db(TestDatabase::Content::Sample);
    writeAll(iniPath(), "[MAIN]\nDATABASE=" + db.path().toUtf8() + "\n");
    testsupport::VelmoraTerm terminal;
    terminal.startFile(QStringLiteral(SPRRATE_SOURCE_DIR "/samples/spr-record.scn"));
    host::registerTermLink(m_registry, {terminal.socket(), std::chrono::seconds(30)});
    auto form = makeForm();
    form->show();
    form->btnRun->click();
    QCOMPARE(terminal.journal(),
             QStringList({u"MD"_s, u"TTI/T01/K2USD92.8000"_s, u"TTK/T01/ERUB52525.00/X"_s,
                          u"TTK/T01/XRUB1262.00YQ/XRUB409.00DE/XRUB2348.00RI/XRUB288.00UH"_s,
                          u"TTK/T01/XRUB195.00OY"_s}));

    // The confirmation near the strip goes when the agent goes on to the SetUp menu: it
    // stays above every window and would cover the one the menu opens.
    QVERIFY(form->lConfirmation->isVisible());
    form->btnSetUp->click();
    QVERIFY(!form->lConfirmation->isVisible());
    form->PopupMenu->close();

    // SetUp's History shows the run from the journal beside the settings.
    int rows = -1;
    QString sent;
    QTimer::singleShot(0, form.get(), [&] {
        rows = form->formHistory->gEntries->model()->rowCount();
        sent = form->formHistory->gEntries->model()->index(0, 9).data().toString();
        form->formHistory->bClose->click();
    });
    form->PopupMenu->findChild<QAction*>(u"History1"_s)->trigger();
    QCOMPARE(rows, 1);
    QCOMPARE(sent, u"4 of 4"_s);
    QVERIFY(QFile::exists(QFileInfo(iniPath()).dir().filePath(u"sprrate-journal.jsonl"_s)));
}

// While the run talks to the host the strip is busy: buttons off, a busy cursor. A click
// on Run given meanwhile is not replayed as a second run afterwards, and the converted
// run is confirmed near the strip by a note that goes away by itself.
void TestMainForm::busyWhileTheRunTalksToTheHost()
{
    TestDatabase db(TestDatabase::Content::Sample);
    writeAll(iniPath(), "[MAIN]\nDATABASE=" + db.path().toUtf8() + "\n");
    testsupport::VelmoraTerm terminal;
    terminal.startFile(QStringLiteral(SPRRATE_SOURCE_DIR "/samples/spr-record.scn"));
    host::AutomationRegistry termLink;
    host::registerTermLink(termLink, {terminal.socket(), std::chrono::seconds(30)});
    TGeneralForm* strip = nullptr;
    QList<bool> enabled;
    QList<bool> busyCursor;
    m_registry.registerClass(host::HostSessionsProgId.toString(), [&] {
        return termLink.createObject(host::HostSessionsProgId.toString());
    });
    m_registry.registerClass(host::HostSessionProgId.toString(), [&] {
        return std::make_unique<host::ObservedSession>(
            termLink.create<host::HostSession>(host::HostSessionProgId), [&](const QString&) {
                enabled << strip->btnRun->isEnabled();
                busyCursor << (QApplication::overrideCursor() &&
                               QApplication::overrideCursor()->shape() == Qt::BusyCursor);
                // The agent clicks Run again on the frozen strip.
                const QPointF at(5, 5);
                QCoreApplication::postEvent(
                    strip->btnRun, new QMouseEvent(QEvent::MouseButtonPress, at, strip->btnRun->mapToGlobal(at),
                                                   Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
                QCoreApplication::postEvent(
                    strip->btnRun, new QMouseEvent(QEvent::MouseButtonRelease, at, strip->btnRun->mapToGlobal(at),
                                                   Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
            });
    });
    auto form = makeForm();
    strip = form.get();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    form->btnRun->click();
    QTest::qWait(200); // the clicks given meanwhile, had they stayed queued
    const QStringList once{u"MD"_s, u"TTI/T01/K2USD92.8000"_s, u"TTK/T01/ERUB52525.00/X"_s,
                           u"TTK/T01/XRUB1262.00YQ/XRUB409.00DE/XRUB2348.00RI/XRUB288.00UH"_s,
                           u"TTK/T01/XRUB195.00OY"_s};
    QCOMPARE(terminal.journal(), once);
    QCOMPARE(enabled, QList<bool>(once.size(), false));
    QCOMPARE(busyCursor, QList<bool>(once.size(), true));
    QVERIFY(form->btnRun->isEnabled());
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(form->lConfirmation->isVisible());
    QCOMPARE(form->lConfirmation->text(), u"SPR converted at rate 92.8000: 4 update commands sent."_s);
    QTRY_VERIFY_WITH_TIMEOUT(!form->lConfirmation->isVisible(), TGeneralForm::ConfirmationMs + 2000);
}

void TestMainForm::ticketImageButtonShowsTheEstimate()
{
    TestDatabase db(TestDatabase::Content::Sample);
    writeAll(iniPath(), "[MAIN]\nDATABASE=" + db.path().toUtf8() + "\n");
    testsupport::VelmoraTerm terminal;
    terminal.startFile(QStringLiteral(SPRRATE_SOURCE_DIR "/samples/ticket-image.scn"));
    host::registerTermLink(m_registry, {terminal.socket(), std::chrono::seconds(30)});
    auto form = makeForm();
    form->show();
    QString fare;
    QString total;
    ModalDriver driver;
    driver.expect<QWidget>([&](QWidget* w) {
        auto* dialog = qobject_cast<TdlgTicketImage*>(w);
        QVERIFY(dialog);
        fare = dialog->eFare->text();
        total = dialog->eTotal->text();
        dialog->bDialogClose->click();
    });
    form->btnInformPricing->click();
    QVERIFY(driver.allAnswered());
    QCOMPARE(fare, u"EUR520.00"_s);
    QCOMPARE(total, u"RUB56687.00"_s);
    QVERIFY2(terminal.journal().isEmpty(), "the estimate sends nothing");
}

// The dialog is created once; each estimate starts it from empty fields, so a ticket whose
// fare is already in RUB and whose third tax box is blank shows no equivalent and no TAX3.
void TestMainForm::secondTicketImageShowsNothingOfTheFirst()
{
    TestDatabase db(TestDatabase::Content::Sample);
    writeAll(iniPath(), "[MAIN]\nDATABASE=" + db.path().toUtf8() + "\n");
    QFile sample(QStringLiteral(SPRRATE_SOURCE_DIR "/samples/ticket-image.scn"));
    QVERIFY(sample.open(QIODevice::ReadOnly));
    testsupport::VelmoraTerm terminal;
    terminal.start(QString::fromUtf8(sample.readAll()) +
                   uR"(
on SHOW2 => rub then rub
screen rub
TKT IMAGE 02 PETROVA/ANNA MRS        ISSUED 09DEC26 4567AB
     AL FLGT  BK T DATE  TIME  FARE BASIS      NVB  NVA   BG
 FRA
 SVO LH 1420  Y  O 15MAR 0720  YOWEU           15MAR15MAR 1P

RUB 52000.00      15MAR26FRA LH MOW52000.00END
RUB 52000.00
USD    13.60YQ
USD     4.40DE

RUB 53671.00
>
@end
)"_s);
    host::registerTermLink(m_registry, {terminal.socket(), std::chrono::seconds(30)});
    auto form = makeForm();
    form->show();
    QStringList equiv;
    QStringList tax3;
    for (int estimate = 0; estimate < 2; ++estimate) {
        ModalDriver driver;
        driver.expect<TdlgTicketImage>([&](TdlgTicketImage* dialog) {
            equiv << dialog->eEquiv->text();
            tax3 << dialog->eTax3->text();
            dialog->bDialogClose->click();
        });
        form->btnInformPricing->click();
        QVERIFY(driver.allAnswered());
        // The agent brings the next ticket image up in the terminal.
        host::HostLink& link = form->application().hostLink();
        link.ConnectHost();
        link.session().Send(u"SHOW2"_s, 1);
        link.release();
    }
    QCOMPARE(equiv, QStringList({u"RUB52185.00"_s, QString()}));
    QCOMPARE(tax3, QStringList({u"RUB2831.00XT"_s, QString()}));
}

// The program with a settings file of its own, in a copy beside it, and a runtime folder
// of its own for the single-instance lock.
struct ProgramCopy {
    QTemporaryDir runtime;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QString program;

    bool make(const QTemporaryDir& dir)
    {
        env.insert(u"XDG_RUNTIME_DIR"_s, runtime.path());
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        QFile::setPermissions(runtime.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        program = dir.filePath(u"sprrate"_s);
        return QFile::copy(QStringLiteral(SPRRATE_PROGRAM), program) &&
               QFile::setPermissions(program,
                                     QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QString lockPath() const { return runtime.filePath(u"sprrate.lock"_s); }
};

void TestMainForm::secondStartEndsAtOnce()
{
    ProgramCopy copy;
    QVERIFY(copy.make(*m_dir));
    const QProcessEnvironment& env = copy.env;
    const QString& program = copy.program;

    QProcess first;
    first.setProcessEnvironment(env);
    first.start(program, {});
    QVERIFY(first.waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(copy.lockPath()), 10000);

    QProcess second;
    second.setProcessEnvironment(env);
    QElapsedTimer elapsed;
    elapsed.start();
    second.start(program, {});
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(first.state(), QProcess::Running);

    first.kill();
    first.waitForFinished(5000);
    // A lock left by a program that died does not keep the next start away.
    QProcess third;
    third.setProcessEnvironment(env);
    third.start(program, {});
    QVERIFY(third.waitForStarted(10000));
    QVERIFY(!third.waitForFinished(1500));
    third.kill();
    third.waitForFinished(5000);
}

// The lock's age says nothing: a program that has run all day keeps a second start away.
void TestMainForm::oldLockOfARunningProgramIsKept()
{
    ProgramCopy copy;
    QVERIFY(copy.make(*m_dir));
    QProcess first;
    first.setProcessEnvironment(copy.env);
    first.start(copy.program, {});
    QVERIFY(first.waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(copy.lockPath()), 10000);
    // As if the first start had been a day ago.
    {
        QFile lock(copy.lockPath());
        QVERIFY(lock.open(QIODevice::ReadWrite));
        QVERIFY(lock.setFileTime(QDateTime::currentDateTime().addDays(-1),
                                 QFileDevice::FileModificationTime));
    }

    QProcess second;
    second.setProcessEnvironment(copy.env);
    second.start(copy.program, {});
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(first.state(), QProcess::Running);
    first.kill();
    first.waitForFinished(5000);
}

void TestMainForm::lockFileNamingNoHolder_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("ageSeconds");
    QTest::addColumn<bool>("starts");
    // The earlier version locked an empty file and left it behind; a start that ended while
    // writing its name leaves one empty or cut short.
    QTest::newRow("empty, left by the earlier version") << QByteArray() << 3600 << true;
    QTest::newRow("cut short") << QByteArray("12") << 60 << true;
    QTest::newRow("not a lock file") << QByteArray("\xff\xfe garbage\n") << 60 << true;
    // A program starting right now may not have written its name yet.
    QTest::newRow("empty, just made") << QByteArray() << 0 << false;
}

// A lock file that names no holder keeps the program away only while it may be a
// starting program's: after that it is taken over, instead of every start ending at once.
void TestMainForm::lockFileNamingNoHolder()
{
    QFETCH(QByteArray, content);
    QFETCH(int, ageSeconds);
    QFETCH(bool, starts);
    ProgramCopy copy;
    QVERIFY(copy.make(*m_dir));
    {
        QFile lock(copy.lockPath());
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(content);
        QVERIFY(lock.flush()); // before the time is set, which the write would change
        QVERIFY(lock.setFileTime(QDateTime::currentDateTime().addSecs(-ageSeconds),
                                 QFileDevice::FileModificationTime));
    }
    QProcess program;
    program.setProcessEnvironment(copy.env);
    program.start(copy.program, {});
    QVERIFY(program.waitForStarted(10000));
    const bool ended = program.waitForFinished(2500);
    QCOMPARE(!ended, starts);
    if (!ended) {
        program.kill();
        program.waitForFinished(5000);
    }
}

int main(int argc, char** argv)
{
    ui::SprRateApplication app(argc, argv);
    TestMainForm test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_mainform.moc"
