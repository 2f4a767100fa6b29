// Faults in the middle of a session: the database server stopped or killed and brought
// back, and the terminal killed while a conversion run waits for its answer. The
// program must report each, write nothing half-way, and work again without a restart
// once the other side is back.
#include "app/application.h"
#include "pricing/conversionrun.h"
#include "refdata/referencedb.h"
#include "refdata/tablebrowser.h"

#include "support/firebirdserver.h"
#include "support/qstringprint.h"
#include "support/qtapp.h"
#include "support/recordinginteraction.h"
#include "support/testapplication.h"
#include "support/termlinkrelay.h"
#include "support/testdatabase.h"
#include "support/velmoraterm.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <signal.h>

#include <atomic>
#include <condition_variable>
#include <iostream>
#include <mutex>
#include <thread>

using namespace Qt::Literals::StringLiterals;
using Outcome = pricing::RunResult::Outcome;

namespace {

// The shipped record (fare EUR, equivalent and taxes USD, carrier LH) with rules of the
// case's own in front, which answer before the shipped ones. The record stays on the
// screen after its update, so that every run finds it.
QString recordScenario(QString rules)
{
    rules += u"\nmatch TT[IK]/T01/.* => updated then spr\n"_s;
    QFile f(QStringLiteral(SPRRATE_SOURCE_DIR "/samples/spr-record.scn"));
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error("samples/spr-record.scn is missing");
    return rules + u"\n"_s + QString::fromUtf8(f.readAll());
}

const QStringList referenceData = {
    u"insert into FARE_CURRENCY values ('RUB', 'RUBLE', 'CEIL(VALUE/5)*5', "
    u"'CEIL(INT(VALUE*10)/10)')"_s,
    u"insert into FARE_CURRENCY values ('USD', 'US DOLLAR', 'CEIL(VALUE)', 'CEIL(VALUE)')"_s,
    u"insert into FARE_CURRENCY values ('EUR', 'EURO', 'CEIL(VALUE)', 'CEIL(VALUE)')"_s,
    u"insert into FARE_CURRENCY_RATE (CURRENCY_FROM, CURRENCY_TO, CARRIER_CODE, RATE_AMOUNT, "
    u"RATE_VALID_FROM, RATE_VALID_TO) values ('USD', 'RUB', 'LH', 92.8, CURRENT_DATE - 1, "
    u"CURRENT_DATE + 1)"_s,
    u"insert into FARE_CURRENCY_RATE (CURRENCY_FROM, CURRENCY_TO, CARRIER_CODE, RATE_AMOUNT, "
    u"RATE_VALID_FROM, RATE_VALID_TO) values ('EUR', 'RUB', 'LH', 100.35, CURRENT_DATE - 1, "
    u"CURRENT_DATE + 1)"_s,
};

// ---------------------------------------------------------------------------------------
// The database server goes away and comes back.

enum class ServerFault { Stopped, Killed };

class ServerGone : public testing::TestWithParam<ServerFault> {
protected:
    void SetUp() override
    {
        testsupport::ensureCoreApplication();
        location = server.createDatabase(u"ref.gdb"_s, false);
        for (const QString& sql : referenceData)
            exec(sql);
    }

    void exec(const QString& sql)
    {
        testsupport::execOn(location, sql, testsupport::FirebirdServer::userName(),
                            testsupport::FirebirdServer::password());
    }

    void fault()
    {
        if (GetParam() == ServerFault::Stopped)
            server.stop();
        else
            server.kill();
    }

    testsupport::FirebirdServer server;
    QString location;
};

TEST_P(ServerGone, LookupsAndListsFailWithTheServersTextThenWorkWhenItIsBack)
{
    refdata::ReferenceDatabase db;
    db.setLocation(location, u"sysdba"_s, u"lanternix"_s);
    ASSERT_EQ(db.findRates(u"USD"_s, u"RUB"_s, u"LH"_s).size(), 1u);
    refdata::TableBrowser list(db);
    list.setTableName(u"FARE_CURRENCY_RATE"_s);
    list.open();
    ASSERT_EQ(list.windowRowCount(), 2);

    fault();

    // The attachment is found gone by the next statement: the server's own text.
    try {
        db.findRates(u"USD"_s, u"RUB"_s, u"LH"_s);
        ADD_FAILURE() << "a lookup on a stopped server succeeded";
    } catch (const refdata::DbError& e) {
        std::cout << "[ figures ] lost connection: " << e.message().toStdString() << "\n";
        EXPECT_TRUE(e.isConnectionLost()) << e.message().toStdString();
        EXPECT_FALSE(e.message().isEmpty());
    }
    EXPECT_FALSE(db.connected()) << "the dead attachment is dropped";
    // While the server is away every action tries to connect again and says why not.
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            list.refresh();
            ADD_FAILURE() << "a list refresh on a stopped server succeeded";
        } catch (const refdata::DbError& e) {
            std::cout << "[ figures ] server away: " << e.message().toStdString() << "\n";
            EXPECT_TRUE(e.message().contains(u"Unable to complete network request"_s))
                << e.message().toStdString();
            // With what it means and what to do.
            EXPECT_TRUE(e.message().startsWith(u"The database server of "_s + location +
                                               u" cannot be reached ("_s))
                << e.message().toStdString();
        }
    }

    server.start();

    // No restart of the program: the next actions connect again.
    EXPECT_EQ(db.findRates(u"EUR"_s, u"RUB"_s, u"LH"_s).size(), 1u);
    list.refresh();
    EXPECT_EQ(list.windowRowCount(), 2);
    list.first();
    list.edit();
    const double before = list.number(u"RATE_AMOUNT"_s);
    list.setNumber(u"RATE_AMOUNT"_s, before + 1);
    list.post();
    const auto rows = db.findRates(list.text(u"CURRENCY_FROM"_s), u"RUB"_s, u"LH"_s);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].rateAmount, before + 1);
}

TEST_P(ServerGone, ListLosingTheServerWhileEditingKeepsNothingHalfDone)
{
    refdata::ReferenceDatabase db;
    db.setLocation(location, u"sysdba"_s, u"lanternix"_s);
    refdata::TableBrowser list(db);
    list.setTableName(u"FARE_CURRENCY_RATE"_s);
    list.open();
    list.edit();
    const double before = list.number(u"RATE_AMOUNT"_s);
    list.setNumber(u"RATE_AMOUNT"_s, before * 2);

    fault();
    EXPECT_THROW(list.post(), refdata::DbError);
    server.start();

    // The edit was never committed: the row holds its old rate, and it can be edited
    // again (no lock is left behind).
    list.cancel();
    list.refresh();
    EXPECT_EQ(list.number(u"RATE_AMOUNT"_s), before);
    list.edit();
    list.setNumber(u"RATE_AMOUNT"_s, before + 0.5);
    list.post();
    list.refresh();
    EXPECT_EQ(list.number(u"RATE_AMOUNT"_s), before + 0.5);
}

TEST_P(ServerGone, ConversionRunReportsTheServerAndRunsAgainWhenItIsBack)
{
    QTemporaryDir folder;
    testsupport::VelmoraTerm terminal;
    terminal.start(recordScenario({}));
    host::AutomationRegistry registry;
    testsupport::RecordingInteraction ui;
    auto a = testsupport::makeApplication(folder, location, terminal.socket(), registry, ui);

    ASSERT_EQ(a->btnRunClick().outcome, Outcome::Converted)
        << ui.messages.join(u'|').toStdString() << terminal.journal().join(u' ').toStdString();

    fault();
    // Each run starts from the record on the screen.
    terminal.kill();
    terminal.start(recordScenario({}));
    const qsizetype sentBefore = terminal.journal().size();
    ui.messages.clear();
    EXPECT_EQ(a->btnRunClick().outcome, Outcome::Failed);
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_TRUE(ui.messages[0].startsWith(u"The SPR was not converted: "_s))
        << ui.messages[0].toStdString();
    for (const QString& command : terminal.journal().mid(sentBefore))
        EXPECT_FALSE(command.startsWith(u"TT"_s)) << "written: " << command.toStdString();
    // While the server is away, the run cannot open the database: raised to the caller.
    EXPECT_THROW(a->btnRunClick(), refdata::DbError);

    server.start();
    terminal.kill();
    terminal.start(recordScenario({}));
    ui.messages.clear();
    EXPECT_EQ(a->btnRunClick().outcome, Outcome::Converted) << ui.messages.join(u'|').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Faults, ServerGone,
                         testing::Values(ServerFault::Stopped, ServerFault::Killed),
                         [](const auto& info) {
                             return info.param == ServerFault::Stopped ? "Stopped" : "Killed";
                         });

// ---------------------------------------------------------------------------------------
// The database server freezes (SIGSTOP): its port takes connections and nothing answers.
// Every action must end within the time limit with the "does not answer" message, and
// work again once the server goes on.

enum class FrozenAt { Lookup, NewConnection, ListRefresh, ListPost };

struct FreezeCase {
    const char* name;
    FrozenAt when;
};

class ServerFrozen : public testing::TestWithParam<FreezeCase> {
protected:
    static constexpr std::chrono::seconds Limit{2};
    // Generous: the point is that the action does not hang, not how fast it fails.
    static constexpr qint64 BoundMs = (Limit.count() + 8) * 1000;

    void SetUp() override
    {
        testsupport::ensureCoreApplication();
        location = server.createDatabase(u"ref.gdb"_s, false);
        for (const QString& sql : referenceData)
            testsupport::execOn(location, sql, testsupport::FirebirdServer::userName(),
                                testsupport::FirebirdServer::password());
        db.setLocation(location, u"sysdba"_s, u"lanternix"_s);
        db.IBDatabase.setTimeLimit(Limit);
    }

    testsupport::FirebirdServer server;
    QString location;
    refdata::ReferenceDatabase db;
};

TEST_P(ServerFrozen, TheActionEndsWithinTheLimitAndTheNextOneConnectsAgain)
{
    refdata::TableBrowser list(db);
    list.setTableName(u"FARE_CURRENCY_RATE"_s);
    if (GetParam().when != FrozenAt::NewConnection) {
        ASSERT_EQ(db.findRates(u"USD"_s, u"RUB"_s, u"LH"_s).size(), 1u);
        list.open();
        ASSERT_EQ(list.windowRowCount(), 2);
    }
    if (GetParam().when == FrozenAt::ListPost) {
        list.edit();
        list.setNumber(u"RATE_AMOUNT"_s, 1.5);
    }

    server.pause();
    // Should the action hang, the server goes on after a while, so that the test ends
    // (and fails on the time) instead of hanging too.
    std::mutex m;
    std::condition_variable done;
    bool finished = false;
    std::thread rescue([&] {
        std::unique_lock lock(m);
        if (!done.wait_for(lock, std::chrono::seconds(60), [&] { return finished; }))
            server.resume();
    });
    QElapsedTimer elapsed;
    elapsed.start();
    QString message;
    try {
        switch (GetParam().when) {
        case FrozenAt::Lookup:
        case FrozenAt::NewConnection:
            db.findRates(u"USD"_s, u"RUB"_s, u"LH"_s);
            break;
        case FrozenAt::ListRefresh:
            list.refresh();
            break;
        case FrozenAt::ListPost:
            list.post();
            break;
        }
        ADD_FAILURE() << "the action succeeded on a frozen server";
    } catch (const refdata::DbError& e) {
        message = e.message();
    }
    const qint64 ms = elapsed.elapsed();
    {
        const std::lock_guard lock(m);
        finished = true;
    }
    done.notify_one();
    rescue.join();
    std::cout << "[ figures ] frozen server, " << GetParam().name << ": failed after " << ms
              << " ms (limit " << Limit.count() << " s): " << message.toStdString() << "\n";
    EXPECT_LT(ms, BoundMs);
    EXPECT_EQ(message, db.IBDatabase.timeoutMessage());
    EXPECT_TRUE(message.contains(location)) << "the message says where the database is";
    EXPECT_FALSE(db.connected()) << "the connection is dropped";

    server.resume();
    if (GetParam().when == FrozenAt::ListPost)
        list.cancel();
    EXPECT_EQ(db.findRates(u"EUR"_s, u"RUB"_s, u"LH"_s).size(), 1u);
    if (GetParam().when == FrozenAt::NewConnection)
        list.open();
    else
        list.refresh();
    EXPECT_EQ(list.windowRowCount(), 2);
    EXPECT_NE(list.number(u"RATE_AMOUNT"_s), 1.5) << "the edit cut off was not committed";
}

INSTANTIATE_TEST_SUITE_P(Faults, ServerFrozen,
                         testing::Values(FreezeCase{"Lookup", FrozenAt::Lookup},
                                         FreezeCase{"NewConnection", FrozenAt::NewConnection},
                                         FreezeCase{"ListRefresh", FrozenAt::ListRefresh},
                                         FreezeCase{"ListPost", FrozenAt::ListPost}),
                         [](const auto& info) { return std::string(info.param.name); });

// The limit comes from the settings file (DBTIMEOUT): a conversion run on a frozen
// server ends with the message, before any update command.
TEST(ServerFrozenUnderARun, TheRunStopsWithinTheSettingsLimitAndWritesNothing)
{
    testsupport::ensureCoreApplication();
    testsupport::FirebirdServer server;
    const QString location = server.createDatabase(u"run.gdb"_s, false);
    for (const QString& sql : referenceData)
        testsupport::execOn(location, sql, testsupport::FirebirdServer::userName(),
                            testsupport::FirebirdServer::password());
    testsupport::VelmoraTerm terminal;
    terminal.start(recordScenario({}));
    QTemporaryDir folder;
    testsupport::writeSettingsFile(folder, "[MAIN]\nDATABASE=" + location.toUtf8() +
                                               "\nDBTIMEOUT=2\n");
    host::AutomationRegistry registry;
    host::registerTermLink(registry, {terminal.socket(), std::chrono::seconds(30)});
    testsupport::RecordingInteraction ui;
    auto a = testsupport::startApplication(folder, registry, ui);
    a->settings().getTaxOrgCurrency = true; // the run looks up each tax's currency too
    ASSERT_EQ(a->btnRunClick().outcome, Outcome::Converted) << ui.messages.join(u'|').toStdString();

    terminal.kill();
    terminal.start(recordScenario({}));
    ui.messages.clear();
    server.pause();
    std::atomic<bool> ended{false};
    std::thread rescue([&] {
        // Ends a hang after a minute, so that the test fails instead of hanging.
        for (int i = 0; i < 600 && !ended; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (!ended)
            server.resume();
    });
    QElapsedTimer elapsed;
    elapsed.start();
    const pricing::RunResult result = a->btnRunClick();
    const qint64 ms = elapsed.elapsed();
    ended = true;
    rescue.join();
    server.resume();
    std::cout << "[ figures ] frozen server under a run (DBTIMEOUT=2): the run ended after " << ms
              << " ms\n";
    EXPECT_LT(ms, 10000);
    EXPECT_EQ(result.outcome, Outcome::Failed);
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_TRUE(ui.messages[0].startsWith(u"The SPR was not converted: the reference database "
                                          u"failed: The database does not answer: "_s +
                                          location))
        << ui.messages[0].toStdString();
    EXPECT_TRUE(result.updateCommands.isEmpty());
}

// sprrate-cli on a database the server serves, as "DATABASE=host/port:path" names it.
TEST(ServerLocation, CommandLineRunConvertsFromADatabaseOnTheServer)
{
    testsupport::ensureCoreApplication();
    testsupport::FirebirdServer server;
    const QString location = server.createDatabase(u"cli.gdb"_s, true);
    testsupport::VelmoraTerm terminal;
    terminal.start(recordScenario({}));

    // The program reads the settings file beside itself.
    QTemporaryDir folder;
    const QString program = folder.filePath(u"sprrate-cli"_s);
    ASSERT_TRUE(QFile::copy(QStringLiteral(SPRRATE_CLI_PATH), program));
    testsupport::writeSettingsFile(folder, "[MAIN]\nDATABASE=" + location.toUtf8() + "\n");

    QProcess cli;
    cli.start(program, {u"run"_s, u"--socket"_s, terminal.socket()});
    ASSERT_TRUE(cli.waitForFinished(60000));
    const QString out = QString::fromUtf8(cli.readAllStandardOutput());
    EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    EXPECT_TRUE(out.contains(u"TTI/T01/K2USD92.8000"_s)) << out.toStdString();
    EXPECT_TRUE(terminal.journal().contains(u"TTI/T01/K2USD92.8000"_s));
}

// ---------------------------------------------------------------------------------------
// The terminal is killed while the run waits for its answer.

struct KillCase {
    const char* name;
    QString rules;      // the command held back, so that the kill finds the run waiting
    QStringList sql;    // further changes of the reference data
    QString held;       // how the command the run waits for begins
    bool sentUpdates;   // update commands went out before the kill
};

class TerminalKilled : public testing::TestWithParam<KillCase> {
protected:
    static void SetUpTestSuite() { s_db = std::make_unique<TestDatabase>(); }
    static void TearDownTestSuite() { s_db.reset(); }
    void SetUp() override
    {
        testsupport::ensureCoreApplication();
        s_db->clearLookupData();
        for (const QString& sql : referenceData)
            s_db->exec(sql);
    }
    static std::unique_ptr<TestDatabase> s_db;
};
std::unique_ptr<TestDatabase> TerminalKilled::s_db;

qint64 rateCount(const QString& path)
{
    return std::get<qint64>(
        testsupport::queryOn(path, u"select count(*) from FARE_CURRENCY_RATE"_s).front().front());
}

TEST_P(TerminalKilled, RunEndsWithItsMessageWritesNothingAndWorksWhenTheTerminalIsBack)
{
    const KillCase& c = GetParam();
    for (const QString& sql : c.sql)
        s_db->exec(sql);
    const qint64 ratesBefore = rateCount(s_db->path());

    QTemporaryDir folder;
    testsupport::VelmoraTerm terminal;
    terminal.start(recordScenario(c.rules));
    host::AutomationRegistry registry;
    testsupport::RecordingInteraction ui;
    // The program's own time limit; taxes converted in their own currencies.
    auto a = testsupport::makeApplication(folder, s_db->path(), terminal.socket(), registry, ui);
    a->settings().getTaxOrgCurrency = true;

    const qint64 pid = terminal.pid();
    QElapsedTimer elapsed;
    elapsed.start();
    std::atomic<qint64> killedAt{-1};
    // Killed once the terminal has the held command (not after a fixed time, which a
    // loaded machine may not reach it in), and at least 400 ms into the run.
    std::thread killer([&, pid] {
        const QDeadlineTimer deadline(20000);
        while (!deadline.hasExpired()) {
            const QStringList journal = terminal.journal();
            if (!journal.isEmpty() && journal.last().startsWith(c.held))
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        killedAt = elapsed.elapsed();
        ::kill(pid_t(pid), SIGKILL);
    });
    const pricing::RunResult result = a->btnRunClick();
    const qint64 ms = elapsed.elapsed();
    killer.join();
    std::cout << "[ figures ] " << c.name << ": the run ended " << ms
              << " ms after it started (killed at " << killedAt << " ms)\n";

    ASSERT_FALSE(terminal.journal().isEmpty());
    EXPECT_TRUE(terminal.journal().last().startsWith(c.held))
        << "killed while waiting for " << terminal.journal().last().toStdString();
    EXPECT_EQ(result.outcome, Outcome::Failed);
    ASSERT_EQ(ui.messages.size(), 1);
    const QString& m = ui.messages[0];
    EXPECT_TRUE(m.startsWith(u"The SPR was not converted: the host terminal failed: The terminal "
                             u"closed the connection before answering."_s))
        << m.toStdString();
    EXPECT_EQ(m.contains(u"The record may be partly converted"_s), c.sentUpdates) << m.toStdString();
    EXPECT_EQ(rateCount(s_db->path()), ratesBefore) << "nothing is written to the database";

    // The terminal comes back on the same socket: the next run works.
    terminal.kill();
    terminal.start(recordScenario({}));
    ui.messages.clear();
    EXPECT_EQ(a->btnRunClick().outcome, Outcome::Converted) << ui.messages.join(u'|').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, TerminalKilled,
    testing::Values(
        // A tax charged in GBP, whose rate is missing: the run asks the host for it and
        // the terminal dies before the answer, so no rate may be stored.
        KillCase{"WhileAskingTheHostForARate", u"match FQC.* => updated then spr wait 20000"_s,
                 {u"insert into FARE_CURRENCY values ('GBP', 'POUND', 'CEIL(VALUE)', "
                  u"'CEIL(VALUE)')"_s,
                  u"insert into APPLIED_TAXES (TAX_CODE, TAX_NAME, CURRENCY_CODE, CARRIER_CODE, "
                  u"COUNTRY_CODE) values ('YQ', 'SURCHARGE', 'GBP', '', 'GB')"_s},
                 u"FQC"_s, false},
        // The terminal dies under the first update command.
        KillCase{"WhileWritingTheRecord", u"match TTI/T01/.* => updated then spr wait 20000"_s, {},
                 u"TTI/T01/"_s, true}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------
// The terminal breaks the link's protocol during a run: it answers the display request
// twice, so that the copy would be taken for the answer to "MD" and the tax page never
// read. The run must stop as for a failed terminal, before any update command.

TEST(TerminalBreaksTheProtocol, ADisplayAnsweredTwiceStopsTheRunBeforeAnyUpdate)
{
    testsupport::ensureCoreApplication();
    TestDatabase db;
    for (const QString& sql : referenceData)
        db.exec(sql);
    QTemporaryDir folder;
    testsupport::VelmoraTerm terminal;
    terminal.start(recordScenario({}));
    testsupport::TermLinkRelay relay(terminal.socket(), terminal.socket() + u".relay"_s,
                                     [](const QByteArray& request, const QByteArray& answer) {
                                         return testsupport::TermLinkRelay::kindOf(request) == 'L'
                                                    ? answer + answer
                                                    : answer;
                                     });
    host::AutomationRegistry registry;
    testsupport::RecordingInteraction ui;
    auto a = testsupport::makeApplication(folder, db.path(), relay.socket(), registry, ui);

    const pricing::RunResult result = a->btnRunClick();
    EXPECT_EQ(result.outcome, Outcome::Failed) << ui.messages.join(u'|').toStdString();
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_TRUE(ui.messages[0].startsWith(
        u"The SPR was not converted: the host terminal failed: Protocol error on the terminal "
        u"link: "_s))
        << ui.messages[0].toStdString();
    EXPECT_TRUE(ui.messages[0].contains(u"Nothing was written to the record."_s));
    EXPECT_TRUE(result.updateCommands.isEmpty());
    for (const QString& command : terminal.journal())
        EXPECT_FALSE(command.startsWith(u"TT"_s)) << "written: " << command.toStdString();

    // The terminal itself is well: straight to it, the next run converts.
    host::AutomationRegistry direct;
    auto b = testsupport::makeApplication(folder, db.path(), terminal.socket(), direct, ui);
    ui.messages.clear();
    EXPECT_EQ(b->btnRunClick().outcome, Outcome::Converted) << ui.messages.join(u'|').toStdString();
}

} // namespace
