// sprrate-cli end to end: the program copied beside a settings file of the case's own, the
// shipped stored pricing record on a real velmora-term, and an embedded database with
// LH's rates. Each case checks the exit status, what the agent reads on standard error
// and the commands the terminal received.
#include "support/qstringprint.h"
#include "support/qtapp.h"
#include "support/testapplication.h"
#include "support/testdatabase.h"
#include "support/velmoraterm.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <signal.h>

using namespace Qt::Literals::StringLiterals;

namespace {

// The shipped record with the case's rules first (the first rule that matches answers).
QString recordScenario(const QString& rules)
{
    QFile f(QStringLiteral(SPRRATE_SOURCE_DIR "/samples/spr-record.scn"));
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error("samples/spr-record.scn is missing");
    return rules + u"\n"_s + QString::fromUtf8(f.readAll());
}

QString rate(const QString& from, double amount)
{
    return u"insert into FARE_CURRENCY_RATE (CURRENCY_FROM, CURRENCY_TO, CARRIER_CODE, "
           u"RATE_AMOUNT, RATE_VALID_FROM, RATE_VALID_TO) values ('%1', 'RUB', 'LH', %2, "
           u"CURRENT_DATE - 1, CURRENT_DATE + 1)"_s.arg(from)
               .arg(amount, 0, 'g', 17);
}

const QStringList updates = {u"TTI/T01/K2USD92.8000"_s, u"TTK/T01/ERUB52525.00/X"_s,
                             u"TTK/T01/XRUB1262.00YQ/XRUB409.00DE/XRUB2348.00RI/XRUB288.00UH"_s,
                             u"TTK/T01/XRUB195.00OY"_s};

struct CliCase {
    const char* name;
    QByteArray settings;  // further lines of [MAIN]
    QString rules;        // scenario rules before the record's
    QStringList sql;      // further reference data
    QStringList args;     // after the job "run"
    int exitCode;
    QStringList inError;  // texts standard error holds
    QStringList notInError;
    QStringList journal;  // every command the terminal received
};

// The reference data every case starts from, in a database shared by a suite's cases.
template <typename Param> class CliTest : public testing::TestWithParam<Param> {
protected:
    static void SetUpTestSuite() { s_db = std::make_unique<TestDatabase>(); }
    static void TearDownTestSuite() { s_db.reset(); }

    void SetUp() override
    {
        testsupport::ensureCoreApplication();
        s_db->clearLookupData();
        s_db->exec(u"insert into FARE_CURRENCY values ('RUB', 'X', 'CEIL(VALUE/5)*5', "
                   u"'CEIL(INT(VALUE*10)/10)')"_s);
        s_db->exec(rate(u"USD"_s, 92.8));
        s_db->exec(rate(u"EUR"_s, 100.35));
    }

    static inline std::unique_ptr<TestDatabase> s_db;
};
using Cli = CliTest<CliCase>;

TEST_P(Cli, ExitsAndSays)
{
    const CliCase& c = GetParam();
    for (const QString& sql : c.sql)
        s_db->exec(sql);
    testsupport::VelmoraTerm terminal;
    terminal.start(recordScenario(c.rules));
    QTemporaryDir folder;
    const QString program = folder.filePath(u"sprrate-cli"_s);
    ASSERT_TRUE(QFile::copy(QStringLiteral(SPRRATE_CLI_PATH), program));
    testsupport::writeSettingsFile(folder, "[MAIN]\nDATABASE=" + s_db->path().toUtf8() + "\n" +
                                               c.settings);

    QProcess cli;
    cli.start(program, QStringList{u"run"_s, u"--socket"_s, terminal.socket()} + c.args);
    ASSERT_TRUE(cli.waitForFinished(120000));
    const QString err = QString::fromUtf8(cli.readAllStandardError());
    EXPECT_EQ(cli.exitCode(), c.exitCode) << err.toStdString();
    for (const QString& text : c.inError)
        EXPECT_TRUE(err.contains(text)) << err.toStdString();
    for (const QString& text : c.notInError)
        EXPECT_FALSE(err.contains(text)) << err.toStdString();
    EXPECT_EQ(terminal.journal(), c.journal);
}

const QString secondUsdRate = rate(u"USD"_s, 93.25);

INSTANTIATE_TEST_SUITE_P(
    Cases, Cli,
    testing::Values(
        // The terminal holds the rate command back for 2 s.
        CliCase{"DefaultTimeLimitWaitsForASlowHost", {},
                u"match TTI/T01/.* => updated wait 2000"_s, {}, {}, 0, {}, {},
                QStringList{u"MD"_s} + updates},
        // A site may shorten or raise the limit: HOSTTIMELIMIT in seconds.
        CliCase{"ShortTimeLimitGivesUpOnTheSlowHost", "HOSTTIMELIMIT=1\n",
                u"match TTI/T01/.* => updated wait 2000"_s, {}, {}, 1,
                {u"The SPR was not converted: the host terminal failed: The terminal did not "
                 u"answer within 1 s."_s,
                 u"The record may be partly converted. These commands were sent:\nTTI/T01/K2USD92.8000\n"_s},
                {}, {u"MD"_s, u"TTI/T01/K2USD92.8000"_s}},
        CliCase{"RateWithinTheOfferedList", {}, {}, {secondUsdRate}, {u"--rate"_s, u"2"_s}, 0,
                {u"  2. From:USD To:RUB Carrier:LH Rate:93.2500"_s}, {},
                {u"MD"_s, u"TTI/T01/K2USD93.2500"_s, u"TTK/T01/ERUB52780.00/X"_s,
                 u"TTK/T01/XRUB1269.00YQ/XRUB411.00DE/XRUB2360.00RI/XRUB289.00UH"_s,
                 u"TTK/T01/XRUB196.00OY"_s}},
        // Mended: a rate beyond the list is bad usage, not a silent choice of none.
        CliCase{"RateBeyondTheOfferedList", {}, {}, {secondUsdRate}, {u"--rate"_s, u"3"_s}, 2,
                {u"sprrate-cli: --rate 3 is outside the offered rates (1 to 2)"_s},
                {u"Currency rate not found"_s}, {u"MD"_s}},
        CliCase{"RateAndCancelTogether", {}, {}, {}, {u"--rate"_s, u"1"_s, u"--cancel-rate"_s}, 2,
                {u"sprrate-cli: --rate and --cancel-rate cannot be given together"_s}, {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// A server password in a settings file others can read: sprrate-cli warns once at start,
// on standard error, before it goes on.
TEST(CliSettings, ServerPasswordOthersCanReadIsWarnedOnce)
{
    testsupport::ensureCoreApplication();
    for (const auto& [mode, warnings] :
         {std::pair{QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup, 1},
          std::pair{QFile::ReadOwner | QFile::WriteOwner, 0}}) {
        testsupport::VelmoraTerm terminal;
        terminal.start(recordScenario({}));
        QTemporaryDir folder;
        const QString program = folder.filePath(u"sprrate-cli"_s);
        ASSERT_TRUE(QFile::copy(QStringLiteral(SPRRATE_CLI_PATH), program));
        // A server no one listens on: the run fails soon after the warning.
        testsupport::writeSettingsFile(
            folder,
            "[MAIN]\nDATABASE=localhost/1:/srv/sprrate.gdb\nPASSWORD=secret\nDBTIMEOUT=2\n");
        const QString ini = folder.filePath(u"sprrate.INI"_s);
        ASSERT_TRUE(QFile::setPermissions(ini, mode));
        QProcess cli;
        cli.start(program, {u"run"_s, u"--socket"_s, terminal.socket()});
        ASSERT_TRUE(cli.waitForFinished(120000));
        const QString err = QString::fromUtf8(cli.readAllStandardError());
        EXPECT_EQ(err.count(u"other users of this computer can read it. Make it readable by you "
                            u"only: chmod 600 "_s + ini),
                  warnings)
            << err.toStdString();
    }
}

// Asked to end while the terminal holds the fare command back: the run stops at once,
// says which update commands went out, and the status tells the signal.
using CliStopped = CliTest<int>;

TEST_P(CliStopped, EndsAtOnceAndListsWhatWasSent)
{
    const int signal = GetParam();
    testsupport::VelmoraTerm terminal;
    terminal.start(recordScenario(u"on TTK/T01/ERUB52525.00/X => updated wait 20000"_s));
    QTemporaryDir folder;
    const QString program = folder.filePath(u"sprrate-cli"_s);
    ASSERT_TRUE(QFile::copy(QStringLiteral(SPRRATE_CLI_PATH), program));
    testsupport::writeSettingsFile(folder, "[MAIN]\nDATABASE=" + s_db->path().toUtf8() + "\n");

    QProcess cli;
    cli.start(program, QStringList{u"run"_s, u"--socket"_s, terminal.socket()});
    // The database is open and the fare command on its way when the signal comes.
    const QDeadlineTimer held(30000);
    while (!terminal.journal().contains(updates[1]) && !held.hasExpired())
        cli.waitForFinished(20);
    ASSERT_EQ(terminal.journal(), (QStringList{u"MD"_s, updates[0], updates[1]}));
    ::kill(pid_t(cli.processId()), signal);
    ASSERT_TRUE(cli.waitForFinished(10000)) << "the signal did not end sprrate-cli";
    const QString err = QString::fromUtf8(cli.readAllStandardError());
    EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(cli.exitCode(), 128 + signal) << err.toStdString();
    EXPECT_TRUE(err.contains(u"These commands were sent:\n"_s + updates[0] + u"\n"_s + updates[1]))
        << err.toStdString();
    EXPECT_EQ(terminal.journal(), (QStringList{u"MD"_s, updates[0], updates[1]}));
}

INSTANTIATE_TEST_SUITE_P(Signals, CliStopped, testing::Values(SIGTERM, SIGINT),
                         [](const auto& info) { return info.param == SIGTERM ? "SIGTERM" : "SIGINT"; });

} // namespace

// init-db in a portable folder (bin/ with share/sprrate beside it): where it makes the
// database, and what it refuses.
struct InitDbCase {
    const char* name;
    QByteArray settings; // [MAIN], "@" standing for the folder
    bool existing;       // a file is at the database's place already
    QStringList args;    // after "init-db", "@" standing for the folder
    int exitCode;
    QString made;        // the database made, under the folder; empty: none
    QStringList inOutput; // standard output and error, "@" standing for the folder
};

class CliInitDb : public testing::TestWithParam<InitDbCase> {};

TEST_P(CliInitDb, MakesTheDatabaseOnlyWhereNoneIs)
{
    testsupport::ensureCoreApplication();
    const InitDbCase& c = GetParam();
    QTemporaryDir folder;
    const QString root = folder.path();
    auto at = [&](QString s) { return s.replace(u'@', root); };
    ASSERT_TRUE(QDir().mkpath(root + u"/bin"_s));
    ASSERT_TRUE(QDir().mkpath(root + u"/share/sprrate"_s));
    for (const char* script : {"schema.sql", "sample.sql"})
        ASSERT_TRUE(QFile::copy(QStringLiteral(SPRRATE_SOURCE_DIR "/refdata/") + QLatin1String(script),
                                root + u"/share/sprrate/"_s + QLatin1String(script)));
    const QString program = root + u"/bin/sprrate-cli"_s;
    ASSERT_TRUE(QFile::copy(QStringLiteral(SPRRATE_CLI_PATH), program));
    if (!c.settings.isEmpty()) {
        QFile ini(root + u"/bin/sprrate.INI"_s);
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(QByteArray(c.settings).replace('@', QFile::encodeName(root)));
    }
    const QString place = c.made.isEmpty() ? root + u"/data/sprrate.gdb"_s : at(c.made);
    if (c.existing) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(place).absolutePath()));
        QFile f(place);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a database");
    }
    QStringList args{u"init-db"_s};
    for (const QString& a : c.args)
        args << at(a);
    QProcess cli;
    cli.setProcessChannelMode(QProcess::MergedChannels);
    cli.start(program, args);
    ASSERT_TRUE(cli.waitForFinished(120000));
    const QString output = QString::fromUtf8(cli.readAll());
    EXPECT_EQ(cli.exitCode(), c.exitCode) << output.toStdString();
    for (const QString& text : c.inOutput)
        EXPECT_TRUE(output.contains(at(text))) << output.toStdString();
    if (c.existing) {
        QFile f(place);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), QByteArray("not a database"));
    } else if (!c.made.isEmpty()) {
        const bool sample = c.args.contains(u"--sample"_s);
        const auto rows =
            testsupport::queryOn(place, u"select count(*) from VALIDATING_CARRIER"_s);
        EXPECT_EQ(refdata::textOf(rows.at(0).at(0)) != u"0"_s, sample);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliInitDb,
    testing::Values(
        InitDbCase{"DefaultBesideTheFolder", {}, false, {u"--sample"_s}, 0, u"@/data/sprrate.gdb"_s,
                   {u"made the database @/data/sprrate.gdb with the sample reference data"_s}},
        InitDbCase{"DatabaseOfTheSettings", "[MAIN]\nDATABASE=@/db/agency.gdb\n", false, {}, 0,
                   u"@/db/agency.gdb"_s, {u"made the database @/db/agency.gdb\n"_s}},
        InitDbCase{"GivenPathOtherThanTheSettings", "[MAIN]\nDATABASE=@/db/agency.gdb\n", false,
                   {u"--sample"_s, u"@/other.gdb"_s}, 0, u"@/other.gdb"_s,
                   {u"the program uses @/db/agency.gdb; set DATABASE in @/bin/sprrate.INI"_s}},
        InitDbCase{"NeverOverAnExistingFile", {}, true, {}, 1, {},
                   {u"@/data/sprrate.gdb exists already; init-db never overwrites"_s}},
        InitDbCase{"NotOnAServer", "[MAIN]\nDATABASE=dbhost:/srv/sprrate.gdb\n", false, {}, 1, {},
                   {u"dbhost:/srv/sprrate.gdb is a database on a server"_s, u"scripts/make-refdb"_s}},
        InitDbCase{"HostOptionsAreBadUsage", {}, false, {u"--rate"_s, u"1"_s}, 2, {},
                   {u"sprrate-cli init-db [--sample] [PATH]"_s}}),
    [](const auto& info) { return std::string(info.param.name); });

// import-rates: a check that writes nothing, then --yes that writes; a bad file names its
// line and writes nothing; an overlap needs --replace.
TEST(CliImportRates, ChecksWritesAndRefuses)
{
    testsupport::ensureCoreApplication();
    TestDatabase db(TestDatabase::Content::Sample);
    QTemporaryDir folder;
    const QString program = folder.filePath(u"sprrate-cli"_s);
    ASSERT_TRUE(QFile::copy(QStringLiteral(SPRRATE_CLI_PATH), program));
    testsupport::writeSettingsFile(folder, "[MAIN]\nDATABASE=" + db.path().toUtf8() + "\n");
    auto file = [&](const QByteArray& rows) {
        const QString path = folder.filePath(u"rates.csv"_s);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write("FROM;TO;CARRIER;RATE;VALID_FROM;VALID_TO\n" + rows);
        return path;
    };
    auto run = [&](const QStringList& args, QString* output) {
        QProcess cli;
        cli.setProcessChannelMode(QProcess::MergedChannels);
        cli.start(program, QStringList{u"import-rates"_s} + args);
        cli.waitForFinished(60000);
        *output = QString::fromUtf8(cli.readAll());
        return cli.exitCode();
    };
    auto stored = [&] {
        return std::get<qint64>(testsupport::queryOn(db.path(),
                                                     u"select count(*) from FARE_CURRENCY_RATE "
                                                     u"where CARRIER_CODE = 'BA'"_s)
                                    .at(0)
                                    .at(0));
    };
    const qint64 before = stored(); // the sample data's own
    QString out;

    const QString good = file("USD;RUB;BA;92,5;01.01.2027;31.01.2027\n"
                              "USD;RUB;BA;93,25;01.02.2027;28.02.2027\n");
    EXPECT_EQ(run({good}, &out), 0) << out.toStdString();
    EXPECT_TRUE(out.contains(u"2 rates to write:\n  USD RUB BA 92.5000 01.01.2027 31.01.2027\n"_s))
        << out.toStdString();
    EXPECT_TRUE(out.contains(u"Nothing was written (a check only): give --yes"_s));
    EXPECT_EQ(stored(), before);
    EXPECT_EQ(run({good, u"--yes"_s}, &out), 0) << out.toStdString();
    EXPECT_TRUE(out.contains(u"Wrote 2 rates."_s)) << out.toStdString();
    EXPECT_EQ(stored(), before + 2);

    // The same file again overlaps what it wrote.
    EXPECT_EQ(run({good, u"--yes"_s}, &out), 1);
    EXPECT_TRUE(out.contains(u", line 2: overlaps the stored rate 92.5000 valid from 01.01.2027 "
                             u"to 31.01.2027"_s))
        << out.toStdString();
    EXPECT_TRUE(out.contains(u"give --replace"_s));
    EXPECT_EQ(run({good, u"--yes"_s, u"--replace"_s}, &out), 0) << out.toStdString();
    EXPECT_TRUE(out.contains(u"removed the 2 stored rates they replace"_s)) << out.toStdString();
    EXPECT_EQ(stored(), before + 2);

    const QString bad = file("USD;RUB;BA;92,5;01.03.2027;31.03.2027\nUSD;RUB;BA;0;01.04.2027;30.04.2027\n");
    EXPECT_EQ(run({bad, u"--yes"_s}, &out), 1);
    EXPECT_TRUE(out.contains(bad + u", line 3, column RATE: \"0\" is no rate greater than 0"_s))
        << out.toStdString();
    EXPECT_EQ(stored(), before + 2);

    EXPECT_EQ(run({}, &out), 2);
    EXPECT_EQ(run({good, u"--sample"_s}, &out), 2);
}

namespace {
using CliHistory = CliTest<int>;
} // namespace

// Each run leaves its entry, and "history" shows them newest first, of one record and
// from a day on when asked.
TEST_F(CliHistory, PrintsTheJournalNewestFirstAndFilters)
{
    testsupport::VelmoraTerm terminal;
    terminal.start(recordScenario({}));
    QTemporaryDir folder;
    const QString program = folder.filePath(u"sprrate-cli"_s);
    ASSERT_TRUE(QFile::copy(QStringLiteral(SPRRATE_CLI_PATH), program));
    testsupport::writeSettingsFile(folder, "[MAIN]\nDATABASE=" + s_db->path().toUtf8() + "\n");
    const auto cli = [&](const QStringList& args, QString* out = nullptr, QString* err = nullptr) {
        QProcess p;
        p.start(program, args);
        p.waitForFinished(120000);
        if (out)
            *out = QString::fromUtf8(p.readAllStandardOutput());
        if (err)
            *err = QString::fromUtf8(p.readAllStandardError());
        return p.exitCode();
    };
    QString out, err;
    EXPECT_EQ(cli({u"history"_s}, &out), 0);
    EXPECT_TRUE(out.startsWith(u"No entries in "_s)) << out.toStdString();

    ASSERT_EQ(cli({u"run"_s, u"--socket"_s, terminal.socket()}), 0);
    // The display now shows the host's acknowledgement, whose header names the record but
    // which holds no amounts: this run fails with a message.
    ASSERT_EQ(cli({u"run"_s, u"--socket"_s, terminal.socket()}), 1);

    EXPECT_EQ(cli({u"history"_s}, &out, &err), 0) << err.toStdString();
    QStringList lines = out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << out.toStdString();
    EXPECT_TRUE(lines[0].startsWith(u"Time"_s));
    EXPECT_TRUE(lines[1].contains(u" failed "_s)) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].contains(u" 0 of 0"_s)) << lines[1].toStdString();
    for (const QString& text : {u" run "_s, u" 01 "_s, u" LH "_s, u" USD "_s, u" RUB "_s,
                                u" 92.8000 "_s, u" converted "_s, u" 4 of 4"_s})
        EXPECT_TRUE(lines[2].contains(text)) << text.toStdString() << " in " << lines[2].toStdString();

    EXPECT_EQ(cli({u"history"_s, u"--record"_s, u"1"_s}, &out), 0);
    EXPECT_EQ(out.split(u'\n', Qt::SkipEmptyParts).size(), 3) << out.toStdString();
    EXPECT_EQ(cli({u"history"_s, u"--record"_s, u"02"_s}, &out), 0);
    EXPECT_TRUE(out.startsWith(u"No entries in "_s) && out.contains(u" match."_s)) << out.toStdString();

    EXPECT_EQ(cli({u"history"_s, u"--since"_s, QDate::currentDate().toString(u"dd.MM.yyyy"_s)}, &out), 0);
    EXPECT_EQ(out.split(u'\n', Qt::SkipEmptyParts).size(), 3) << out.toStdString();
    EXPECT_EQ(cli({u"history"_s, u"--since"_s, QDate::currentDate().addDays(1).toString(Qt::ISODate)},
                  &out),
              0);
    EXPECT_TRUE(out.startsWith(u"No entries in "_s) && out.contains(u" match."_s)) << out.toStdString();

    // Bad usage.
    EXPECT_EQ(cli({u"history"_s, u"--since"_s, u"31.02.2026"_s}, nullptr, &err), 2);
    EXPECT_TRUE(err.contains(u"--since takes a day"_s)) << err.toStdString();
    EXPECT_EQ(cli({u"run"_s, u"--record"_s, u"1"_s}, nullptr, &err), 2);
    EXPECT_EQ(cli({u"history"_s, u"--socket"_s, u"x"_s}, nullptr, &err), 2);

    // A line cut short by a crash is left out, and said so.
    {
        QFile journal(folder.filePath(u"sprrate-journal.jsonl"_s));
        ASSERT_TRUE(journal.open(QIODevice::Append));
        journal.write("{\"time\":");
    }
    EXPECT_EQ(cli({u"history"_s}, &out, &err), 0);
    EXPECT_EQ(out.split(u'\n', Qt::SkipEmptyParts).size(), 3);
    EXPECT_TRUE(err.contains(u"1 line of the journal is no entry and is left out"_s))
        << err.toStdString();
}
