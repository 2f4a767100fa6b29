#include "refdata/referencedb.h"

#include "support/testdatabase.h"

#include <QDeadlineTimer>
#include <QProcess>

#include <gtest/gtest.h>

#include <memory>

using namespace refdata;
using namespace Qt::Literals::StringLiterals;

namespace {

// One database file per suite; each test clears the tables it fills.
class DatabaseTest : public testing::Test {
protected:
    static void SetUpTestSuite() { s_db = std::make_unique<TestDatabase>(); }
    static void TearDownTestSuite() { s_db.reset(); }

    void SetUp() override
    {
        ref.setLocation(s_db->path(), u"sysdba"_s, u"lanternix"_s);
        for (const char16_t* table : {u"APPLIED_TAXES", u"FARE_CURRENCY_RATE", u"FARE_CURRENCY",
                                      u"VALIDATING_CARRIER"})
            exec(u"delete from "_s + QString::fromUtf16(table));
        exec(u"insert into FARE_CURRENCY values ('RUB', 'ROUBLE', 'CEIL(VALUE/5)*5', "
             u"'CEIL(INT(VALUE*10)/10)')"_s);
        exec(u"insert into FARE_CURRENCY values ('EUR', 'EURO', 'CEIL(VALUE)', 'CEIL(VALUE*10)/10')"_s);
        exec(u"insert into FARE_CURRENCY values ('USD', 'DOLLAR', 'CEIL(VALUE)', 'CEIL(VALUE)')"_s);
    }

    // Runs one statement in a transaction of a separate attachment and commits it.
    void exec(const QString& sql, std::initializer_list<std::pair<QString, DbValue>> params = {})
    {
        Connection c;
        c.setDatabaseName(s_db->path());
        c.setUserName(u"sysdba"_s);
        c.connect();
        Transaction t(c, {u"write"_s, u"nowait"_s, u"concurrency"_s});
        Statement s(c, sql);
        for (const auto& [name, value] : params)
            s.setParam(name, value);
        s.execute(t);
        t.commit();
    }

    void addRate(const QString& from, const QString& to, const QString& carrier, double amount,
                 int fromDays, int toDays)
    {
        exec(u"insert into FARE_CURRENCY_RATE (CURRENCY_FROM, CURRENCY_TO, CARRIER_CODE, "
             u"RATE_AMOUNT, RATE_VALID_FROM, RATE_VALID_TO) values (:F, :T, :C, :A, "
             u"CURRENT_DATE + CAST(:D1 AS INTEGER), CURRENT_DATE + CAST(:D2 AS INTEGER))"_s,
             {{u"F"_s, from}, {u"T"_s, to}, {u"C"_s, carrier}, {u"A"_s, amount},
              {u"D1"_s, qint64(fromDays)}, {u"D2"_s, qint64(toDays)}});
    }

    void addTax(const QString& code, const DbValue& currency, const DbValue& carrier)
    {
        exec(u"insert into APPLIED_TAXES (TAX_CODE, CURRENCY_CODE, CARRIER_CODE) values "
             u"(:CODE, :CUR, :CAR)"_s,
             {{u"CODE"_s, code}, {u"CUR"_s, currency}, {u"CAR"_s, carrier}});
    }

    static std::unique_ptr<TestDatabase> s_db;
    ReferenceDatabase ref;
};

std::unique_ptr<TestDatabase> DatabaseTest::s_db;

std::vector<double> amounts(const std::vector<RateRow>& rows)
{
    std::vector<double> a;
    for (const auto& r : rows)
        a.push_back(r.rateAmount);
    return a;
}

} // namespace

TEST_F(DatabaseTest, RateStatementFindsRatesValidTodaySmallestFirst)
{
    addRate(u"USD"_s, u"RUB"_s, u"SU"_s, 93.25, -2, 5);
    addRate(u"USD"_s, u"RUB"_s, u"SU"_s, 92.5, 0, 0);     // today only
    addRate(u"USD"_s, u"RUB"_s, u"SU"_s, 90.0, -30, -1);  // ended yesterday
    addRate(u"USD"_s, u"RUB"_s, u"SU"_s, 95.0, 1, 30);    // starts tomorrow
    addRate(u"USD"_s, u"RUB"_s, u"LH"_s, 91.0, -1, 1);    // other carrier
    addRate(u"EUR"_s, u"RUB"_s, u"SU"_s, 100.0, -1, 1);   // other pair

    const auto rows = ref.findRates(u"USD"_s, u"RUB"_s, u"SU"_s);
    EXPECT_EQ(amounts(rows), (std::vector<double>{92.5, 93.25}));
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0].fareRule, u"CEIL(VALUE/5)*5"_s);
    EXPECT_EQ(rows[0].taxRule, u"CEIL(INT(VALUE*10)/10)"_s);
    EXPECT_EQ(rows[0].validFrom, QDate::currentDate());
    EXPECT_EQ(rows[0].carrierCode, u"SU"_s);
}

TEST_F(DatabaseTest, RateStatementUpperCasesItsParameters)
{
    addRate(u"USD"_s, u"RUB"_s, u"SU"_s, 92.123456, -1, 1);
    const auto rows = ref.findRates(u"usd"_s, u"rub"_s, u"su"_s);
    EXPECT_EQ(amounts(rows), (std::vector<double>{92.123456}));
}

TEST_F(DatabaseTest, RateWithoutTargetCurrencyRowIsNeverFound)
{
    addRate(u"USD"_s, u"KZT"_s, u"SU"_s, 470.0, -1, 1);
    EXPECT_TRUE(ref.findRates(u"USD"_s, u"KZT"_s, u"SU"_s).empty());
}

TEST_F(DatabaseTest, LongerTextsCompareWithoutError)
{
    addRate(u"RUB"_s, u"EUR"_s, u"SU"_s, 0.01, -1, 1);
    EXPECT_TRUE(ref.findRates(u"RUBX"_s, u"EUR"_s, u"SU1"_s).empty());
}

TEST_F(DatabaseTest, StoredRateIsValidTodayOnlyAndSeenByAnotherAttachment)
{
    ref.insertRate(u"SU"_s, u"EUR"_s, u"RUB"_s, 99.5);

    // A second program's attachment sees the committed row at once.
    ReferenceDatabase other;
    other.setLocation(s_db->path(), u"sysdba"_s, u"lanternix"_s);
    const auto rows = other.findRates(u"EUR"_s, u"RUB"_s, u"SU"_s);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].rateAmount, 99.5);
    EXPECT_EQ(rows[0].validFrom, QDate::currentDate());
    EXPECT_EQ(rows[0].validTo, QDate::currentDate());

    Connection c;
    c.setDatabaseName(s_db->path());
    c.setUserName(u"sysdba"_s);
    c.connect();
    Transaction t(c, {u"read"_s, u"concurrency"_s});
    Statement s(c, u"select RATE_IDENTIFICATOR, RATE_INSERT_DATE from FARE_CURRENCY_RATE"_s);
    s.open(t);
    ASSERT_TRUE(s.next());
    EXPECT_FALSE(s.isNull(u"RATE_IDENTIFICATOR"_s)) << "the trigger numbers the row";
    EXPECT_FALSE(s.isNull(u"RATE_INSERT_DATE"_s)) << "the insert date defaults";
    EXPECT_FALSE(s.next());
}

TEST_F(DatabaseTest, TooLongTextForItsColumnIsAnError)
{
    try {
        ref.insertRate(u"SU1"_s, u"EUR"_s, u"RUB"_s, 99.5);
        FAIL() << "a three-character carrier must not fit a two-character column";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.message().contains(u"truncation"_s)) << e.message().toStdString();
    }
    EXPECT_TRUE(ref.findRates(u"EUR"_s, u"RUB"_s, u"SU"_s).empty());
}

TEST_F(DatabaseTest, TaxStatementPrefersTheCarriersOwnRow)
{
    addTax(u"YQ"_s, u"USD"_s, u""_s);
    addTax(u"YQ"_s, u"EUR"_s, u"SU"_s);
    addTax(u"YR"_s, u"EUR"_s, DbValue());
    addTax(u"XX"_s, DbValue(), u""_s);

    EXPECT_EQ(ref.findTaxCurrency(u"YQ"_s, u"SU"_s), u"EUR"_s);
    EXPECT_EQ(ref.findTaxCurrency(u"yq"_s, u"su"_s), u"EUR"_s);
    EXPECT_EQ(ref.findTaxCurrency(u"YQ"_s, u"LH"_s), u"USD"_s);
    EXPECT_EQ(ref.findTaxCurrency(u"YR"_s, u"LH"_s), u"EUR"_s) << "a null carrier is for all";
    EXPECT_EQ(ref.findTaxCurrency(u"XX"_s, u"SU"_s), QString()) << "an empty currency";
    EXPECT_EQ(ref.findTaxCurrency(u"YQ"_s, u"SUXX"_s), u"USD"_s) << "too long for any row";
    EXPECT_EQ(ref.findTaxCurrency(u"ZZ"_s, u"SU"_s), std::nullopt);
}

TEST_F(DatabaseTest, CyrillicTextRoundTrips)
{
    const QString name = u"\u0420\u041e\u0421\u0421\u0418\u0419\u0421\u041a\u0418\u0419 "
                         u"\u0420\u0423\u0411\u041b\u042c \u0401\u0451"_s;
    exec(u"update FARE_CURRENCY set CURRENCY_NAME = :N where CURRENCY_CODE = 'RUB'"_s,
         {{u"N"_s, name}});
    Connection c;
    c.setDatabaseName(s_db->path());
    c.connect();
    Transaction t(c, ReferenceDatabase::SharedTransactionParameters);
    Statement s(c, u"select CURRENCY_NAME, char_length(CURRENCY_NAME) as L from FARE_CURRENCY "
                   u"where CURRENCY_CODE = 'RUB'"_s);
    s.open(t);
    ASSERT_TRUE(s.next());
    EXPECT_EQ(s.text(u"CURRENCY_NAME"_s), name);
    EXPECT_EQ(s.number(u"L"_s), name.size());
}

TEST_F(DatabaseTest, TextWithoutAWindows1251FormIsRefused)
{
    EXPECT_THROW(exec(u"update FARE_CURRENCY set CURRENCY_NAME = :N where CURRENCY_CODE = 'RUB'"_s,
                      {{u"N"_s, u"\u4e2d\u6587"_s}}),
                 DbError);
    EXPECT_THROW(toWin1251(u"\u2603"_s), DbError);
    EXPECT_EQ(toWin1251(u"\u20ac\u0451"_s), QByteArray("\x88\xb8"));
}

TEST_F(DatabaseTest, RowHeldByAnotherTransactionIsALockConflict)
{
    addRate(u"USD"_s, u"RUB"_s, u"SU"_s, 92.5, -1, 1);
    Connection first;
    first.setDatabaseName(s_db->path());
    first.connect();
    Transaction holder(first, {u"write"_s, u"nowait"_s, u"concurrency"_s});
    Statement lock(first, u"update FARE_CURRENCY_RATE set RATE_AMOUNT = RATE_AMOUNT"_s);
    EXPECT_EQ(lock.execute(holder), 1u);

    Connection second;
    second.setDatabaseName(s_db->path());
    second.connect();
    Transaction writer(second, {u"write"_s, u"nowait"_s, u"concurrency"_s});
    Statement update(second, u"update FARE_CURRENCY_RATE set RATE_AMOUNT = 1"_s);
    try {
        update.execute(writer);
        FAIL() << "the row is held";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.isLockConflict()) << e.message().toStdString();
        EXPECT_EQ(e.sqlCode(), -913);
        EXPECT_FALSE(e.isConnectionLost());
    }
    holder.rollback();
}

TEST_F(DatabaseTest, ParametersBindEveryPlaceAndUnknownNamesAreErrors)
{
    addRate(u"USD"_s, u"RUB"_s, u"SU"_s, 92.5, -1, 1);
    Connection c;
    c.setDatabaseName(s_db->path());
    c.connect();
    Transaction t(c, ReferenceDatabase::SharedTransactionParameters);
    Statement s(c, u"select count(*) as N from FARE_CURRENCY_RATE where CURRENCY_FROM = :C "
                   u"or CURRENCY_TO = :C"_s);
    s.setParam(u"c"_s, u"RUB"_s);
    s.open(t);
    ASSERT_TRUE(s.next());
    EXPECT_EQ(s.number(u"N"_s), 1);
    EXPECT_THROW(s.setParam(u"D"_s, u"x"_s), DbError);
    EXPECT_THROW(s.value(u"NOPE"_s), DbError);
}

TEST_F(DatabaseTest, SharedTransactionParametersAreAccepted)
{
    // Firebird refuses "rec_version" without "read_committed"; the shared list has both.
    Connection c;
    c.setDatabaseName(s_db->path());
    c.connect();
    Transaction shared(c, ReferenceDatabase::SharedTransactionParameters);
    EXPECT_NO_THROW(shared.start());
    Transaction bad(c, {u"write"_s, u"nowait"_s, u"rec_version"_s});
    EXPECT_THROW(bad.start(), DbError);
    Transaction unknown(c, {u"write"_s, u"sometimes"_s});
    EXPECT_THROW(unknown.start(), DbError);
    EXPECT_EQ(c.dialect(), 3u);
}

TEST(Connection, EmptyNameAndMissingFileAreRefused)
{
    Connection c;
    try {
        c.connect();
        FAIL();
    } catch (const DbError& e) {
        EXPECT_EQ(e.message(), u"Database name is missing."_s);
    }
    c.setDatabaseName(u"/nonexistent/folder/sprrate.gdb"_s);
    try {
        c.connect();
        FAIL();
    } catch (const DbError& e) {
        EXPECT_FALSE(e.message().isEmpty());
        EXPECT_EQ(e.message(), missingDatabaseMessage(u"/nonexistent/folder/sprrate.gdb"_s));
        EXPECT_TRUE(e.message().contains(u"sprrate-cli init-db"_s)) << e.message().toStdString();
    }
    EXPECT_FALSE(c.connected());
}

// Another program (isql-fb) holds the file open with the embedded engine: the second
// opener is told so, and what to do, instead of Firebird's "Database already opened with
// engine instance, incompatible with current".
TEST(Connection, AFileAnotherProgramHasOpenSaysSoAndNamesTheServer)
{
    TestDatabase db;
    QProcess other;
    other.setProcessChannelMode(QProcess::MergedChannels);
    other.start(u"isql-fb"_s, {u"-q"_s, u"-user"_s, u"SYSDBA"_s, db.path()});
    ASSERT_TRUE(other.waitForStarted(10000));
    other.write("select 'IS' || 'OPEN' from rdb$database;\n");
    QByteArray out;
    const QDeadlineTimer deadline(30000);
    while (!out.contains("ISOPEN") && !deadline.hasExpired() &&
           other.state() == QProcess::Running) {
        other.waitForReadyRead(100);
        out += other.readAll();
    }
    ASSERT_TRUE(out.contains("ISOPEN")) << out.toStdString();

    Connection c;
    c.setDatabaseName(db.path());
    c.setUserName(u"sysdba"_s);
    try {
        c.connect();
        ADD_FAILURE() << "a second program opened the file";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.isOpenedElsewhere());
        EXPECT_TRUE(e.message().startsWith(u"Another program has the database "_s + db.path() +
                                           u" open."_s))
            << e.message().toStdString();
        EXPECT_TRUE(e.message().contains(u"Firebird server"_s));
        EXPECT_TRUE(e.message().contains(u"README, Reference database"_s));
    }
    EXPECT_FALSE(c.connected());

    // Once the other program has ended, the file opens.
    other.closeWriteChannel();
    if (!other.waitForFinished(10000))
        other.kill();
    other.waitForFinished(5000);
    c.connect();
    EXPECT_TRUE(c.connected());
}
