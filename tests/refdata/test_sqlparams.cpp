#include "refdata/sqlparams.h"

#include <gtest/gtest.h>

using refdata::toPositional;
using namespace Qt::Literals::StringLiterals;

namespace {
QString q(const char16_t* s) { return QString::fromUtf16(s); }
} // namespace

struct ParamCase {
    const char16_t* sql;
    const char16_t* positional;
    QStringList names;
};

class NamedParametersTest : public testing::TestWithParam<ParamCase> {};

TEST_P(NamedParametersTest, MapsToPositions)
{
    const auto out = toPositional(q(GetParam().sql));
    EXPECT_EQ(out.sql, q(GetParam().positional));
    EXPECT_EQ(out.names, GetParam().names);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NamedParametersTest,
    testing::Values(
        ParamCase{u"select * from T where A = UPPER(:l_from) and B=:L_TO",
                  u"select * from T where A = UPPER(?) and B=?", {u"L_FROM"_s, u"L_TO"_s}},
        ParamCase{u"update T set A=:A where A=:OLD_A and B=:A", u"update T set A=? where A=? and B=?",
                  {u"A"_s, u"OLD_A"_s, u"A"_s}},
        ParamCase{u"select ':X' from T where C = ':Y''s' and D = :D",
                  u"select ':X' from T where C = ':Y''s' and D = ?", {u"D"_s}},
        ParamCase{u"select \"odd:name\" from T where E=:E", u"select \"odd:name\" from T where E=?",
                  {u"E"_s}},
        ParamCase{u"select 1 -- a :comment\nfrom T where F=:F",
                  u"select 1 -- a :comment\nfrom T where F=?", {u"F"_s}},
        ParamCase{u"select /* :G */ 1 from T where H=:H_1$", u"select /* :G */ 1 from T where H=?",
                  {u"H_1$"_s}},
        ParamCase{u"values ('NOW', :RATE_AMOUNT)", u"values ('NOW', ?)", {u"RATE_AMOUNT"_s}},
        ParamCase{u"select 'unclosed :X", u"select 'unclosed :X", {}},
        ParamCase{u"select 1 from T where x = :1", u"select 1 from T where x = :1", {}}));
