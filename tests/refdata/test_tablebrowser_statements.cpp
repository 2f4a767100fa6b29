// The texts a table browser generates, compared whole for single- and multi-column keys,
// ascending and descending orders, with and without a filter.
#include "refdata/browserstatements.h"
#include "support/qstringprint.h"

#include <gtest/gtest.h>

using namespace refdata;
using namespace refdata::browsersql;
using namespace Qt::Literals::StringLiterals;

namespace {

Column col(const char16_t* name, ColumnKind kind, int length = 0)
{
    Column c;
    c.name = QString::fromUtf16(name);
    c.kind = kind;
    c.length = length;
    return c;
}

TableShape appliedTaxes()
{
    return {u"APPLIED_TAXES"_s,
            {u"TAXID"_s},
            {{u"RDB$PRIMARY5"_s, {u"TAXID"_s}, true, false, true},
             {u"XPKAPPLAYED_TAXES"_s, {u"TAXID"_s}, true, false, false},
             {u"RDB$FOREIGN6"_s, {u"CURRENCY_CODE"_s}, false, false, false}},
            {col(u"TAXID", ColumnKind::Integer), col(u"TAX_CODE", ColumnKind::Text, 2),
             col(u"TAX_NAME", ColumnKind::Text, 80), col(u"CURRENCY_CODE", ColumnKind::Text, 3),
             col(u"CARRIER_CODE", ColumnKind::Text, 3), col(u"COUNTRY_CODE", ColumnKind::Text, 2)}};
}

TableShape rates()
{
    return {u"FARE_CURRENCY_RATE"_s,
            {u"RATE_IDENTIFICATOR"_s},
            {{u"RDB$PRIMARY2"_s, {u"RATE_IDENTIFICATOR"_s}, true, false, true}},
            {col(u"RATE_IDENTIFICATOR", ColumnKind::Integer),
             col(u"CURRENCY_FROM", ColumnKind::Text, 3), col(u"CURRENCY_TO", ColumnKind::Text, 3),
             col(u"CARRIER_CODE", ColumnKind::Text, 2), col(u"RATE_AMOUNT", ColumnKind::Float),
             col(u"RATE_VALID_FROM", ColumnKind::Date), col(u"RATE_VALID_TO", ColumnKind::Date),
             col(u"RATE_INSERT_DATE", ColumnKind::DateTime)}};
}

// A key of two columns, a unique and a plain index, a blob and an array column.
TableShape pairs()
{
    return {u"PAIRS"_s,
            {u"A"_s, u"B"_s},
            {{u"RDB$PRIMARY9"_s, {u"A"_s, u"B"_s}, true, false, true},
             {u"PAIRS_C"_s, {u"C"_s}, false, false, false},
             {u"PAIRS_CA"_s, {u"C"_s, u"A"_s}, true, true, false}},
            {col(u"A", ColumnKind::Text, 3), col(u"B", ColumnKind::Integer),
             col(u"C", ColumnKind::Text, 10), col(u"D", ColumnKind::TextBlob),
             col(u"E", ColumnKind::Array)}};
}

TableShape currencies()
{
    return {u"FARE_CURRENCY"_s,
            {u"CURRENCY_CODE"_s},
            {{u"RDB$PRIMARY1"_s, {u"CURRENCY_CODE"_s}, true, false, true}},
            {col(u"CURRENCY_CODE", ColumnKind::Text, 3),
             col(u"CURRENCY_NAME", ColumnKind::Text, 49),
             col(u"CURRENCY_FARE_RULE", ColumnKind::Text, 49),
             col(u"CURRENCY_TAX_RULE", ColumnKind::Text, 49)}};
}

struct StatementCase {
    const char* name;
    TableShape (*shape)();
    const char16_t* filter;
    const char16_t* indexFieldNames;
    const char16_t* orderList;
    const char16_t* select;
    const char16_t* reread;
    const char16_t* lock;
    const char16_t* update;
    const char16_t* deleteRow;
    const char16_t* insert;
    const char16_t* nextRows;
    const char16_t* priorRows;
    const char16_t* lastRows;
};

const StatementCase statementCases[] = {
    {"TaxesByCodeUnfiltered", appliedTaxes, u"", u"TAX_CODE", u"TAX_CODE,TAXID",
     u"select * from APPLIED_TAXES\norder by TAX_CODE,TAXID",
     u"select * from APPLIED_TAXES where TAXID=:TAXID ",
     u"update APPLIED_TAXES set TAXID=:TAXID where TAXID=:TAXID",
     u"update APPLIED_TAXES\nset TAXID=:TAXID, TAX_CODE=:TAX_CODE, TAX_NAME=:TAX_NAME, "
     u"CURRENCY_CODE=:CURRENCY_CODE, CARRIER_CODE=:CARRIER_CODE, COUNTRY_CODE=:COUNTRY_CODE\n"
     u"where TAXID=:OLD_TAXID and TAX_CODE=:OLD_TAX_CODE and TAX_NAME=:OLD_TAX_NAME and "
     u"CURRENCY_CODE=:OLD_CURRENCY_CODE and CARRIER_CODE=:OLD_CARRIER_CODE and "
     u"COUNTRY_CODE=:OLD_COUNTRY_CODE",
     u"delete from APPLIED_TAXES\nwhere TAXID=:OLD_TAXID and TAX_CODE=:OLD_TAX_CODE and "
     u"TAX_NAME=:OLD_TAX_NAME and CURRENCY_CODE=:OLD_CURRENCY_CODE and "
     u"CARRIER_CODE=:OLD_CARRIER_CODE and COUNTRY_CODE=:OLD_COUNTRY_CODE",
     u"insert into APPLIED_TAXES (TAXID,TAX_CODE,TAX_NAME,CURRENCY_CODE,CARRIER_CODE,"
     u"COUNTRY_CODE)\nvalues (:TAXID,:TAX_CODE,:TAX_NAME,:CURRENCY_CODE,:CARRIER_CODE,"
     u":COUNTRY_CODE)",
     u"select * from APPLIED_TAXES where (( TAX_CODE = :TAX_CODE AND TAXID > :TAXID) OR "
     u"( TAX_CODE > :TAX_CODE)) \norder by TAX_CODE,TAXID",
     u"select * from APPLIED_TAXES where (( TAX_CODE = :TAX_CODE AND TAXID < :TAXID) OR "
     u"( TAX_CODE < :TAX_CODE)) \norder by TAX_CODE DESC, TAXID DESC",
     u"select * from APPLIED_TAXES\norder by TAX_CODE DESC, TAXID DESC"},
    {"RateListFilteredLatestFirst", rates,
     u" CURRENCY_FROM='USD' and CURRENCY_TO='RUB' and CARRIER_CODE='SU'",
     u"RATE_VALID_TO desc, RATE_VALID_FROM desc",
     u"RATE_VALID_TO DESC, RATE_VALID_FROM DESC,RATE_IDENTIFICATOR",
     u"select * from FARE_CURRENCY_RATE\n"
     u"where  CURRENCY_FROM='USD' and CURRENCY_TO='RUB' and CARRIER_CODE='SU'\n"
     u"order by RATE_VALID_TO DESC, RATE_VALID_FROM DESC,RATE_IDENTIFICATOR",
     u"select * from FARE_CURRENCY_RATE\nwhere RATE_IDENTIFICATOR=:RATE_IDENTIFICATOR AND  "
     u"CURRENCY_FROM='USD' and CURRENCY_TO='RUB' and CARRIER_CODE='SU'",
     u"update FARE_CURRENCY_RATE set RATE_IDENTIFICATOR=:RATE_IDENTIFICATOR where "
     u"RATE_IDENTIFICATOR=:RATE_IDENTIFICATOR",
     u"update FARE_CURRENCY_RATE\nset RATE_IDENTIFICATOR=:RATE_IDENTIFICATOR, "
     u"CURRENCY_FROM=:CURRENCY_FROM, CURRENCY_TO=:CURRENCY_TO, CARRIER_CODE=:CARRIER_CODE, "
     u"RATE_AMOUNT=:RATE_AMOUNT, RATE_VALID_FROM=:RATE_VALID_FROM, "
     u"RATE_VALID_TO=:RATE_VALID_TO, RATE_INSERT_DATE=:RATE_INSERT_DATE\n"
     u"where RATE_IDENTIFICATOR=:OLD_RATE_IDENTIFICATOR and CURRENCY_FROM=:OLD_CURRENCY_FROM "
     u"and CURRENCY_TO=:OLD_CURRENCY_TO and CARRIER_CODE=:OLD_CARRIER_CODE and "
     u"RATE_AMOUNT=:OLD_RATE_AMOUNT and RATE_VALID_FROM=:OLD_RATE_VALID_FROM and "
     u"RATE_VALID_TO=:OLD_RATE_VALID_TO and RATE_INSERT_DATE=:OLD_RATE_INSERT_DATE",
     u"delete from FARE_CURRENCY_RATE\n"
     u"where RATE_IDENTIFICATOR=:OLD_RATE_IDENTIFICATOR and CURRENCY_FROM=:OLD_CURRENCY_FROM "
     u"and CURRENCY_TO=:OLD_CURRENCY_TO and CARRIER_CODE=:OLD_CARRIER_CODE and "
     u"RATE_AMOUNT=:OLD_RATE_AMOUNT and RATE_VALID_FROM=:OLD_RATE_VALID_FROM and "
     u"RATE_VALID_TO=:OLD_RATE_VALID_TO and RATE_INSERT_DATE=:OLD_RATE_INSERT_DATE",
     u"insert into FARE_CURRENCY_RATE (RATE_IDENTIFICATOR,CURRENCY_FROM,CURRENCY_TO,"
     u"CARRIER_CODE,RATE_AMOUNT,RATE_VALID_FROM,RATE_VALID_TO,RATE_INSERT_DATE)\n"
     u"values (:RATE_IDENTIFICATOR,:CURRENCY_FROM,:CURRENCY_TO,:CARRIER_CODE,:RATE_AMOUNT,"
     u":RATE_VALID_FROM,:RATE_VALID_TO,:RATE_INSERT_DATE)",
     u"select * from FARE_CURRENCY_RATE\n"
     u"where (( RATE_VALID_TO = :RATE_VALID_TO AND RATE_VALID_FROM = :RATE_VALID_FROM AND "
     u"RATE_IDENTIFICATOR > :RATE_IDENTIFICATOR) OR ( RATE_VALID_TO = :RATE_VALID_TO AND "
     u"RATE_VALID_FROM < :RATE_VALID_FROM) OR ( RATE_VALID_TO < :RATE_VALID_TO)) AND  "
     u"CURRENCY_FROM='USD' and CURRENCY_TO='RUB' and CARRIER_CODE='SU'\n"
     u"order by RATE_VALID_TO DESC, RATE_VALID_FROM DESC,RATE_IDENTIFICATOR",
     u"select * from FARE_CURRENCY_RATE\n"
     u"where (( RATE_VALID_TO = :RATE_VALID_TO AND RATE_VALID_FROM = :RATE_VALID_FROM AND "
     u"RATE_IDENTIFICATOR < :RATE_IDENTIFICATOR) OR ( RATE_VALID_TO = :RATE_VALID_TO AND "
     u"RATE_VALID_FROM > :RATE_VALID_FROM) OR ( RATE_VALID_TO > :RATE_VALID_TO)) AND  "
     u"CURRENCY_FROM='USD' and CURRENCY_TO='RUB' and CARRIER_CODE='SU'\n"
     u"order by RATE_VALID_TO, RATE_VALID_FROM, RATE_IDENTIFICATOR DESC",
     u"select * from FARE_CURRENCY_RATE\n"
     u"where  CURRENCY_FROM='USD' and CURRENCY_TO='RUB' and CARRIER_CODE='SU'\n"
     u"order by RATE_VALID_TO, RATE_VALID_FROM, RATE_IDENTIFICATOR DESC"},
    {"TwoColumnKeyInKeyOrder", pairs, u"", u"", u"A,B", u"select * from PAIRS\norder by A,B",
     u"select * from PAIRS where A=:A and B=:B ", u"update PAIRS set A=:A where A=:A and B=:B",
     u"update PAIRS\nset A=:A, B=:B, C=:C, D=:D\nwhere A=:OLD_A and B=:OLD_B and C=:OLD_C",
     u"delete from PAIRS\nwhere A=:OLD_A and B=:OLD_B and C=:OLD_C",
     u"insert into PAIRS (A,B,C,D)\nvalues (:A,:B,:C,:D)",
     u"select * from PAIRS where (( A = :A AND B > :B) OR ( A > :A)) \norder by A,B",
     u"select * from PAIRS where (( A = :A AND B < :B) OR ( A < :A)) \norder by A DESC, B DESC",
     u"select * from PAIRS\norder by A DESC, B DESC"},
    {"TwoColumnKeyFilteredDescendingEntry", pairs, u"C = 'X'", u" c desc ", u"C DESC,A,B",
     u"select * from PAIRS\nwhere C = 'X'\norder by C DESC,A,B",
     u"select * from PAIRS\nwhere A=:A and B=:B AND C = 'X'",
     u"update PAIRS set A=:A where A=:A and B=:B",
     u"update PAIRS\nset A=:A, B=:B, C=:C, D=:D\nwhere A=:OLD_A and B=:OLD_B and C=:OLD_C",
     u"delete from PAIRS\nwhere A=:OLD_A and B=:OLD_B and C=:OLD_C",
     u"insert into PAIRS (A,B,C,D)\nvalues (:A,:B,:C,:D)",
     u"select * from PAIRS\nwhere (( C = :C AND A = :A AND B > :B) OR ( C = :C AND A > :A) OR "
     u"( C < :C)) AND C = 'X'\norder by C DESC,A,B",
     u"select * from PAIRS\nwhere (( C = :C AND A = :A AND B < :B) OR ( C = :C AND A < :A) OR "
     u"( C > :C)) AND C = 'X'\norder by C, A DESC, B DESC",
     u"select * from PAIRS\nwhere C = 'X'\norder by C, A DESC, B DESC"},
    {"SingleKeyOrderHasNoOuterParentheses", currencies, u"", u"", u"CURRENCY_CODE",
     u"select * from FARE_CURRENCY\norder by CURRENCY_CODE",
     u"select * from FARE_CURRENCY where CURRENCY_CODE=:CURRENCY_CODE ",
     u"update FARE_CURRENCY set CURRENCY_CODE=:CURRENCY_CODE where CURRENCY_CODE=:CURRENCY_CODE",
     u"update FARE_CURRENCY\nset CURRENCY_CODE=:CURRENCY_CODE, CURRENCY_NAME=:CURRENCY_NAME, "
     u"CURRENCY_FARE_RULE=:CURRENCY_FARE_RULE, CURRENCY_TAX_RULE=:CURRENCY_TAX_RULE\n"
     u"where CURRENCY_CODE=:OLD_CURRENCY_CODE and CURRENCY_NAME=:OLD_CURRENCY_NAME and "
     u"CURRENCY_FARE_RULE=:OLD_CURRENCY_FARE_RULE and CURRENCY_TAX_RULE=:OLD_CURRENCY_TAX_RULE",
     u"delete from FARE_CURRENCY\nwhere CURRENCY_CODE=:OLD_CURRENCY_CODE and "
     u"CURRENCY_NAME=:OLD_CURRENCY_NAME and CURRENCY_FARE_RULE=:OLD_CURRENCY_FARE_RULE and "
     u"CURRENCY_TAX_RULE=:OLD_CURRENCY_TAX_RULE",
     u"insert into FARE_CURRENCY (CURRENCY_CODE,CURRENCY_NAME,CURRENCY_FARE_RULE,"
     u"CURRENCY_TAX_RULE)\nvalues (:CURRENCY_CODE,:CURRENCY_NAME,:CURRENCY_FARE_RULE,"
     u":CURRENCY_TAX_RULE)",
     u"select * from FARE_CURRENCY where ( CURRENCY_CODE > :CURRENCY_CODE) \n"
     u"order by CURRENCY_CODE",
     u"select * from FARE_CURRENCY where ( CURRENCY_CODE < :CURRENCY_CODE) \n"
     u"order by CURRENCY_CODE DESC",
     u"select * from FARE_CURRENCY\norder by CURRENCY_CODE DESC"},
};

class StatementTexts : public testing::TestWithParam<StatementCase> {};

TEST_P(StatementTexts, AreGeneratedExactly)
{
    const StatementCase& c = GetParam();
    const BrowserStatements s =
        build(c.shape(), QString::fromUtf16(c.filter), QString::fromUtf16(c.indexFieldNames));
    EXPECT_EQ(s.orderList, QString::fromUtf16(c.orderList));
    EXPECT_EQ(s.select, QString::fromUtf16(c.select));
    EXPECT_EQ(s.reread, QString::fromUtf16(c.reread));
    EXPECT_EQ(s.lock, QString::fromUtf16(c.lock));
    EXPECT_EQ(s.update, QString::fromUtf16(c.update));
    EXPECT_EQ(s.deleteRow, QString::fromUtf16(c.deleteRow));
    EXPECT_EQ(s.insert, QString::fromUtf16(c.insert));
    EXPECT_EQ(s.nextRows, QString::fromUtf16(c.nextRows));
    EXPECT_EQ(s.priorRows, QString::fromUtf16(c.priorRows));
    EXPECT_EQ(s.lastRows, QString::fromUtf16(c.lastRows));
}

INSTANTIATE_TEST_SUITE_P(Browser, StatementTexts, testing::ValuesIn(statementCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct OrderCase {
    const char* name;
    TableShape (*shape)();
    const char16_t* indexFieldNames;
    const char16_t* orderList;
};

const OrderCase orderCases[] = {
    {"EmptyIsKey", appliedTaxes, u"", u"TAXID"},
    {"KeyItself", appliedTaxes, u"taxid", u"TAXID"},
    {"KeyAppendedWithoutBlank", appliedTaxes, u"TAX_CODE", u"TAX_CODE,TAXID"},
    {"EntriesTrimmedUpperCasedJoined", appliedTaxes, u" tax_code ; tax_name ",
     u"TAX_CODE,TAX_NAME,TAXID"},
    {"HeldKeyNotRepeated", appliedTaxes, u"TAX_CODE,TAXID", u"TAX_CODE,TAXID"},
    {"KeyWithDirectionIsNotHeld", appliedTaxes, u"TAXID DESC", u"TAXID DESC,TAXID"},
    {"TwoColumnKeyInOtherOrderIsHeld", pairs, u"B;A", u"B,A"},
    {"TwoColumnKeyEntries", pairs, u"A;B", u"A,B"},
    {"UniqueIndexNeedsNoTieBreak", pairs, u"C;A", u"C,A"},
    {"PlainIndexGetsTheKey", pairs, u"C", u"C,A,B"},
    {"PartlyHeldKey", pairs, u"C;B", u"C,B,A"},
    {"RateListEntry", rates, u"RATE_VALID_TO desc, RATE_VALID_FROM desc",
     u"RATE_VALID_TO DESC, RATE_VALID_FROM DESC,RATE_IDENTIFICATOR"},
};

class OrderLists : public testing::TestWithParam<OrderCase> {};

TEST_P(OrderLists, EndInAUniqueTieBreak)
{
    const OrderCase& c = GetParam();
    const TableShape shape = c.shape();
    EXPECT_EQ(orderList(shape.keyColumns, shape.indexes, QString::fromUtf16(c.indexFieldNames)),
              QString::fromUtf16(c.orderList));
}

INSTANTIATE_TEST_SUITE_P(Browser, OrderLists, testing::ValuesIn(orderCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct ReverseCase {
    const char16_t* orderList;
    const char16_t* reversed;
    const char16_t* forward; // keyset condition for the next rows
};

const ReverseCase reverseCases[] = {
    {u"A", u"order by A DESC", u"( A > :A)"},
    {u"A DESC", u"order by A", u"( A < :A)"},
    {u"A descending, B ASC", u"order by A, B DESC", u"(( A = :A AND B > :B) OR ( A < :A))"},
    {u"X ascending,Y desc,Z", u"order by X DESC, Y, Z DESC",
     u"(( X = :X AND Y = :Y AND Z > :Z) OR ( X = :X AND Y < :Y) OR ( X > :X))"},
};

TEST(BrowserOrder, ReversalAndKeysetFollowTheDirections)
{
    for (const ReverseCase& c : reverseCases) {
        const auto order = orderColumns(QString::fromUtf16(c.orderList));
        SCOPED_TRACE(QString::fromUtf16(c.orderList).toStdString());
        EXPECT_EQ(reversedOrder(order), QString::fromUtf16(c.reversed));
        EXPECT_EQ(keysetCondition(order, true), QString::fromUtf16(c.forward));
    }
}

TEST(BrowserStatements, NullOldValuesAreMatchedWithIsNull)
{
    const TableShape s = pairs();
    EXPECT_EQ(
        updateSql(s.table, s.columns, {u"C"_s}),
        u"update PAIRS\nset A=:A, B=:B, C=:C, D=:D\nwhere A=:OLD_A and B=:OLD_B and C IS NULL"_s);
    EXPECT_EQ(deleteSql(s.table, s.columns, {u"B"_s, u"C"_s}),
              u"delete from PAIRS\nwhere A=:OLD_A and B IS NULL and C IS NULL"_s);
    EXPECT_EQ(insertSql(s.table, {u"A"_s, u"C"_s}), u"insert into PAIRS (A,C)\nvalues (:A,:C)"_s);
}

TEST(BrowserStatements, CatalogueQueries)
{
    EXPECT_EQ(indexQuery(u" applied_taxes "_s),
              u"Select I.RDB$INDEX_NAME, I.RDB$UNIQUE_FLAG, I.RDB$INDEX_TYPE, "
              u"I.RDB$SEGMENT_COUNT, S.RDB$FIELD_NAME from RDB$INDICES I, RDB$INDEX_SEGMENTS S "
              u"where I.RDB$INDEX_NAME = S.RDB$INDEX_NAME and I.RDB$RELATION_NAME = "
              u"'APPLIED_TAXES'"_s);
    EXPECT_EQ(segmentQuery(u"RDB$PRIMARY9"_s),
              u"Select RDB$FIELD_NAME from RDB$INDEX_SEGMENTS where RDB$INDEX_NAME = "
              u"'RDB$PRIMARY9'\nORDER BY RDB$FIELD_POSITION"_s);
}

} // namespace

namespace {

struct NullSafeCase {
    const char16_t* orderList;
    bool forward;
    std::initializer_list<const char16_t*> nullInBoundary;
    const char16_t* condition;
};

const NullSafeCase nullSafeCases[] = {
    {u"VT DESC, VF DESC,ID",
     true,
     {},
     u"(( VT = :VT AND VF = :VF AND ID > :ID) OR ( VT = :VT AND (VF < :VF OR VF IS NULL)) OR "
     u"( (VT < :VT OR VT IS NULL)))"},
    {u"VT DESC, VF DESC,ID",
     true,
     {u"VF"},
     u"(( VT = :VT AND VF IS NULL AND ID > :ID) OR ( (VT < :VT OR VT IS NULL)))"},
    {u"VT DESC, VF DESC,ID",
     false,
     {u"VT"},
     u"(( VT IS NULL AND VF = :VF AND ID < :ID) OR ( VT IS NULL AND VF > :VF) OR "
     u"( VT IS NOT NULL))"},
    {u"VT,ID", false, {}, u"(( VT = :VT AND ID < :ID) OR ( (VT < :VT OR VT IS NULL)))"},
    {u"VT", true, {u"VT"}, u"( VT IS NOT NULL)"},
    {u"VT", false, {u"VT"}, u""}, // nothing sorts before null
};

TEST(BrowserStatements, NullSafeKeysetReachesRowsWithNullOrderValues)
{
    const QSet<QString> canBeNull{u"VT"_s, u"VF"_s};
    for (const NullSafeCase& c : nullSafeCases) {
        QSet<QString> nulls;
        for (const char16_t* n : c.nullInBoundary)
            nulls.insert(QString::fromUtf16(n));
        SCOPED_TRACE(QString::fromUtf16(c.orderList).toStdString());
        EXPECT_EQ(nullSafeKeysetCondition(orderColumns(QString::fromUtf16(c.orderList)), c.forward,
                                          canBeNull, nulls),
                  QString::fromUtf16(c.condition));
    }
    // Columns that cannot be null keep the plain comparison.
    const auto order = orderColumns(u"TAX_CODE,TAXID"_s);
    EXPECT_EQ(nullSafeKeysetCondition(order, false, {}, {}), keysetCondition(order, false));
}

TEST(BrowserStatements, KeysetStatementFromItsPieces)
{
    const BrowserStatements s = build(rates(), u"CARRIER_CODE='SU'"_s, u"RATE_VALID_TO desc"_s);
    const QString condition = keysetCondition(s.order, false);
    EXPECT_EQ(keysetSql(s, condition, false), s.priorRows);
    EXPECT_EQ(keysetSql(s, keysetCondition(s.order, true), true), s.nextRows);
}

} // namespace
