// Rate tables imported from a file: every problem found with its line and column before
// anything is written, on a real database with the sample reference data; all rows
// written in one transaction otherwise; stored rates overlapped only replaced when asked.
#include "refdata/rateimport.h"

#include "support/qstringprint.h"
#include "support/testdatabase.h"

#include <gtest/gtest.h>

using namespace refdata;
using namespace Qt::Literals::StringLiterals;

namespace {

class RateImportTest : public testing::Test {
protected:
    static void SetUpTestSuite() { s_db = std::make_unique<TestDatabase>(TestDatabase::Content::Sample); }
    static void TearDownTestSuite() { s_db.reset(); }
    void SetUp() override
    {
        s_db->exec(u"delete from FARE_CURRENCY_RATE where CARRIER_CODE in ('BA', 'AF')"_s);
        c.setDatabaseName(s_db->path());
        c.setUserName(u"sysdba"_s);
        c.connect();
    }
    QStringList rates(const QString& carrier = u"BA"_s) const
    {
        QStringList out;
        for (const auto& row : testsupport::queryOn(
                 s_db->path(),
                 u"select CURRENCY_FROM, CURRENCY_TO, RATE_AMOUNT, RATE_VALID_FROM, RATE_VALID_TO "
                 u"from FARE_CURRENCY_RATE where CARRIER_CODE = '%1' order by 4, 1, 2"_s.arg(carrier))) {
            QStringList cells;
            for (const DbValue& v : row)
                cells << textOf(v);
            out << cells.join(u' ');
        }
        return out;
    }
    RateImport checked(const QByteArray& file)
    {
        RateImport import = readRateFile(file);
        if (import.problems.empty())
            checkAgainstDatabase(import, c);
        return import;
    }
    static inline std::unique_ptr<TestDatabase> s_db;
    Connection c;
};

QStringList problems(const RateImport& import)
{
    QStringList out;
    for (const ImportProblem& p : import.problems)
        out << problemText(u"rates.csv"_s, p);
    return out;
}

TEST_F(RateImportTest, GoodFilesAreWrittenWhole)
{
    const std::pair<const char*, QByteArray> files[] = {
        {"commas, points, ISO days",
         "FROM,TO,CARRIER,RATE,VALID_FROM,VALID_TO\n"
         "USD,RUB,BA,92.5,2027-01-01,2027-01-31\n"
         "usd,rub,ba,93.25,2027-02-01,2027-02-28\n"
         "EUR,RUB,BA,100.125,2027-01-01,2027-01-31\n"},
        {"semicolons, decimal commas, DD.MM.YYYY, CR LF, a byte order mark",
         "\xEF\xBB\xBF" "from;to;carrier;rate;valid_from;valid_to\r\n"
         "USD;RUB;BA;92,5;01.01.2027;31.01.2027\r\n"
         "USD;RUB;BA;93,25;01.02.2027;28.02.2027\r\n"
         "\r\n"
         "EUR;RUB;BA;100,125;01.01.2027;31.01.2027\r\n"},
        {"a decimal comma in quotes",
         "FROM,TO,CARRIER,RATE,VALID_FROM,VALID_TO\n"
         "USD,RUB,BA,\"92,5\",2027-01-01,31.01.2027\n"
         "\"USD\",RUB,BA,\"93,25\",2027-02-01,2027-02-28\n"
         "EUR,RUB,BA,100.125,2027-01-01,2027-01-31\n"},
    };
    for (const auto& [name, file] : files) {
        SCOPED_TRACE(name);
        SetUp();
        const RateImport import = checked(file);
        ASSERT_EQ(problems(import), QStringList()) << name;
        EXPECT_TRUE(import.overlaps.empty());
        EXPECT_EQ(writeRates(import, c, false), 0);
        EXPECT_EQ(rates(), (QStringList{u"EUR RUB 100.125 2027-01-01 2027-01-31"_s,
                                        u"USD RUB 92.5 2027-01-01 2027-01-31"_s,
                                        u"USD RUB 93.25 2027-02-01 2027-02-28"_s}));
    }
}

struct BadFile {
    const char* name;
    QByteArray rows; // after the header
    QStringList problems;
};

class RateImportBad : public RateImportTest, public testing::WithParamInterface<BadFile> {};

TEST_P(RateImportBad, EveryProblemWithItsLineAndNothingWritten)
{
    const BadFile& b = GetParam();
    const QStringList before = rates();
    const RateImport import =
        checked("FROM,TO,CARRIER,RATE,VALID_FROM,VALID_TO\n" + b.rows);
    EXPECT_EQ(problems(import), b.problems);
    EXPECT_THROW(writeRates(import, c, true), DbError);
    EXPECT_EQ(rates(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Files, RateImportBad,
    testing::Values(
        BadFile{"RateNotAboveZero",
                "USD,RUB,BA,0,2027-01-01,2027-01-31\nUSD,RUB,BA,-1,2027-02-01,2027-02-28\n"
                "USD,RUB,BA,abc,2027-03-01,2027-03-31\n",
                {u"rates.csv, line 2, column RATE: \"0\" is no rate greater than 0"_s,
                 u"rates.csv, line 3, column RATE: \"-1\" is no rate greater than 0"_s,
                 u"rates.csv, line 4, column RATE: \"abc\" is no rate greater than 0"_s}},
        BadFile{"SameCurrencyAndDaysReversed",
                "USD,USD,BA,1,2027-01-01,2027-01-31\nUSD,RUB,BA,92,2027-02-10,2027-02-01\n",
                {u"rates.csv, line 2, column TO: the same currency as FROM"_s,
                 u"rates.csv, line 3, column VALID_FROM: 10.02.2027 is after VALID_TO 01.02.2027"_s}},
        BadFile{"DaysAndFields",
                "USD,RUB,BA,92,31.02.2027,2027-03-01\nUSD,RUB,BA,92,2027-04-01\n"
                "USD,RUB,BA,\"92,2027-05-01,2027-05-31\nUSDX,RUB,BAA,92,2027-06-01,2027-06-30\n",
                {u"rates.csv, line 2, column VALID_FROM: \"31.02.2027\" is no date (DD.MM.YYYY or YYYY-MM-DD)"_s,
                 u"rates.csv, line 3: 5 fields where the header has 6"_s,
                 u"rates.csv, line 4: a quote is not closed"_s,
                 u"rates.csv, line 5, column FROM: \"USDX\" is no code of 1 to 3 characters"_s,
                 u"rates.csv, line 5, column CARRIER: \"BAA\" is no code of 1 to 2 characters"_s}},
        BadFile{"OverlapWithinTheFile",
                "USD,RUB,BA,92,2027-01-01,2027-01-31\nEUR,RUB,BA,100,2027-01-15,2027-02-15\n"
                "USD,RUB,BA,93,2027-01-31,2027-02-28\n",
                {u"rates.csv, line 4, column VALID_FROM: USD/RUB BA from 31.01.2027 to 28.02.2027 "
                 u"overlaps line 2 (01.01.2027 to 31.01.2027)"_s}},
        BadFile{"UnknownCodes",
                "XXX,RUB,BA,92,2027-01-01,2027-01-31\nUSD,RUB,ZZ,92,2027-01-01,2027-01-31\n",
                {u"rates.csv, line 2, column FROM: XXX is no currency of the database"_s,
                 u"rates.csv, line 3, column CARRIER: ZZ is no validating carrier of the database"_s}},
        BadFile{"OneBadRowAmongGoodOnes",
                "USD,RUB,BA,92,2027-01-01,2027-01-31\nEUR,RUB,BA,100,2027-01-01,2027-01-31\n"
                "GBP,RUB,BA,,2027-01-01,2027-01-31\n",
                {u"rates.csv, line 4, column RATE: \"\" is no rate greater than 0"_s}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RateImportTest, HeaderAndEmptyFile)
{
    EXPECT_EQ(problems(readRateFile("FROM,TO,CARRIER,RATE,VALID_TO,VALID_FROM\n")),
              QStringList{u"rates.csv, line 1: the header must be FROM,TO,CARRIER,RATE,VALID_FROM,VALID_TO"_s});
    EXPECT_EQ(problems(readRateFile("\n\n")),
              QStringList{u"rates.csv, line 1: the file is empty; it must begin with the header "
                          u"FROM,TO,CARRIER,RATE,VALID_FROM,VALID_TO"_s});
}

TEST_F(RateImportTest, StoredRateOverlappedIsReplacedOnlyWhenAsked)
{
    s_db->exec(u"insert into FARE_CURRENCY_RATE (CURRENCY_FROM, CURRENCY_TO, CARRIER_CODE, "
               u"RATE_AMOUNT, RATE_VALID_FROM, RATE_VALID_TO) values ('USD', 'RUB', 'BA', 90, "
               u"DATE '2027-01-20', DATE '2027-02-10')"_s);
    s_db->exec(u"insert into FARE_CURRENCY_RATE (CURRENCY_FROM, CURRENCY_TO, CARRIER_CODE, "
               u"RATE_AMOUNT, RATE_VALID_FROM, RATE_VALID_TO) values ('USD', 'RUB', 'BA', 89, "
               u"DATE '2026-12-01', DATE '2026-12-31')"_s);
    const QByteArray file = "FROM,TO,CARRIER,RATE,VALID_FROM,VALID_TO\n"
                            "USD,RUB,BA,92.5,2027-01-01,2027-01-31\n"
                            "USD,RUB,BA,93.25,2027-02-01,2027-02-28\n";
    const RateImport import = checked(file);
    ASSERT_EQ(problems(import), QStringList());
    ASSERT_EQ(import.overlaps.size(), 2u); // both rows overlap the one stored rate
    EXPECT_EQ(import.overlaps[0].line, 2);
    EXPECT_EQ(import.overlaps[1].line, 3);
    EXPECT_EQ(import.overlaps[0].storedRate, 90.0);

    const QStringList before = rates();
    EXPECT_THROW(writeRates(import, c, false), DbError);
    EXPECT_EQ(rates(), before);

    EXPECT_EQ(writeRates(import, c, true), 1);
    EXPECT_EQ(rates(), (QStringList{u"USD RUB 89 2026-12-01 2026-12-31"_s,
                                    u"USD RUB 92.5 2027-01-01 2027-01-31"_s,
                                    u"USD RUB 93.25 2027-02-01 2027-02-28"_s}));
}

TEST_F(RateImportTest, AStoredRateWithoutItsDaysCountsAsOpen)
{
    s_db->exec(u"insert into FARE_CURRENCY_RATE (CURRENCY_FROM, CURRENCY_TO, CARRIER_CODE, "
               u"RATE_AMOUNT, RATE_VALID_FROM, RATE_VALID_TO) values ('EUR', 'RUB', 'AF', 99, "
               u"null, DATE '2027-01-05')"_s);
    const RateImport import = checked("FROM,TO,CARRIER,RATE,VALID_FROM,VALID_TO\n"
                                      "EUR,RUB,AF,100,2027-01-01,2027-01-31\n"
                                      "EUR,RUB,AF,101,2027-02-01,2027-02-28\n");
    ASSERT_EQ(import.overlaps.size(), 1u);
    EXPECT_EQ(import.overlaps[0].line, 2);
}

} // namespace
