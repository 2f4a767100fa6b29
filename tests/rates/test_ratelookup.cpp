#include "rates/ratelookup.h"
#include "rates/taxlines.h"
#include "refdata/referencedb.h"

#include "support/recordinginteraction.h"
#include "support/testdatabase.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using namespace rates;
using namespace refdata;
using namespace Qt::Literals::StringLiterals;

namespace {

struct Conversion {
    QString from;
    QString to;
    double amount;
    bool keepDecimals;
};

class RatesTest : public testing::Test {
protected:
    static void SetUpTestSuite() { s_db = std::make_unique<TestDatabase>(); }
    static void TearDownTestSuite() { s_db.reset(); }

    void SetUp() override
    {
        db.setLocation(s_db->path(), u"sysdba"_s, u"lanternix"_s);
        s_db->clearLookupData();
        exec(u"insert into FARE_CURRENCY values ('RUB', 'ROUBLE', 'CEIL(VALUE/5)*5', "
             u"'CEIL(INT(VALUE*10)/10)')"_s);
        exec(u"insert into FARE_CURRENCY values ('EUR', 'EURO', 'CEIL(VALUE)', 'CEIL(VALUE*10)/10')"_s);
        exec(u"insert into FARE_CURRENCY values ('USD', 'DOLLAR', 'CEIL(VALUE)', 'CEIL(VALUE)')"_s);
    }

    void exec(const QString& sql) { s_db->exec(sql); }

    void addRate(const char* values)
    {
        exec(u"insert into FARE_CURRENCY_RATE (CURRENCY_FROM, CURRENCY_TO, CARRIER_CODE, "
             u"RATE_AMOUNT, RATE_VALID_FROM, RATE_VALID_TO) values ("_s +
             QString::fromLatin1(values) + u")"_s);
    }

    // A lookup whose host answers from a table of amounts by units converted.
    RateLookup lookup(std::map<double, double> answers = {})
    {
        return RateLookup(db, ui, [this, answers](const QString& from, const QString& to,
                                                  double amount, bool keep) {
            conversions.push_back({from, to, amount, keep});
            const auto it = answers.find(amount);
            return it == answers.end() ? 0.0 : it->second;
        });
    }

    static std::unique_ptr<TestDatabase> s_db;
    ReferenceDatabase db;
    testsupport::RecordingInteraction ui;
    std::vector<Conversion> conversions;
};

std::unique_ptr<TestDatabase> RatesTest::s_db;

} // namespace

TEST_F(RatesTest, OneValidRateIsReturnedAtFullPrecisionWithoutAChoice)
{
    addRate("'USD', 'RUB', 'SU', 92.123456, CURRENT_DATE - 1, CURRENT_DATE + 1");
    RateLookup l = lookup();
    EXPECT_EQ(l.LookupRate(u"SU"_s, u"USD"_s, u"RUB"_s, true), 92.123456);
    EXPECT_EQ(l.FareRule, u"CEIL(VALUE/5)*5"_s);
    EXPECT_EQ(l.TaxRule, u"CEIL(INT(VALUE*10)/10)"_s);
    EXPECT_TRUE(ui.rateChoices.empty());
    EXPECT_TRUE(conversions.empty());
    // The journal learns the row taken.
    ASSERT_EQ(l.Used.size(), 1u);
    const RateUse& use = l.Used[0];
    EXPECT_EQ(use.source, RateUse::Source::Database);
    EXPECT_EQ(use.rate, 92.123456);
    EXPECT_EQ(use.offered, 1);
    EXPECT_EQ(use.validFrom, QDate::currentDate().addDays(-1));
    EXPECT_EQ(use.validTo, QDate::currentDate().addDays(1));
    EXPECT_EQ((QStringList{use.carrier, use.from, use.to, use.fareRule, use.taxRule}),
              (QStringList{u"SU"_s, u"USD"_s, u"RUB"_s, u"CEIL(VALUE/5)*5"_s,
                           u"CEIL(INT(VALUE*10)/10)"_s}));
}

struct ChoiceCase {
    const char* name;
    std::optional<QString> answer;
    double expected;
    int validFrom = 0; // the chosen row's period in days from today; 0 and 0: none
    int validTo = 0;
};

class RateChoiceTest : public RatesTest, public testing::WithParamInterface<ChoiceCase> {};

TEST_P(RateChoiceTest, SeveralValidRatesAreChosenFrom)
{
    addRate("'USD', 'RUB', 'SU', 93.25, CURRENT_DATE - 2, CURRENT_DATE + 5");
    addRate("'USD', 'RUB', 'SU', 92.5, CURRENT_DATE - 30, CURRENT_DATE + 30");
    ui.rateAnswers.push_back(GetParam().answer);
    RateLookup l = lookup();
    EXPECT_EQ(l.LookupRate(u"SU"_s, u"USD"_s, u"RUB"_s, true), GetParam().expected);
    ASSERT_EQ(ui.rateChoices.size(), 1u);
    EXPECT_EQ(ui.rateChoices[0], (QStringList{u"From:USD To:RUB Carrier:SU Rate:92.5000"_s,
                                              u"From:USD To:RUB Carrier:SU Rate:93.2500"_s}));
    EXPECT_EQ(l.TaxRule, u"CEIL(INT(VALUE*10)/10)"_s);
    ASSERT_EQ(l.Used.size(), 1u);
    const RateUse& use = l.Used[0];
    EXPECT_EQ(use.source, RateUse::Source::Choice);
    EXPECT_EQ(use.offered, 2);
    EXPECT_EQ(use.rate, GetParam().expected);
    const bool period = GetParam().validFrom != 0 || GetParam().validTo != 0;
    EXPECT_EQ(use.validFrom, period ? QDate::currentDate().addDays(GetParam().validFrom) : QDate());
    EXPECT_EQ(use.validTo, period ? QDate::currentDate().addDays(GetParam().validTo) : QDate());
}

INSTANTIATE_TEST_SUITE_P(
    Answers, RateChoiceTest,
    testing::Values(ChoiceCase{"SecondItemChosen", u"93.2500"_s, 93.25, -2, 5},
                    ChoiceCase{"FirstItemChosen", u"92.5000"_s, 92.5, -30, 30},
                    ChoiceCase{"OkWithoutSelection", u"0.0000"_s, 0.0},
                    ChoiceCase{"Cancelled", std::nullopt, 0.0},
                    ChoiceCase{"LabelNoNumber", u"abc"_s, 0.0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RateItem, RateStartsAtPosition33)
{
    EXPECT_EQ(rateFromItem(u"From:USD To:RUB Carrier:SU Rate:93.2500"_s), u"93.2500"_s);
    EXPECT_EQ(rateFromItem(u"From:USD To:RUB Carrier:SU Rate: 1.5 "_s), u"1.5"_s);
    EXPECT_EQ(rateFromItem(u"short"_s), QString());
}

TEST_F(RatesTest, DatabaseOnlyWithoutValidRateKeepsThePreviousRules)
{
    addRate("'USD', 'RUB', 'SU', 92.5, CURRENT_DATE - 30, CURRENT_DATE - 1"); // ended yesterday
    RateLookup l = lookup({{10, 925}});
    l.FareRule = u"PREVIOUS FARE"_s;
    l.TaxRule = u"PREVIOUS TAX"_s;
    EXPECT_EQ(l.LookupRate(u"SU"_s, u"USD"_s, u"RUB"_s, true), 0.0);
    EXPECT_EQ(l.FareRule, u"PREVIOUS FARE"_s);
    EXPECT_EQ(l.TaxRule, u"PREVIOUS TAX"_s);
    EXPECT_TRUE(conversions.empty()) << "database only never asks the host";
    ASSERT_EQ(l.Used.size(), 1u);
    EXPECT_EQ(l.Used[0].source, RateUse::Source::Database);
    EXPECT_EQ(l.Used[0].rate, 0.0);
    EXPECT_EQ(l.Used[0].offered, 0);
}

struct FallbackCase {
    const char* name;
    std::map<double, double> answers; // units converted -> host amount
    double expectedRate;
    int expectedConversions;
};

class HostFallbackTest : public RatesTest, public testing::WithParamInterface<FallbackCase> {};

TEST_P(HostFallbackTest, RateFromTheHostIsStoredForToday)
{
    RateLookup l = lookup(GetParam().answers);
    l.FareRule = u"X"_s;
    EXPECT_DOUBLE_EQ(l.LookupRate(u"SU"_s, u"EUR"_s, u"RUB"_s, false), GetParam().expectedRate);
    EXPECT_EQ(l.FareRule, DefaultFareRule);
    EXPECT_EQ(l.TaxRule, DefaultTaxRule);
    ASSERT_EQ(int(conversions.size()), GetParam().expectedConversions);
    EXPECT_EQ(conversions[0].amount, 10);
    EXPECT_FALSE(conversions[0].keepDecimals);
    if (conversions.size() > 1) {
        EXPECT_EQ(conversions[1].amount, 10000);
    }

    ASSERT_EQ(l.Used.size(), 1u);
    EXPECT_EQ(l.Used[0].source, RateUse::Source::Host);
    EXPECT_DOUBLE_EQ(l.Used[0].rate, std::max(GetParam().expectedRate, 0.0));
    EXPECT_EQ(l.Used[0].stored, GetParam().expectedRate > 0);
    EXPECT_EQ(l.Used[0].fareRule, DefaultFareRule);

    const auto stored = db.findRates(u"EUR"_s, u"RUB"_s, u"SU"_s);
    if (GetParam().expectedRate > 0) {
        ASSERT_EQ(stored.size(), 1u);
        EXPECT_DOUBLE_EQ(stored[0].rateAmount, GetParam().expectedRate);
        EXPECT_EQ(stored[0].validFrom, QDate::currentDate());
        EXPECT_EQ(stored[0].validTo, QDate::currentDate());
        // The next lookup finds the stored rate and asks the host nothing.
        conversions.clear();
        EXPECT_DOUBLE_EQ(l.LookupRate(u"SU"_s, u"EUR"_s, u"RUB"_s, false),
                         GetParam().expectedRate);
        EXPECT_TRUE(conversions.empty());
    } else {
        EXPECT_TRUE(stored.empty()) << "no usable rate is stored";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, HostFallbackTest,
    testing::Values(FallbackCase{"TiesToEvenDown", {{10, 925}}, 92, 1},
                    FallbackCase{"TiesToEvenUp", {{10, 935}}, 94, 1},
                    FallbackCase{"Rounded", {{10, 1001.4}}, 100, 1},
                    FallbackCase{"SmallRateFromTenThousand", {{10, 1}, {10000, 985}}, 0.0985, 2},
                    FallbackCase{"NoAmountStoresNothing", {}, 0, 2},
                    FallbackCase{"UnreadableStoresNothing", {{10, -1}, {10000, -1}}, -0.0001, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RatesTest, FallbackStoresCodesCutToTheirColumns)
{
    RateLookup l = lookup({{10, 925}});
    EXPECT_EQ(l.LookupRate(u"SU1"_s, u"EUR"_s, u"RUBX"_s, false), 92);
    const auto stored = db.findRates(u"EUR"_s, u"RUB"_s, u"SU"_s);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].carrierCode, u"SU"_s);
    EXPECT_EQ(stored[0].currencyTo, u"RUB"_s);
}

TEST_F(RatesTest, DatabaseErrorsReachTheCaller)
{
    ReferenceDatabase broken;
    broken.setLocation(QString(), u"sysdba"_s, u"x"_s);
    RateLookup l(broken, ui, [](const QString&, const QString&, double, bool) { return 0.0; });
    EXPECT_THROW(l.LookupRate(u"SU"_s, u"USD"_s, u"RUB"_s, true), DbError);
}

// --- tax lines ----------------------------------------------------------------------

TEST_F(RatesTest, TaxCurrencyPerCarrierWithUsdWhenTheTableHasNone)
{
    exec(u"insert into APPLIED_TAXES (TAX_CODE, CURRENCY_CODE, CARRIER_CODE) values ('YQ', 'EUR', 'SU')"_s);
    exec(u"insert into APPLIED_TAXES (TAX_CODE, CURRENCY_CODE, CARRIER_CODE) values ('YQ', 'USD', '')"_s);
    exec(u"insert into APPLIED_TAXES (TAX_CODE, CURRENCY_CODE, CARRIER_CODE) values ('RI', null, '')"_s);
    EXPECT_EQ(GetTaxCurrency(db, u"YQ"_s, u"SU"_s), u"EUR"_s);
    EXPECT_EQ(GetTaxCurrency(db, u"YQXX"_s, u"SUA"_s), u"EUR"_s) << "two characters are used";
    EXPECT_EQ(GetTaxCurrency(db, u"YQ"_s, u"LH"_s), u"USD"_s);
    EXPECT_EQ(GetTaxCurrency(db, u"ZZ"_s, u"SU"_s), u"USD"_s);
    EXPECT_EQ(GetTaxCurrency(db, u"RI"_s, u"SU"_s), QString());

    ReferenceDatabase broken;
    broken.setLocation(u"/nonexistent/x.gdb"_s, u"sysdba"_s, u"x"_s);
    EXPECT_EQ(GetTaxCurrency(broken, u"YQ"_s, u"SU"_s), QString()) << "errors are swallowed";
}

struct TaxLineCase {
    const char* name;
    const char16_t* match;
    int number;
    const char16_t* numberText;
    const char16_t* indicator;
    const char16_t* shown;
    const char16_t* amountText;
    double amount;
    const char16_t* code;
    const char16_t* taxCurrency;
    bool present;
};

class ReadTaxLineTest : public RatesTest, public testing::WithParamInterface<TaxLineCase> {};

TEST_P(ReadTaxLineTest, FilesTheEntryByItsNumber)
{
    exec(u"insert into APPLIED_TAXES (TAX_CODE, CURRENCY_CODE, CARRIER_CODE) values ('YQ', 'EUR', 'SU')"_s);
    exec(u"insert into APPLIED_TAXES (TAX_CODE, CURRENCY_CODE, CARRIER_CODE) values ('RI', null, '')"_s);
    const TaxLineCase& c = GetParam();
    TaxLines lines;
    ReadTaxLine(lines, db, QString::fromUtf16(c.match), u"SU"_s);
    const TaxLine& t = lines[c.number];
    EXPECT_EQ(t.Number, QString::fromUtf16(c.numberText));
    EXPECT_EQ(t.Indicator, QString::fromUtf16(c.indicator));
    EXPECT_EQ(t.ShownCurrency, QString::fromUtf16(c.shown));
    EXPECT_EQ(t.AmountText, QString::fromUtf16(c.amountText));
    EXPECT_EQ(t.Amount, c.amount);
    EXPECT_EQ(t.Code, QString::fromUtf16(c.code));
    EXPECT_EQ(t.TaxCurrency, QString::fromUtf16(c.taxCurrency));
    EXPECT_EQ(t.Present, c.present);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, ReadTaxLineTest,
    testing::Values(
        TaxLineCase{"ThreeDigitNumber", u"TX001 X EUR    12.50YQ", 1, u"001", u"X", u"EUR",
                    u"12.50", 12.5, u"YQ", u"EUR", true},
        TaxLineCase{"TaxWithTwoDigits", u"TAX01 X EUR    12.50YQ", 1, u"01", u"X", u"EUR", u"12.50",
                    12.5, u"YQ", u"EUR", true},
        TaxLineCase{"NoTaxRowIsUsd", u"TX012 P RUB  1200.00UHXY", 12, u"012", u"P", u"RUB",
                    u"1200.00", 1200, u"UHXY", u"USD", true},
        TaxLineCase{"EmptyCurrencyRowIsTheShownOne", u"TX030 X GBP        5RI", 30, u"030", u"X",
                    u"GBP", u"5", 5, u"RI", u"GBP", true},
        TaxLineCase{"UnreadableAmount", u"TX002 X EUR   12.5.0YQ", 2, u"002", u"X", u"EUR",
                    u"12.5.0", 0, u"YQ", u"", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RatesTest, TaxNumbersOutsideTheTableChangeNothing)
{
    TaxLines lines;
    lines[1].Code = u"KEEP"_s;
    for (const char16_t* match :
         {u"TX000 X EUR    12.50YQ", u"TX031 X EUR    12.50YQ", u"TXA01 X EUR    12.50YQ",
          u"TX", u""}) {
        ReadTaxLine(lines, db, QString::fromUtf16(match), u"SU"_s);
    }
    for (int n = 1; n <= TaxLines::Size; ++n)
        EXPECT_FALSE(lines[n].Present) << n;
    EXPECT_EQ(lines[1].Code, u"KEEP"_s);
}

TEST(TaxLinesTable, ClearingForARunKeepsOnlyOrigRate)
{
    TaxLines lines;
    lines[5].OrigRate = 92.5;
    lines[5].Present = true;
    lines[5].OrigAmountText = u"12.00"_s;
    lines[5].Code = u"YQ"_s;
    lines.clearForRun();
    EXPECT_EQ(lines[5].OrigRate, 92.5);
    EXPECT_FALSE(lines[5].Present);
    EXPECT_TRUE(lines[5].OrigAmountText.isEmpty());
    EXPECT_TRUE(lines[5].Code.isEmpty());
}
