// Where a stored rate stands on a day, at both ends of its period and with a day missing:
// the same days the rate lookup takes as valid (both ends included).
#include "refdata/ratevalidity.h"

#include <gtest/gtest.h>

using namespace refdata;

namespace {

const QDate today(2026, 12, 11);

DbValue day(int offset) { return today.addDays(offset); }
const DbValue none;

struct ValidityCase {
    const char* name;
    DbValue from;
    DbValue to;
    RateValidity expected;
};

class RateValidityTest : public testing::TestWithParam<ValidityCase> {};

TEST_P(RateValidityTest, OnTheDay)
{
    const ValidityCase& c = GetParam();
    EXPECT_EQ(rateValidity(c.from, c.to, today), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Periods, RateValidityTest,
    testing::Values(ValidityCase{"EndedYesterday", day(-30), day(-1), RateValidity::Ended},
                    ValidityCase{"EndsToday", day(-30), day(0), RateValidity::ValidToday},
                    ValidityCase{"BeginsToday", day(0), day(30), RateValidity::ValidToday},
                    ValidityCase{"OneDayToday", day(0), day(0), RateValidity::ValidToday},
                    ValidityCase{"BeginsTomorrow", day(1), day(30), RateValidity::NotYetValid},
                    ValidityCase{"PastEndWithoutBeginning", none, day(-1), RateValidity::Ended},
                    ValidityCase{"FutureBeginningWithoutEnd", day(2), none,
                                 RateValidity::NotYetValid},
                    ValidityCase{"NoEnd", day(-2), none, RateValidity::Unknown},
                    ValidityCase{"NoBeginning", none, day(2), RateValidity::Unknown},
                    ValidityCase{"NoDays", none, none, RateValidity::Unknown},
                    ValidityCase{"Timestamps", DbValue(DbTimestamp{today, DbTime{}}),
                                 DbValue(DbTimestamp{today.addDays(1), DbTime{}}),
                                 RateValidity::ValidToday}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
