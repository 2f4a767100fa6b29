// The journal file: entries appended whole, one old file kept when it starts anew, an
// entry cut short by a crash kept apart from the next, a journal that cannot be written
// saying why, and programs appending at once.
#include "base/journalfile.h"

#include "support/unprivileged.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <optional>
#include <memory>
#include <vector>

using base::JournalFile;
using namespace Qt::Literals::StringLiterals;

namespace {

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class JournalFileTest : public testing::Test {
protected:
    QString path() const { return dir.filePath(u"journal.jsonl"_s); }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); }
    QTemporaryDir dir;
};

} // namespace

TEST(JournalFileNames, OldFileHasOneBeforeTheExtension)
{
    EXPECT_EQ(JournalFile(u"/d/journal.jsonl"_s, 1).oldPath(), u"/d/journal.1.jsonl"_s);
    EXPECT_EQ(JournalFile(u"/d/journal"_s, 1).oldPath(), u"/d/journal.1"_s);
    EXPECT_EQ(JournalFile(u"/d.e/journal"_s, 1).oldPath(), u"/d.e/journal.1"_s);
}

TEST_F(JournalFileTest, AppendsLinesAndReadsThemOldestFirst)
{
    const JournalFile journal(dir.filePath(u"new/folder/journal.jsonl"_s), 1 << 20);
    for (const QByteArray entry : {"{\"a\":1}", "{\"b\":2}", "{\"c\":3}"})
        ASSERT_EQ(journal.append(entry), QString());
    EXPECT_EQ(contents(journal.path()), "{\"a\":1}\n{\"b\":2}\n{\"c\":3}\n");
    const JournalFile::Lines read = journal.readLines();
    EXPECT_EQ(read.lines, (QList<QByteArray>{"{\"a\":1}", "{\"b\":2}", "{\"c\":3}"}));
    EXPECT_EQ(read.error, QString());
    // The lock is gone with each append.
    EXPECT_FALSE(QFile::exists(journal.path() + u".lock"_s));
}

// Entries of 10 bytes with their line ends, a file starting anew beyond 25 bytes: the old
// file is replaced each time, so the journal is never more than two files.
TEST_F(JournalFileTest, StartsAnewAtItsSizeKeepingOneOldFile)
{
    const JournalFile journal(path(), 25);
    for (const QByteArray entry : {"entry-(0)", "entry-(1)", "entry-(2)"})
        ASSERT_EQ(journal.append(entry), QString());
    EXPECT_EQ(contents(journal.oldPath()), "entry-(0)\nentry-(1)\n");
    EXPECT_EQ(contents(path()), "entry-(2)\n");
    for (const QByteArray entry : {"entry-(3)", "entry-(4)"})
        ASSERT_EQ(journal.append(entry), QString());
    EXPECT_EQ(contents(journal.oldPath()), "entry-(2)\nentry-(3)\n");
    EXPECT_EQ(contents(path()), "entry-(4)\n");
    EXPECT_EQ(journal.readLines().lines,
              (QList<QByteArray>{"entry-(2)", "entry-(3)", "entry-(4)"}));
    EXPECT_EQ(files(), (QStringList{u"journal.1.jsonl"_s, u"journal.jsonl"_s}));
}

TEST_F(JournalFileTest, EntryLargerThanTheSizeIsWrittenWhole)
{
    const JournalFile journal(path(), 8);
    const QByteArray large(100, 'x');
    ASSERT_EQ(journal.append(large), QString());
    EXPECT_EQ(contents(path()), large + '\n');
    ASSERT_EQ(journal.append("next"), QString());
    EXPECT_EQ(contents(journal.oldPath()), large + '\n');
    EXPECT_EQ(contents(path()), "next\n");
}

TEST_F(JournalFileTest, EntryCutShortByACrashKeepsItsOwnLine)
{
    {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("{\"whole\":1}\n{\"cut\":");
    }
    const JournalFile journal(path(), 1 << 20);
    ASSERT_EQ(journal.append("{\"next\":2}"), QString());
    EXPECT_EQ(contents(path()), "{\"whole\":1}\n{\"cut\":\n{\"next\":2}\n");
    EXPECT_EQ(journal.readLines().lines,
              (QList<QByteArray>{"{\"whole\":1}", "{\"cut\":", "{\"next\":2}"}));
}

struct UnwritableCase {
    const char* name;
    // Prepares the folder; gives the journal's path in it.
    QString (*prepare)(const QString& folder);
    bool unprivileged; // as root, tried as a user that folder permissions apply to
};

class Unwritable : public JournalFileTest, public testing::WithParamInterface<UnwritableCase> {};

// The append says why, and nothing of the entry is anywhere.
TEST_P(Unwritable, AppendSaysWhyAndWritesNothing)
{
    const UnwritableCase& c = GetParam();
    ASSERT_EQ(chmod(QFile::encodeName(dir.path()).constData(), 0777), 0);
    const QString journalPath = c.prepare(dir.path());
    if (journalPath.isEmpty())
        GTEST_SKIP() << "this machine has no /dev/full";
    const auto append = [&] {
        const QString why = JournalFile(journalPath, 1 << 20).append("{\"entry\":1}");
        return why.isEmpty() ? 1 : 0;
    };
    EXPECT_EQ(c.unprivileged ? testsupport::runUnprivileged(append) : append(), 0)
        << "the append reported no failure";
    // (A device such as /dev/full has nothing to read back.)
    if (QFileInfo(journalPath).isFile()) {
        EXPECT_EQ(contents(journalPath), QByteArray());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Places, Unwritable,
    testing::Values(
        UnwritableCase{"ReadOnlyFolder",
                       [](const QString& folder) {
                           const QString ro = folder + u"/ro"_s;
                           QDir().mkpath(ro);
                           chmod(QFile::encodeName(ro).constData(), 0555);
                           return ro + u"/journal.jsonl"_s;
                       },
                       true},
        UnwritableCase{"ReadOnlyFile",
                       [](const QString& folder) {
                           const QString file = folder + u"/journal.jsonl"_s;
                           QFile f(file);
                           f.open(QIODevice::WriteOnly);
                           f.close();
                           chmod(QFile::encodeName(file).constData(), 0444);
                           return file;
                       },
                       true},
        // A file in the place of the folder: it cannot be made.
        UnwritableCase{"FileWhereTheFolderGoes",
                       [](const QString& folder) {
                           QFile f(folder + u"/plain"_s);
                           f.open(QIODevice::WriteOnly);
                           return folder + u"/plain/journal.jsonl"_s;
                       },
                       false},
        // Every write to /dev/full fails as on a full disk.
        UnwritableCase{"FullDisk",
                       [](const QString& folder) {
                           if (!QFile::exists(u"/dev/full"_s))
                               return QString();
                           const QString link = folder + u"/journal.jsonl"_s;
                           QFile::link(u"/dev/full"_s, link);
                           return link;
                       },
                       false}),
    [](const auto& info) { return std::string(info.param.name); });

namespace {

struct WrittenLine {
    int writer = -1;
    int n = -1;
};

// A line of journalwriter, checked whole: its padding is as long as the writer made it
// and of its one character, so a line with a piece of another in it fails.
std::optional<WrittenLine> writtenLine(const QByteArray& line)
{
    const QJsonDocument doc = QJsonDocument::fromJson(line);
    if (!doc.isObject())
        return std::nullopt;
    const QJsonObject o = doc.object();
    const int w = o[u"w"_s].toInt(-1);
    const int n = o[u"n"_s].toInt(-1);
    const QString pad = o[u"pad"_s].toString();
    if (w < 0 || n < 0 || pad.size() != (n * 7919 + w * 104729) % 40000 ||
        pad.count(QChar(u'a' + (n + w) % 26)) != pad.size())
        return std::nullopt;
    return WrittenLine{w, n};
}

// Starts the writers at once and waits for them.
void runWriters(const QString& path, qint64 rotateAt, int writers, int entriesEach)
{
    std::vector<std::unique_ptr<QProcess>> processes;
    for (int w = 0; w < writers; ++w) {
        auto p = std::make_unique<QProcess>();
        p->setProcessChannelMode(QProcess::ForwardedChannels);
        p->start(QStringLiteral(JOURNALWRITER_PATH),
                 {path, QString::number(rotateAt), QString::number(w),
                  QString::number(entriesEach)});
        ASSERT_TRUE(p->waitForStarted());
        processes.push_back(std::move(p));
    }
    for (const auto& p : processes) {
        ASSERT_TRUE(p->waitForFinished(120000));
        EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p->exitCode(), 0);
    }
}

} // namespace

TEST_F(JournalFileTest, ProgramsAppendingAtOnceLoseAndMixNothing)
{
    constexpr int writers = 3, each = 300;
    runWriters(path(), qint64(1) << 30, writers, each);
    std::map<int, std::vector<int>> seen;
    const JournalFile::Lines read = JournalFile(path(), qint64(1) << 30).readLines();
    for (const QByteArray& line : read.lines) {
        const auto written = writtenLine(line);
        ASSERT_TRUE(written) << "a mixed or cut line: " << line.left(80).constData();
        seen[written->writer].push_back(written->n);
    }
    ASSERT_EQ(seen.size(), std::size_t(writers));
    for (const auto& [writer, numbers] : seen) {
        std::vector<int> expected(each);
        for (int n = 0; n < each; ++n)
            expected[std::size_t(n)] = n;
        EXPECT_EQ(numbers, expected) << "writer " << writer << " lost or reordered entries";
    }
}

// Starting anew drops the oldest entries whole: each writer's entries that remain follow
// one another without a gap, every line is whole, and there are never more than two
// files, each no larger than its size and one entry.
TEST_F(JournalFileTest, ProgramsAppendingAtOnceStartAnewCleanly)
{
    constexpr int writers = 3, each = 300;
    constexpr qint64 rotateAt = 2 * 1024 * 1024;
    runWriters(path(), rotateAt, writers, each);
    const JournalFile journal(path(), rotateAt);
    EXPECT_EQ(files(), (QStringList{u"journal.1.jsonl"_s, u"journal.jsonl"_s}));
    for (const QString& file : {journal.oldPath(), path()})
        EXPECT_LE(QFile(file).size(), rotateAt + 40001) << file.toStdString();
    std::map<int, std::vector<int>> seen;
    for (const QByteArray& line : journal.readLines().lines) {
        const auto written = writtenLine(line);
        ASSERT_TRUE(written) << "a mixed or cut line: " << line.left(80).constData();
        seen[written->writer].push_back(written->n);
    }
    for (const auto& [writer, numbers] : seen) {
        for (std::size_t i = 1; i < numbers.size(); ++i)
            ASSERT_EQ(numbers[i], numbers[i - 1] + 1) << "writer " << writer << " has a gap";
    }
    // The last writer to finish left its last entry in the journal.
    EXPECT_TRUE(std::any_of(seen.begin(), seen.end(),
                            [](const auto& s) { return s.second.back() == each - 1; }));
}
