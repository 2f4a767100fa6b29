// A new database made by the program: the statements of the shipped scripts as isql
// reads them, and the file they make, next to one made by isql from the same scripts.
#include "refdata/newdatabase.h"

#include "support/qstringprint.h"
#include "support/testdatabase.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace refdata;
using namespace Qt::Literals::StringLiterals;

namespace {

struct SplitCase {
    const char* name;
    QString script;
    QStringList statements;
    std::vector<int> lines;
};

class SqlStatementsTest : public testing::TestWithParam<SplitCase> {};

TEST_P(SqlStatementsTest, AsIsqlReadsThem)
{
    const SplitCase& c = GetParam();
    const std::vector<SqlStatement> got = sqlStatements(c.script);
    QStringList texts;
    std::vector<int> lines;
    for (const SqlStatement& s : got) {
        texts << s.text;
        lines.push_back(s.line);
    }
    EXPECT_EQ(texts, c.statements);
    EXPECT_EQ(lines, c.lines);
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, SqlStatementsTest,
    testing::Values(
        SplitCase{"CommentsAreDropped",
                  u"/* a table; of rates */\nCREATE TABLE T (A INT);\n-- done; really\nCOMMIT;\n"_s,
                  {u"CREATE TABLE T (A INT)"_s, u"COMMIT"_s},
                  {2, 4}},
        SplitCase{"TerminatorInsideLiteralsAndNames",
                  u"INSERT INTO T VALUES ('a;b', 'it''s;');\nSELECT \"X;Y\" FROM T;"_s,
                  {u"INSERT INTO T VALUES ('a;b', 'it''s;')"_s, u"SELECT \"X;Y\" FROM T"_s},
                  {1, 2}},
        SplitCase{"SetTermForATrigger",
                  u"SET TERM ^ ;\nCREATE TRIGGER X FOR T AS\nBEGIN\n  A = 1;\nEND^\n"
                  u"SET TERM ; ^\nCOMMIT;\n"_s,
                  {u"CREATE TRIGGER X FOR T AS\nBEGIN\n  A = 1;\nEND"_s, u"COMMIT"_s},
                  {2, 7}},
        SplitCase{"LineAfterAMultiLineLiteral",
                  u"INSERT INTO T VALUES ('one\ntwo');\n\nDELETE FROM T;"_s,
                  {u"INSERT INTO T VALUES ('one\ntwo')"_s, u"DELETE FROM T"_s},
                  {1, 4}},
        SplitCase{"EmptyScript", u"  /* nothing */\n\n"_s, {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SqlStatements, UnfinishedTextIsAnErrorNamingItsLine)
{
    const std::pair<QString, QString> cases[] = {
        {u"SELECT 1 FROM T;\n/* open"_s, u"A comment is not closed (line 2)."_s},
        {u"\nINSERT INTO T VALUES ('x);"_s, u"A quoted text is not closed (line 2)."_s},
        {u"SELECT 1 FROM T;\n\nDELETE FROM T"_s,
         u"The last statement has no terminator \";\" (line 3)."_s},
    };
    for (const auto& [script, message] : cases) {
        try {
            sqlStatements(script);
            ADD_FAILURE() << "accepted: " << script.toStdString();
        } catch (const DbError& e) {
            EXPECT_EQ(e.message(), message);
        }
    }
}

const QString schema = QStringLiteral(SPRRATE_SOURCE_DIR "/refdata/schema.sql");
const QString sample = QStringLiteral(SPRRATE_SOURCE_DIR "/refdata/sample.sql");

// What a database holds, as text: its character set and dialect, each table's rows, and
// what the trigger and generator give a new rate.
QString contentOf(const QString& path)
{
    QString out;
    auto add = [&](const QString& sql) {
        for (const auto& row : testsupport::queryOn(path, sql)) {
            for (const DbValue& v : row)
                out += textOf(v).trimmed() + u'|';
            out += u'\n';
        }
    };
    add(u"select RDB$CHARACTER_SET_NAME from RDB$DATABASE"_s);
    add(u"select MON$SQL_DIALECT, MON$PAGE_SIZE from MON$DATABASE"_s);
    add(u"select * from FARE_CURRENCY order by 1"_s);
    add(u"select CURRENCY_FROM, CURRENCY_TO, CARRIER_CODE, RATE_AMOUNT, RATE_VALID_FROM, "
        u"RATE_VALID_TO from FARE_CURRENCY_RATE order by RATE_IDENTIFICATOR"_s);
    add(u"select * from VALIDATING_CARRIER order by 1"_s);
    add(u"select * from APPLIED_TAXES order by 1, 2"_s);
    add(u"select RDB$INDEX_NAME from RDB$INDICES where RDB$SYSTEM_FLAG = 0 order by 1"_s);
    return out;
}

TEST(CreateLocalDatabase, HoldsWhatIsqlMakesOfTheSameScripts)
{
    const TestDatabase byIsql(TestDatabase::Content::Sample);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"new/folder/sprrate.gdb"_s);
    createLocalDatabase(path, {schema, sample});
    ASSERT_TRUE(QFileInfo::exists(path));
    EXPECT_EQ(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files | QDir::Hidden),
              QStringList{u"sprrate.gdb"_s});
    const QString made = contentOf(path);
    EXPECT_TRUE(made.contains(u"WIN1251|"_s)) << made.toStdString();
    EXPECT_TRUE(made.contains(u"3|8192|"_s)) << made.toStdString();
    EXPECT_EQ(made, contentOf(byIsql.path()));

    // The trigger numbers a new rate, as in a database made by isql.
    testsupport::execOn(path, u"insert into FARE_CURRENCY_RATE (CURRENCY_FROM, CURRENCY_TO, "
                              u"CARRIER_CODE, RATE_AMOUNT) values ('USD', 'RUB', 'SU', 90)"_s);
    const auto ids = testsupport::queryOn(
        path, u"select count(*) from FARE_CURRENCY_RATE where RATE_IDENTIFICATOR is null"_s);
    EXPECT_EQ(textOf(ids.at(0).at(0)), u"0"_s);
}

TEST(CreateLocalDatabase, RefusesAnExistingFileAndAServer)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"sprrate.gdb"_s);
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("agent's data");
    }
    EXPECT_THROW(createLocalDatabase(path, {schema}), DbError);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("agent's data"));
    EXPECT_THROW(createLocalDatabase(u"dbhost:/srv/sprrate.gdb"_s, {schema}), DbError);
}

TEST(CreateLocalDatabase, AFailingStatementLeavesNoFileAndSaysWhere)
{
    QTemporaryDir dir;
    const QString bad = dir.filePath(u"bad.sql"_s);
    {
        QFile f(bad);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("INSERT INTO FARE_CURRENCY (CURRENCY_CODE) VALUES ('USD');\n\n"
                "INSERT INTO NO_SUCH_TABLE VALUES (1);\n");
    }
    const QString path = dir.filePath(u"sprrate.gdb"_s);
    try {
        createLocalDatabase(path, {schema, bad});
        FAIL() << "the bad script was run";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.message().startsWith(bad + u", line 3: "_s)) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains(u"NO_SUCH_TABLE"_s)) << e.message().toStdString();
    }
    // Nothing at the place, nor a half-made file beside it.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"bad.sql"_s});

    // A script that cannot be read stops it before the file is made.
    EXPECT_THROW(createLocalDatabase(path, {schema, dir.filePath(u"missing.sql"_s)}), DbError);
    EXPECT_FALSE(QFileInfo::exists(path));
}

// A program killed while it made the database leaves its part under a hidden name; the
// next making removes such a part once it is old, and leaves a fresh one (another program
// may be making it) and the parts of other files alone.
TEST(CreateLocalDatabase, RemovesAPartAStoppedAttemptLeft)
{
    QTemporaryDir dir;
    const auto part = [&](const QString& name, int secondsOld) {
        const QString p = dir.filePath(name);
        QFile f(p);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("half a database");
        f.flush();
        EXPECT_TRUE(f.setFileTime(QDateTime::currentDateTime().addSecs(-secondsOld),
                                  QFileDevice::FileModificationTime));
    };
    part(u".sprrate.gdb.4242.part"_s, int(PartLeftAfter.count()) + 60);
    part(u".sprrate.gdb.4343.part"_s, 5);
    part(u".other.gdb.4444.part"_s, int(PartLeftAfter.count()) + 60);
    createLocalDatabase(dir.filePath(u"sprrate.gdb"_s), {schema});
    QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    left.sort();
    EXPECT_EQ(left, (QStringList{u".other.gdb.4444.part"_s, u".sprrate.gdb.4343.part"_s,
                                 u"sprrate.gdb"_s}));
}

} // namespace
