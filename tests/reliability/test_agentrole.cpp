// The agents' role on a database shared through a private Firebird server: an agent's
// user made by scripts/make-refdb --agent does all the program does through the
// program's own classes, and the server refuses it the schema, other tables and the
// security database, with the server's words in the program's message; a user without
// the role hears which rights it lacks and what to do.
#include "support/firebirdserver.h"
#include "support/qstringprint.h"
#include "support/qtapp.h"
#include "support/testdatabase.h"

#include "refdata/referencedb.h"
#include "refdata/tablebrowser.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace Qt::Literals::StringLiterals;
using testsupport::FirebirdServer;

namespace {

const QString AgentName = u"AGENT_ONE"_s;
const QString AgentPassword = u"an'agent's pw"_s;
const QString PlainName = u"NO_ROLE"_s;
const QString PlainPassword = u"plain-pw"_s;

class AgentRole : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        testsupport::ensureCoreApplication();
        server = std::make_unique<FirebirdServer>();
        location = server->createDatabase(u"agents.gdb"_s, true);
        printedLines = server->createAgent(location, AgentName, AgentPassword);
        admin(u"CREATE USER %1 PASSWORD '%2'"_s.arg(PlainName, PlainPassword));
        admin(u"CREATE TABLE OFFICE_ACCOUNTS (ACCOUNT_NAME VARCHAR(20))"_s);
        admin(u"INSERT INTO OFFICE_ACCOUNTS VALUES ('SECRET')"_s);
    }
    static void TearDownTestSuite() { server.reset(); }

    static void admin(const QString& sql)
    {
        testsupport::execOn(location, sql, FirebirdServer::userName(), FirebirdServer::password());
    }
    static qint64 adminCount(const QString& sql)
    {
        return std::get<qint64>(testsupport::queryOn(location, sql, FirebirdServer::userName(),
                                                     FirebirdServer::password())
                                    .front()
                                    .front());
    }

    // The program's database as an agent's settings give it.
    static std::unique_ptr<refdata::ReferenceDatabase> program(const QString& user,
                                                               const QString& password,
                                                               const QString& role)
    {
        auto db = std::make_unique<refdata::ReferenceDatabase>();
        db->setLocation(location, user, password, role);
        return db;
    }
    static std::unique_ptr<refdata::ReferenceDatabase> agent()
    {
        return program(AgentName, AgentPassword, refdata::AgentRole.toString());
    }

    // The message of the database error an action raises; empty when it raises none.
    static QString refusal(const std::function<void()>& action)
    {
        try {
            action();
        } catch (const refdata::DbError& e) {
            return e.message();
        }
        return {};
    }

    static inline std::unique_ptr<FirebirdServer> server;
    static inline QString location;
    static inline QString printedLines;
};

TEST_F(AgentRole, MakeRefdbPrintsTheAgentsSettingsLines)
{
    EXPECT_EQ(printedLines, u"DATABASE=%1\nUSERNAME=%2\nPASSWORD=%3\nROLE=SPRRATE_AGENT\n"_s.arg(
                                location, AgentName, AgentPassword));
}

TEST_F(AgentRole, AgentDoesEverythingTheProgramDoes)
{
    auto db = agent();
    refdata::TableBrowser currencies(*db);
    currencies.setTableName(u"FARE_CURRENCY"_s);
    currencies.open();
    currencies.append();
    currencies.setText(u"CURRENCY_CODE"_s, u"ZZZ"_s);
    currencies.setText(u"CURRENCY_NAME"_s, u"TEST MONEY"_s);
    currencies.setText(u"CURRENCY_FARE_RULE"_s, u"CEIL(VALUE)"_s);
    currencies.post();

    refdata::TableBrowser providers(*db);
    providers.setTableName(u"VALIDATING_CARRIER"_s);
    providers.open();
    providers.append();
    providers.setText(u"CARRIER_CODE"_s, u"ZZ"_s);
    providers.setText(u"CARRIER_NAME"_s, u"TEST AIR"_s);
    providers.post();

    refdata::TableBrowser taxes(*db);
    taxes.setTableName(u"APPLIED_TAXES"_s);
    // A row the trigger numbers is not the current one after its post: the list on it
    // alone, read again, has it.
    taxes.setFilter(u"TAX_CODE = 'ZT'"_s);
    taxes.setFiltered(true);
    taxes.open();
    taxes.append();
    taxes.setText(u"TAX_CODE"_s, u"ZT"_s);
    taxes.setText(u"CURRENCY_CODE"_s, u"ZZZ"_s);
    taxes.setText(u"CARRIER_CODE"_s, u"ZZ"_s);
    taxes.post();
    taxes.refresh();
    ASSERT_EQ(taxes.text(u"TAX_CODE"_s), u"ZT"_s);

    // The host fallback's rate, then the lookups that find it.
    db->insertRate(u"ZZ"_s, u"USD"_s, u"ZZZ"_s, 2.5);
    const auto rates = db->findRates(u"usd"_s, u"zzz"_s, u"zz"_s);
    ASSERT_EQ(rates.size(), 1u);
    EXPECT_EQ(rates[0].rateAmount, 2.5);
    EXPECT_EQ(rates[0].fareRule, u"CEIL(VALUE)"_s);
    EXPECT_EQ(db->findTaxCurrency(u"ZT"_s, u"ZZ"_s), std::optional<QString>(u"ZZZ"_s));

    // The rate list edits and deletes the stored rate.
    refdata::TableBrowser rateList(*db);
    rateList.setTableName(u"FARE_CURRENCY_RATE"_s);
    rateList.setFilter(u"CARRIER_CODE = 'ZZ'"_s);
    rateList.setFiltered(true);
    rateList.open();
    ASSERT_FALSE(rateList.isEmpty());
    rateList.edit();
    rateList.setNumber(u"RATE_AMOUNT"_s, 3.5);
    rateList.post();
    EXPECT_EQ(adminCount(u"select count(*) from FARE_CURRENCY_RATE where CARRIER_CODE = 'ZZ' "
                         u"and RATE_AMOUNT = 3.5"_s),
              1);
    rateList.deleteRow();

    // The other lists edit and delete theirs.
    providers.edit();
    providers.setText(u"CARRIER_NAME"_s, u"TEST AIRWAYS"_s);
    providers.post();
    EXPECT_EQ(adminCount(u"select count(*) from VALIDATING_CARRIER where CARRIER_NAME = "
                         u"'TEST AIRWAYS'"_s),
              1);
    taxes.edit();
    taxes.setText(u"TAX_NAME"_s, u"TEST TAX"_s);
    taxes.post();
    taxes.deleteRow();
    providers.deleteRow();
    currencies.edit();
    currencies.setText(u"CURRENCY_NAME"_s, u"TEST MONEY 2"_s);
    currencies.post();
    currencies.deleteRow();
    EXPECT_EQ(adminCount(u"select (select count(*) from FARE_CURRENCY where CURRENCY_CODE = "
                         u"'ZZZ') + (select count(*) from VALIDATING_CARRIER where CARRIER_CODE "
                         u"= 'ZZ') + (select count(*) from APPLIED_TAXES where TAX_CODE = 'ZT') "
                         u"+ (select count(*) from FARE_CURRENCY_RATE where CARRIER_CODE = 'ZZ') "
                         u"from RDB$DATABASE"_s),
              0);
}

struct RefusedCase {
    const char* name;
    const char16_t* sql;
    const char16_t* serverText; // what the server's own message says
};

class AgentRefused : public AgentRole, public testing::WithParamInterface<RefusedCase> {};

TEST_P(AgentRefused, WithTheServersText)
{
    const RefusedCase& c = GetParam();
    const QString message = refusal([&] {
        testsupport::execOn(location, QString::fromUtf16(c.sql), AgentName, AgentPassword);
    });
    // execOn attaches without a role; the same statement with the role:
    refdata::Connection connection;
    connection.setRole(refdata::AgentRole.toString());
    const QString withRole = refusal([&] {
        testsupport::attach(connection, location, AgentName, AgentPassword);
        refdata::Transaction t(connection, {u"write"_s, u"concurrency"_s});
        refdata::Statement s(connection, QString::fromUtf16(c.sql));
        s.execute(t);
        t.commit();
    });
    EXPECT_FALSE(message.isEmpty());
    EXPECT_TRUE(withRole.contains(QString::fromUtf16(c.serverText))) << withRole.toStdString();
    EXPECT_FALSE(withRole.contains(u"ROLE="_s))
        << "a refusal outside the program's rights is not the role's lack: " << withRole.toStdString();
    EXPECT_EQ(adminCount(u"select count(*) from OFFICE_ACCOUNTS"_s), 1);
    EXPECT_EQ(adminCount(u"select count(*) from RDB$RELATIONS where RDB$RELATION_NAME in "
                         u"('FARE_CURRENCY', 'AGENT_TABLE') and RDB$SYSTEM_FLAG = 0"_s),
              1);
}

const RefusedCase refusedCases[] = {
    {"DropTable", u"DROP TABLE FARE_CURRENCY", u"DROP TABLE FARE_CURRENCY failed"},
    {"AlterTable", u"ALTER TABLE FARE_CURRENCY ADD EXTRA INTEGER", u"ALTER TABLE FARE_CURRENCY failed"},
    {"CreateTable", u"CREATE TABLE AGENT_TABLE (A INTEGER)", u"CREATE TABLE AGENT_TABLE failed"},
    {"ResetGenerator", u"ALTER SEQUENCE GEN_TAXEID RESTART WITH 0", u"GEN_TAXEID"},
    {"OtherTable", u"DELETE FROM OFFICE_ACCOUNTS", u"no permission for DELETE access to TABLE OFFICE_ACCOUNTS"},
    {"SystemTable", u"UPDATE RDB$DATABASE SET RDB$DESCRIPTION = 'x'", u"RDB$DATABASE"},
    {"CreateUser", u"CREATE USER INTRUDER PASSWORD 'x'", u"no permission for"},
};

INSTANTIATE_TEST_SUITE_P(Schema, AgentRefused, testing::ValuesIn(refusedCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(AgentRole, SecurityDatabaseIsClosedToAgents)
{
    const QString message = refusal([] {
        refdata::Connection c;
        c.setRole(refdata::AgentRole.toString());
        testsupport::attach(c, server->securityLocation(), AgentName, AgentPassword);
        refdata::Transaction t(c, {u"read"_s, u"concurrency"_s});
        refdata::Statement s(c, u"select PLG$USER_NAME, PLG$VERIFIER from PLG$SRP"_s);
        s.open(t);
    });
    EXPECT_TRUE(message.contains(u"PLG$SRP"_s) || message.contains(u"security"_s)) << message.toStdString();
}

TEST_F(AgentRole, UserWithoutTheRoleHearsWhatItLacks)
{
    struct Case {
        const char* name;
        QString user, password, role;
    };
    for (const Case& c : {Case{"no role set", PlainName, PlainPassword, QString()},
                          Case{"role set, not granted", PlainName, PlainPassword,
                               refdata::AgentRole.toString()},
                          Case{"agent without the role set", AgentName, AgentPassword, QString()}}) {
        SCOPED_TRACE(c.name);
        auto db = program(c.user, c.password, c.role);
        const QString message = refusal([&] { db->findRates(u"USD"_s, u"RUB"_s, u"SU"_s); });
        EXPECT_TRUE(message.contains(u"no permission for SELECT access to TABLE"_s)) << message.toStdString();
        EXPECT_TRUE(message.contains(u"lacks the rights of the agents' role SPRRATE_AGENT"_s))
            << message.toStdString();
        EXPECT_TRUE(message.contains(u"ROLE=SPRRATE_AGENT"_s)) << message.toStdString();
    }
}

} // namespace

// An administrator who adds an agent a second time (a forgotten password, a user made by
// hand without the role) gets the user with the new password and the role, not a failure.
TEST_F(AgentRole, AddingAnAgentAgainSetsItsPasswordAnew)
{
    const QString name = u"AGENT_AGAIN"_s;
    server->createAgent(location, name, u"first-pw"_s);
    const QString lines = server->createAgent(location, name, u"second-pw"_s);
    EXPECT_TRUE(lines.contains(u"PASSWORD=second-pw\n"_s)) << lines.toStdString();
    program(name, u"second-pw"_s, u"SPRRATE_AGENT"_s)->connectIfNeeded();
    EXPECT_THROW(program(name, u"first-pw"_s, u"SPRRATE_AGENT"_s)->connectIfNeeded(),
                 refdata::DbError);
    // A user made by hand, without the role, gets it.
    admin(u"CREATE USER HAND_MADE PASSWORD 'hand-pw'"_s);
    server->createAgent(location, u"HAND_MADE"_s, u"hand-pw2"_s);
    // Without the role the rate table is closed to it.
    EXPECT_NO_THROW(
        program(u"HAND_MADE"_s, u"hand-pw2"_s, u"SPRRATE_AGENT"_s)->findRates(u"USD"_s, u"RUB"_s, u"SU"_s));
}
