// The History window over a journal of a few entries: newest first, the filter by record
// and day, the selected entry's commands below, read-only, and its remembered place.
#include "pricing/ui/history.h"

#include "base/settings.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace Qt::Literals::StringLiterals;

namespace {

pricing::JournalEntry entry(const QString& record, int daysAgo, QStringView job,
                            const QStringList& sent)
{
    pricing::JournalEntry e;
    e.time = QDateTime(QDate::currentDate().addDays(-daysAgo), QTime(10, 30));
    e.user = u"anna"_s;
    e.program = u"sprrate"_s;
    e.job = job.toString();
    e.record = record;
    e.carrier = u"LH"_s;
    e.from = u"USD"_s;
    e.to = u"RUB"_s;
    e.planned = sent;
    e.sent = sent;
    e.outcome = (job == pricing::journal::Run ? pricing::journal::Converted : pricing::journal::Shown)
                    .toString();
    return e;
}

QString cell(const TformHistory& form, int row, int column)
{
    return form.gEntries->model()->index(row, column).data().toString();
}

} // namespace

class TestHistory : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void newestFirstWithTheSelectedEntrysCommands();
    void filterByRecordAndDay();
    void readOnly();
    void refreshShowsWhatCameMeanwhile();
    void emptyJournal();
    void closesAndRemembersItsPlace();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<base::JournalFile> m_file;
    QString ini() const { return m_dir->filePath(u"sprrate.INI"_s); }
    void append(const pricing::JournalEntry& e) { QCOMPARE(m_file->append(pricing::journalLine(e)), QString()); }
};

void TestHistory::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_file = std::make_unique<base::JournalFile>(m_dir->filePath(u"sprrate-journal.jsonl"_s), 1 << 20);
    append(entry(u"01"_s, 2, pricing::journal::Run, {u"TTI/T01/K2USD92.8000"_s, u"TTK/T01/ERUB52525.00/X"_s}));
    append(entry(u"02"_s, 0, pricing::journal::Run, {u"TTI/T02/K1 93.2500"_s}));
    QCOMPARE(m_file->append("{\"cut\":"), QString()); // a line a crash cut short
    append(entry(QString(), 0, pricing::journal::Estimate, {}));
}

void TestHistory::newestFirstWithTheSelectedEntrysCommands()
{
    TformHistory form(ini(), *m_file);
    form.refresh();
    QCOMPARE(form.gEntries->model()->rowCount(), 3);
    QCOMPARE(form.gEntries->model()->columnCount(), pricing::historyColumns().size());
    QCOMPARE(cell(form, 0, 2), u"estimate"_s);
    QCOMPARE(cell(form, 1, 3), u"02"_s);
    QCOMPARE(cell(form, 2, 3), u"01"_s);
    QCOMPARE(cell(form, 2, 9), u"2 of 2"_s);
    // The newest is selected, and what it holds is below.
    QCOMPARE(form.gEntries->currentIndex().row(), 0);
    QCOMPARE(form.mCommands->toPlainText(), pricing::historyDetails(*form.entryAt(0)));
    form.gEntries->selectRow(2);
    QVERIFY2(form.mCommands->toPlainText().contains(
                 u"Commands sent:\n  TTI/T01/K2USD92.8000\n  TTK/T01/ERUB52525.00/X"_s),
             qPrintable(form.mCommands->toPlainText()));
    QVERIFY2(form.lSummary->text().startsWith(
                 u"3 entries; 1 line of the journal is no entry and is left out."_s),
             qPrintable(form.lSummary->text()));
}

void TestHistory::filterByRecordAndDay()
{
    TformHistory form(ini(), *m_file);
    form.refresh();
    QTest::keyClicks(form.eRecord, u"1"_s);
    QCOMPARE(form.gEntries->model()->rowCount(), 1);
    QCOMPARE(cell(form, 0, 3), u"01"_s);
    QVERIFY(form.mCommands->toPlainText().contains(u"TTK/T01/ERUB52525.00/X"_s));
    QVERIFY2(form.lSummary->text().startsWith(u"1 of 3 entries"_s), qPrintable(form.lSummary->text()));
    form.eRecord->clear();
    QVERIFY(!form.eSince->isEnabled());
    form.cSince->click();
    QVERIFY(form.eSince->isEnabled());
    QCOMPARE(form.eSince->date(), QDate::currentDate());
    QCOMPARE(form.gEntries->model()->rowCount(), 2);
    form.eSince->setDate(QDate::currentDate().addDays(-2));
    QCOMPARE(form.gEntries->model()->rowCount(), 3);
    form.eSince->setDate(QDate::currentDate().addDays(1));
    QCOMPARE(form.gEntries->model()->rowCount(), 0);
    QCOMPARE(form.mCommands->toPlainText(), QString());
    form.cSince->click();
    QCOMPARE(form.gEntries->model()->rowCount(), 3);
}

void TestHistory::readOnly()
{
    TformHistory form(ini(), *m_file);
    form.refresh();
    QCOMPARE(form.gEntries->editTriggers(), QAbstractItemView::NoEditTriggers);
    QVERIFY(form.mCommands->isReadOnly());
    const QByteArray before = [&] {
        QFile f(m_file->path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    form.gEntries->setFocus();
    QTest::keyClick(form.gEntries, Qt::Key_Delete);
    QTest::keyClick(form.gEntries, Qt::Key_F2);
    QCOMPARE(form.gEntries->model()->rowCount(), 3);
    QFile f(m_file->path());
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), before);
}

void TestHistory::refreshShowsWhatCameMeanwhile()
{
    TformHistory form(ini(), *m_file);
    form.refresh();
    append(entry(u"03"_s, 0, pricing::journal::Run, {}));
    QCOMPARE(form.gEntries->model()->rowCount(), 3);
    form.bRefresh->click();
    QCOMPARE(form.gEntries->model()->rowCount(), 4);
    QCOMPARE(cell(form, 0, 3), u"03"_s);
}

void TestHistory::emptyJournal()
{
    const base::JournalFile none(m_dir->filePath(u"none.jsonl"_s), 1 << 20);
    TformHistory form(ini(), none);
    form.refresh();
    QCOMPARE(form.gEntries->model()->rowCount(), 0);
    QCOMPARE(form.mCommands->toPlainText(), QString());
    QVERIFY2(form.lSummary->text().startsWith(u"0 entries."_s), qPrintable(form.lSummary->text()));
}

void TestHistory::closesAndRemembersItsPlace()
{
    for (const bool escape : {false, true}) {
        TformHistory form(ini(), *m_file);
        QTimer::singleShot(0, &form, [&] {
            QVERIFY(form.isVisible());
            QCOMPARE(form.gEntries->model()->rowCount(), 3);
            form.move(200 + escape, 150);
            if (escape)
                QTest::keyClick(&form, Qt::Key_Escape);
            else
                form.bClose->click();
        });
        form.showHistory();
        QVERIFY(!form.isVisible());
        QCOMPARE(base::readWindowPosition(ini(), base::section::HistoryWindow, {}),
                 QPoint(200 + escape, 150));
    }
}

QTEST_MAIN(TestHistory)
#include "test_history.moc"
