// The table browser on an embedded database, with a second attachment playing the other
// user: key discovery, scrolling across windows, order and filter changes, the editing
// protocol with its row lock and its messages, and the grid model.
#include "refdata/browsermodel.h"
#include "refdata/tablebrowser.h"
#include "support/qstringprint.h"
#include "support/testdatabase.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <memory>

using namespace refdata;
using namespace Qt::Literals::StringLiterals;

namespace {

// Another program working on the same database file.
class OtherUser {
public:
    explicit OtherUser(const QString& path)
    {
        m_connection.setDatabaseName(path);
        m_connection.setUserName(u"sysdba"_s);
        m_connection.connect();
    }

    // Runs one statement in a transaction of its own and commits it.
    std::uint64_t exec(const QString& sql)
    {
        Transaction t(m_connection, {u"write"_s, u"nowait"_s, u"concurrency"_s});
        Statement s(m_connection, sql);
        const auto n = s.execute(t);
        t.commit();
        return n;
    }

    // Runs a statement in the transaction kept open until release() (a row being edited).
    std::uint64_t hold(const QString& sql)
    {
        m_held.startIfNeeded();
        Statement s(m_connection, sql);
        return s.execute(m_held);
    }
    void release() { m_held.rollback(); }

    std::vector<qint64> column(const QString& sql)
    {
        Transaction t(m_connection, {u"read"_s, u"concurrency"_s});
        Statement s(m_connection, sql);
        s.open(t);
        std::vector<qint64> out;
        while (s.next())
            out.push_back(qint64(s.number(s.columns()[0].name)));
        s.close();
        return out;
    }

    Connection& connection() { return m_connection; }

private:
    Connection m_connection;
    Transaction m_held{m_connection, {u"write"_s, u"nowait"_s, u"concurrency"_s}};
};

class BrowserTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_db = std::make_unique<TestDatabase>();
        OtherUser ddl(s_db->path());
        ddl.exec(u"create table NOKEY (A integer, B varchar(5))"_s);
        // The key's segments are not in column order; a fixed-length text column.
        ddl.exec(u"create table PAIRS (A varchar(3) not null, B integer not null, C char(6), "
                 u"primary key (B, A))"_s);
        ddl.exec(u"create unique index PAIRS_C on PAIRS (C)"_s);
        ddl.exec(u"create descending index PAIRS_AD on PAIRS (A)"_s);
        // Times and timestamps as the server keeps them, to 1/10,000 s.
        ddl.exec(u"create table STAMPS (ID integer not null primary key, T time, TS timestamp, "
                 u"NOTE varchar(10))"_s);
    }
    static void TearDownTestSuite() { s_db.reset(); }

    void SetUp() override
    {
        ref.setLocation(s_db->path(), u"sysdba"_s, u"lanternix"_s);
        for (const char16_t* table : {u"APPLIED_TAXES", u"FARE_CURRENCY_RATE", u"FARE_CURRENCY",
                                      u"VALIDATING_CARRIER", u"PAIRS", u"STAMPS"})
            other.exec(u"delete from "_s + QString::fromUtf16(table));
        other.exec(u"insert into FARE_CURRENCY values ('RUB', 'ROUBLE', 'CEIL(VALUE)', "
                   u"'CEIL(VALUE)')"_s);
        other.exec(u"insert into FARE_CURRENCY values ('USD', 'DOLLAR', 'CEIL(VALUE)', "
                   u"'CEIL(VALUE)')"_s);
    }

    void addTax(int id, const QString& code, const QString& name = u"NAME"_s,
                const QString& country = u"RU"_s)
    {
        other.exec(u"insert into APPLIED_TAXES (TAXID, TAX_CODE, TAX_NAME, CURRENCY_CODE, "
                   u"CARRIER_CODE, COUNTRY_CODE) values (%1, '%2', %3, 'RUB', '', '%4')"_s.arg(
                       QString::number(id), code,
                       name.isNull() ? u"null"_s : u"'"_s + name + u"'"_s, country));
    }

    // n taxes numbered from 1, their codes repeating so the order needs the key.
    void addTaxes(int n)
    {
        Connection& c = other.connection();
        Transaction t(c, {u"write"_s, u"nowait"_s, u"concurrency"_s});
        Statement s(c, u"insert into APPLIED_TAXES (TAXID, TAX_CODE, TAX_NAME, CURRENCY_CODE, "
                       u"CARRIER_CODE, COUNTRY_CODE) values (:ID, :CODE, :NAME, 'RUB', '', "
                       u":COUNTRY)"_s);
        for (int i = 1; i <= n; ++i) {
            const QString code = QString(QChar(u'A' + (i * 7) % 5)) + QChar(u'A' + i % 3);
            s.setParam(u"ID"_s, qint64(i));
            s.setParam(u"CODE"_s, code);
            s.setParam(u"NAME"_s, u"T"_s + QString::number(i));
            s.setParam(u"COUNTRY"_s, i % 4 == 0 ? u"KZ"_s : u"RU"_s);
            s.execute(t);
        }
        t.commit();
    }

    qint64 currentId(TableBrowser& b, const QString& key = u"TAXID"_s)
    {
        return qint64(b.number(key));
    }

    std::unique_ptr<TableBrowser> openTaxes(const QString& order = QString())
    {
        auto b = std::make_unique<TableBrowser>(ref);
        b->setTableName(u"applied_taxes"_s);
        b->setIndexFieldNames(order);
        b->open();
        return b;
    }

    static std::unique_ptr<TestDatabase> s_db;
    OtherUser other{s_db->path()};
    ReferenceDatabase ref;
};

std::unique_ptr<TestDatabase> BrowserTest::s_db;

template <typename F> BrowserError browserError(F&& f)
{
    try {
        f();
    } catch (const BrowserError& e) {
        return e;
    }
    ADD_FAILURE() << "no browser error raised";
    return BrowserError(BrowserError::Kind::BadValue, QString());
}

} // namespace

// ---------------------------------------------------------------------------------------
// Opening

TEST_F(BrowserTest, TableWithoutPrimaryKeyIsRefused)
{
    for (const char16_t* table : {u"NOKEY", u"NO_SUCH_TABLE"}) {
        TableBrowser b(ref);
        b.setTableName(QString::fromUtf16(table));
        const BrowserError e = browserError([&] { b.open(); });
        EXPECT_EQ(e.kind(), BrowserError::Kind::NoPrimaryKey);
        EXPECT_EQ(e.message(), u"Not Correct TableName or Table has no primary key"_s);
        EXPECT_FALSE(b.isOpen());
    }
}

TEST_F(BrowserTest, KeyIndexesAndColumnsComeFromTheCatalogue)
{
    other.exec(u"insert into PAIRS values ('X', 1, 'ab')"_s);
    TableBrowser b(ref);
    b.setTableName(u" pairs "_s);
    b.open();
    EXPECT_EQ(b.shape().keyColumns, (QStringList{u"B"_s, u"A"_s})) << "in key order";
    bool sawUnique = false, sawDescending = false;
    for (const IndexInfo& i : b.shape().indexes) {
        if (i.name == u"PAIRS_C") {
            sawUnique = i.unique && !i.descending && i.columns == QStringList{u"C"_s};
        }
        if (i.name == u"PAIRS_AD")
            sawDescending = i.descending && !i.unique;
    }
    EXPECT_TRUE(sawUnique);
    EXPECT_TRUE(sawDescending);
    EXPECT_EQ(b.statements().select, u"select * from PAIRS\norder by B,A"_s);
    ASSERT_EQ(b.columns().size(), 3u);
    EXPECT_EQ(b.columns()[2].kind, ColumnKind::Text);
    EXPECT_EQ(b.text(u"C"_s), u"ab"_s) << "a fixed-length text is read without its blanks";

    // The fixed-length value without blanks still matches the stored one.
    b.edit();
    b.setText(u"A"_s, u"Y"_s);
    b.post();
    EXPECT_EQ(other.column(u"select count(*) from PAIRS where A = 'Y'"_s), std::vector<qint64>{1});
}

// ---------------------------------------------------------------------------------------
// Moving

TEST_F(BrowserTest, FilterMatchingNothingGivesAnEmptyBrowser)
{
    addTaxes(5);
    TableBrowser b(ref);
    b.setTableName(u"APPLIED_TAXES"_s);
    b.setFilter(u"TAX_CODE = 'QQ'"_s);
    b.setFiltered(true);
    b.open();
    EXPECT_TRUE(b.isEmpty());
    EXPECT_FALSE(b.next());
    EXPECT_FALSE(b.prior());
    b.last();
    b.first();
    b.refresh();
    EXPECT_TRUE(b.isEmpty());
    EXPECT_EQ(b.currentIndex(), -1);
    EXPECT_TRUE(b.isNull(u"TAX_CODE"_s));
    EXPECT_EQ(b.text(u"TAX_CODE"_s), QString());
    // Edit on an empty browser starts a new row, so that Post inserts.
    b.edit();
    EXPECT_EQ(b.state(), TableBrowser::State::Inserting);
    b.cancel();

    b.setFiltered(false);
    EXPECT_FALSE(b.isEmpty());
}

struct ScrollCase {
    const char* name;
    const char16_t* indexFieldNames;
    const char16_t* filter;
    const char16_t* expected; // the query that gives the expected order of TAXID
};

const ScrollCase scrollCases[] = {
    {"KeyOrder", u"", u"", u"select TAXID from APPLIED_TAXES order by TAXID"},
    {"CodeThenKey", u"TAX_CODE", u"", u"select TAXID from APPLIED_TAXES order by TAX_CODE, TAXID"},
    {"CodeDescending", u"TAX_CODE desc", u"",
     u"select TAXID from APPLIED_TAXES order by TAX_CODE desc, TAXID"},
    {"TwoEntriesFiltered", u"COUNTRY_CODE desc;TAX_CODE", u"TAXID > 20",
     u"select TAXID from APPLIED_TAXES where TAXID > 20 order by COUNTRY_CODE desc, TAX_CODE, "
     u"TAXID"},
};

class BrowserScroll : public BrowserTest, public testing::WithParamInterface<ScrollCase> {};

TEST_P(BrowserScroll, VisitsEveryRowOnceInOrderBothWays)
{
    const ScrollCase& c = GetParam();
    addTaxes(345);
    const std::vector<qint64> expected = other.column(QString::fromUtf16(c.expected));
    auto b = openTaxes(QString::fromUtf16(c.indexFieldNames));
    if (*c.filter) {
        b->setFilter(QString::fromUtf16(c.filter));
        b->setFiltered(true);
    }
    b->first();

    std::vector<qint64> forward{currentId(*b)};
    int largest = b->windowRowCount();
    while (b->next()) {
        forward.push_back(currentId(*b));
        largest = std::max(largest, b->windowRowCount());
    }
    EXPECT_EQ(forward, expected);
    EXPECT_TRUE(b->eof());
    EXPECT_EQ(currentId(*b), expected.back()) << "Next at the end stays on the last row";
    EXPECT_FALSE(b->next());

    b->last();
    std::vector<qint64> backward{currentId(*b)};
    while (b->prior()) {
        backward.push_back(currentId(*b));
        largest = std::max(largest, b->windowRowCount());
    }
    EXPECT_TRUE(b->bof());
    std::reverse(backward.begin(), backward.end());
    EXPECT_EQ(backward, expected);
    EXPECT_LE(largest, TableBrowser::WindowSize);

    // Forwards from the start across two windows, then back across a boundary.
    b->first();
    for (int i = 0; i < 230; ++i)
        ASSERT_TRUE(b->next());
    for (int i = 0; i < 180; ++i)
        ASSERT_TRUE(b->prior());
    EXPECT_EQ(currentId(*b), expected[50]);
}

INSTANTIATE_TEST_SUITE_P(Browser, BrowserScroll, testing::ValuesIn(scrollCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(BrowserTest, RowsWithNullOrderValuesAreReachedAcrossWindows)
{
    // 260 rates, some without a last or first day of validity, many on the same days.
    Connection& c = other.connection();
    {
        Transaction t(c, {u"write"_s, u"nowait"_s, u"concurrency"_s});
        Statement s(c, u"insert into FARE_CURRENCY_RATE (RATE_IDENTIFICATOR, CURRENCY_FROM, "
                       u"RATE_VALID_FROM, RATE_VALID_TO) values (:ID, 'USD', :F, :T)"_s);
        for (int i = 1; i <= 260; ++i) {
            s.setParam(u"ID"_s, qint64(i));
            s.setParam(u"F"_s, i % 7 == 0 ? DbValue() : DbValue(QDate(2026, 1, 1 + i % 5)));
            s.setParam(u"T"_s, i % 11 == 0 ? DbValue() : DbValue(QDate(2026, 2, 1 + i % 4)));
            s.execute(t);
        }
        t.commit();
    }
    const auto expected = other.column(
        u"select RATE_IDENTIFICATOR from FARE_CURRENCY_RATE order by RATE_VALID_TO desc, "
        u"RATE_VALID_FROM desc, RATE_IDENTIFICATOR"_s);
    ASSERT_EQ(expected.size(), 260u);
    TableBrowser b(ref);
    b.setTableName(u"FARE_CURRENCY_RATE"_s);
    b.setIndexFieldNames(u"RATE_VALID_TO desc, RATE_VALID_FROM desc"_s);
    b.open();
    const QString key = u"RATE_IDENTIFICATOR"_s;
    std::vector<qint64> forward{qint64(b.number(key))};
    while (b.next())
        forward.push_back(qint64(b.number(key)));
    EXPECT_EQ(forward, expected);
    b.last();
    std::vector<qint64> backward{qint64(b.number(key))};
    while (b.prior())
        backward.push_back(qint64(b.number(key)));
    std::reverse(backward.begin(), backward.end());
    EXPECT_EQ(backward, expected);

    // Refresh on a row whose order values are null keeps it and its neighbours.
    b.first();
    while (!b.isNull(u"RATE_VALID_TO"_s) || !b.isNull(u"RATE_VALID_FROM"_s))
        ASSERT_TRUE(b.next());
    const qint64 id = qint64(b.number(key));
    b.refresh();
    EXPECT_EQ(qint64(b.number(key)), id);
    ASSERT_TRUE(b.next());
    const auto at = std::find(expected.begin(), expected.end(), id) - expected.begin();
    EXPECT_EQ(qint64(b.number(key)), expected[std::size_t(at + 1)]);
}

// The rate list's order mixes directions (the days descending, the key ascending), so its
// windows are read bounded on the last day of validity through that column's indexes.
// Whatever the days look like, every way of moving must meet the rows of the full order.
struct BoundedCase {
    const char* name;
    int rows;
    // The days of rate i (1-based); a negative day is null.
    int (*to)(int i);
    int (*from)(int i);
};

const BoundedCase boundedCases[] = {
    // One last day for more rows than a window holds, then a few others.
    {"TieLongerThanAWindow", 330, [](int i) { return i <= 250 ? 10 : i % 3; },
     [](int i) { return i % 2; }},
    // Every rate a day of its own: no ties at all.
    {"EveryDayItsOwn", 260, [](int i) { return (i * 37) % 260; }, [](int) { return 1; }},
    // More rows without a last day than a window holds, among others.
    {"ManyWithoutLastDay", 300, [](int i) { return i % 2 == 0 ? -1 : i % 5; },
     [](int i) { return i % 4 == 0 ? -1 : i % 3; }},
    // No last day at all.
    {"NoLastDays", 210, [](int) { return -1; }, [](int i) { return i % 6; }},
};

class BrowserBounded : public BrowserTest, public testing::WithParamInterface<BoundedCase> {};

TEST_P(BrowserBounded, EveryMoveMeetsTheFullOrder)
{
    const BoundedCase& bc = GetParam();
    Connection& c = other.connection();
    {
        Transaction t(c, {u"write"_s, u"nowait"_s, u"concurrency"_s});
        Statement s(c, u"insert into FARE_CURRENCY_RATE (RATE_IDENTIFICATOR, CURRENCY_FROM, "
                       u"RATE_VALID_FROM, RATE_VALID_TO) values (:ID, 'USD', :F, :T)"_s);
        auto day = [](int d) { return d < 0 ? DbValue() : DbValue(QDate(2026, 1, 1).addDays(d)); };
        for (int i = 1; i <= bc.rows; ++i) {
            s.setParam(u"ID"_s, qint64(i));
            s.setParam(u"F"_s, day(bc.from(i)));
            s.setParam(u"T"_s, day(bc.to(i)));
            s.execute(t);
        }
        t.commit();
    }
    const auto expected = other.column(
        u"select RATE_IDENTIFICATOR from FARE_CURRENCY_RATE order by RATE_VALID_TO desc, "
        u"RATE_VALID_FROM desc, RATE_IDENTIFICATOR"_s);
    ASSERT_EQ(expected.size(), std::size_t(bc.rows));
    TableBrowser b(ref);
    b.setTableName(u"FARE_CURRENCY_RATE"_s);
    b.setIndexFieldNames(u"RATE_VALID_TO desc, RATE_VALID_FROM desc"_s);
    b.open();
    const QString key = u"RATE_IDENTIFICATOR"_s;
    auto id = [&] { return qint64(b.number(key)); };

    std::vector<qint64> forward{id()};
    while (b.next())
        forward.push_back(id());
    EXPECT_EQ(forward, expected) << "next";

    b.last();
    std::vector<qint64> backward{id()};
    while (b.prior())
        backward.push_back(id());
    std::reverse(backward.begin(), backward.end());
    EXPECT_EQ(backward, expected) << "last, then prior";

    // The window slid by the scroll bar, down to the end and back up to the start.
    b.first();
    while (b.slide(true) > 0) {
    }
    EXPECT_EQ(b.windowValue(b.windowRowCount() - 1, b.fieldIndex(key)), DbValue(expected.back()))
        << "slides down end at the last row";
    while (b.slide(false) > 0) {
    }
    EXPECT_EQ(b.windowValue(0, b.fieldIndex(key)), DbValue(expected.front()))
        << "slides up end at the first row";

    // Refresh keeps the row and its place, and the rows around it are the order's.
    for (const std::size_t at : {std::size_t(0), std::size_t(99), std::size_t(100),
                                 expected.size() / 2, expected.size() - 1}) {
        b.first();
        for (std::size_t i = 0; i < at; ++i)
            ASSERT_TRUE(b.next());
        ASSERT_EQ(id(), expected[at]);
        b.refresh();
        ASSERT_EQ(id(), expected[at]) << "refresh at " << at;
        const int place = b.currentIndex();
        for (int r = 0; r < b.windowRowCount(); ++r) {
            const std::size_t k = at - std::size_t(place) + std::size_t(r);
            ASSERT_LT(k, expected.size());
            EXPECT_EQ(b.windowValue(r, b.fieldIndex(key)), DbValue(expected[k]))
                << "refresh at " << at << ", row " << r;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Browser, BrowserBounded, testing::ValuesIn(boundedCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(BrowserTest, NotNullColumnsAreKnownFromTheColumns)
{
    addTax(1, u"AA"_s);
    auto b = openTaxes(u"TAX_CODE"_s);
    EXPECT_FALSE(b->columns()[std::size_t(b->fieldIndex(u"TAX_CODE"_s))].nullable);
    EXPECT_TRUE(b->columns()[std::size_t(b->fieldIndex(u"TAX_NAME"_s))].nullable);
}

TEST_F(BrowserTest, OrderOrFilterChangeKeepsTheRowTheResultStillHolds)
{
    addTaxes(300);
    auto b = openTaxes();
    for (int i = 0; i < 149; ++i)
        b->next();
    ASSERT_EQ(currentId(*b), 150);
    const int place = b->currentIndex();

    b->setIndexFieldNames(u"TAX_CODE desc"_s);
    EXPECT_EQ(currentId(*b), 150);
    EXPECT_EQ(b->currentIndex(), place) << "the row keeps its place among the rows shown";
    // The neighbours are those of the new order.
    const auto order =
        other.column(u"select TAXID from APPLIED_TAXES order by TAX_CODE desc, TAXID"_s);
    const auto at = std::find(order.begin(), order.end(), 150) - order.begin();
    ASSERT_TRUE(b->next());
    EXPECT_EQ(currentId(*b), order[std::size_t(at + 1)]);
    ASSERT_TRUE(b->prior());
    ASSERT_TRUE(b->prior());
    EXPECT_EQ(currentId(*b), order[std::size_t(at - 1)]);

    // A filter that still admits the row keeps it; Filter alone does nothing unfiltered.
    b->next();
    b->setFilter(u"COUNTRY_CODE = 'RU'"_s);
    EXPECT_EQ(currentId(*b), 150);
    b->setFiltered(true);
    EXPECT_EQ(currentId(*b), 150);
    // One that drops it goes to the first row.
    b->setFilter(u"COUNTRY_CODE = 'KZ'"_s);
    EXPECT_EQ(b->currentIndex(), 0);
    EXPECT_EQ(currentId(*b),
              other
                  .column(u"select first 1 TAXID from APPLIED_TAXES where COUNTRY_CODE = 'KZ' "
                          u"order by TAX_CODE desc, TAXID"_s)
                  .front());
}

TEST_F(BrowserTest, RefreshShowsOtherUsersChangesAndSkipsAGoneRow)
{
    addTaxes(10);
    auto b = openTaxes();
    b->next();
    b->next(); // TAXID 3
    other.exec(u"update APPLIED_TAXES set TAX_NAME = 'CHANGED' where TAXID = 3"_s);
    other.exec(u"insert into APPLIED_TAXES (TAXID, TAX_CODE) values (0, 'ZZ')"_s);
    b->refresh();
    EXPECT_EQ(b->text(u"TAX_NAME"_s), u"CHANGED"_s);
    EXPECT_EQ(b->currentIndex(), 2) << "the row keeps its place among the rows shown";
    b->prior();
    b->prior();
    ASSERT_TRUE(b->prior());
    EXPECT_EQ(currentId(*b), 0) << "the row the other user added is shown before";
    for (int i = 0; i < 3; ++i)
        b->next();

    other.exec(u"delete from APPLIED_TAXES where TAXID in (3, 4)"_s);
    b->refresh();
    EXPECT_EQ(currentId(*b), 5);
    b->last();
    other.exec(u"delete from APPLIED_TAXES where TAXID = 10"_s);
    b->refresh();
    EXPECT_EQ(currentId(*b), 9) << "past the end, Last";
}

// ---------------------------------------------------------------------------------------
// Changing rows

TEST_F(BrowserTest, UpdateMatchesANullColumnThroughIsNull)
{
    addTax(1, u"AA"_s, QString());
    auto b = openTaxes();
    ASSERT_TRUE(b->isNull(u"TAX_NAME"_s));
    b->edit();
    b->setText(u"TAX_CODE"_s, u"BB"_s);
    b->post();
    EXPECT_EQ(b->state(), TableBrowser::State::Browsing);
    EXPECT_EQ(b->text(u"TAX_CODE"_s), u"BB"_s);
    EXPECT_EQ(other.column(u"select count(*) from APPLIED_TAXES where TAX_CODE = 'BB' and "
                           u"TAX_NAME is null"_s),
              std::vector<qint64>{1});
}

struct TriggerKeyCase {
    const char* name;
    const char16_t* table;
    const char16_t* key;
    const char16_t* order;
};

class BrowserTriggerKey : public BrowserTest, public testing::WithParamInterface<TriggerKeyCase> {};

TEST_P(BrowserTriggerKey, InsertWithNullKeyIsNumberedAndNotCurrent)
{
    const TriggerKeyCase& c = GetParam();
    const QString table = QString::fromUtf16(c.table);
    const QString key = QString::fromUtf16(c.key);
    if (table == u"APPLIED_TAXES") {
        addTax(1001, u"BB"_s);
        addTax(1002, u"DD"_s);
    } else {
        for (int d : {1, 2})
            other.exec(u"insert into FARE_CURRENCY_RATE (RATE_IDENTIFICATOR, CURRENCY_FROM, "
                       u"CURRENCY_TO, CARRIER_CODE, RATE_AMOUNT, RATE_VALID_FROM, RATE_VALID_TO) "
                       u"values (100%1, 'USD', 'RUB', 'SU', 90, current_date - %1, "
                       u"current_date - %1)"_s.arg(d));
    }
    TableBrowser b(ref);
    b.setTableName(table);
    b.setIndexFieldNames(QString::fromUtf16(c.order));
    b.open();
    const qint64 before = qint64(b.number(key));

    b.append();
    if (table == u"APPLIED_TAXES") {
        b.setText(u"TAX_CODE"_s, u"CC"_s);
        b.setText(u"CURRENCY_CODE"_s, u"USD"_s);
        b.setText(u"CARRIER_CODE"_s, QString());
    } else {
        b.setText(u"CURRENCY_FROM"_s, u"USD"_s);
        b.setText(u"CURRENCY_TO"_s, u"RUB"_s);
        b.setText(u"CARRIER_CODE"_s, u"SU"_s);
        b.setNumber(u"RATE_AMOUNT"_s, 91.5);
        b.setDateTime(u"RATE_VALID_FROM"_s, QDateTime(QDate::currentDate(), QTime(0, 0)));
        b.setDateTime(u"RATE_VALID_TO"_s, QDateTime(QDate::currentDate(), QTime(0, 0)));
    }
    b.post();
    EXPECT_EQ(b.state(), TableBrowser::State::Browsing);

    const auto keys =
        other.column(u"select %1 from %2 where %1 not in (1001, 1002)"_s.arg(key, table));
    ASSERT_EQ(keys.size(), 1u) << "the trigger numbered the new row";
    EXPECT_NE(qint64(b.number(key)), keys[0]) << "the new row is not the current row";
    EXPECT_NE(qint64(b.number(key)), before) << "the cursor moved to the next row";
    // It is reached in its place of the order.
    b.first();
    std::vector<qint64> seen{qint64(b.number(key))};
    while (b.next())
        seen.push_back(qint64(b.number(key)));
    EXPECT_EQ(seen, other.column(u"select %1 from %2 order by %3, %1"_s.arg(
                        key, table, QString::fromUtf16(c.order))));
    if (table == u"FARE_CURRENCY_RATE") {
        EXPECT_EQ(other.column(u"select count(*) from FARE_CURRENCY_RATE where "
                               u"RATE_INSERT_DATE is not null"_s),
                  std::vector<qint64>{3})
            << "a column never written is left out, so its default applies";
    }
}

const TriggerKeyCase triggerKeyCases[] = {
    {"Taxes", u"APPLIED_TAXES", u"TAXID", u"TAX_CODE"},
    {"Rates", u"FARE_CURRENCY_RATE", u"RATE_IDENTIFICATOR",
     u"RATE_VALID_TO desc, RATE_VALID_FROM desc"},
};

INSTANTIATE_TEST_SUITE_P(Browser, BrowserTriggerKey, testing::ValuesIn(triggerKeyCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(BrowserTest, InsertWithItsKeyBecomesTheCurrentRow)
{
    TableBrowser b(ref);
    b.setTableName(u"FARE_CURRENCY"_s);
    b.open();
    b.append();
    b.setText(u"CURRENCY_CODE"_s, u"EURO"_s);
    b.setText(u"CURRENCY_NAME"_s, QString());
    b.post();
    EXPECT_EQ(b.text(u"CURRENCY_CODE"_s), u"EUR"_s) << "cut to the column's length";
    EXPECT_FALSE(b.isNull(u"CURRENCY_NAME"_s)) << "an empty text is stored as empty";
    EXPECT_TRUE(b.isNull(u"CURRENCY_FARE_RULE"_s)) << "a column never written is null";
    EXPECT_EQ(other.column(u"select count(*) from FARE_CURRENCY where CURRENCY_CODE = 'EUR' and "
                           u"CURRENCY_NAME = '' and CURRENCY_FARE_RULE is null"_s),
              std::vector<qint64>{1});
}

TEST_F(BrowserTest, TextIsCutToTheColumnLength)
{
    addTax(1, u"AA"_s);
    auto b = openTaxes();
    b->edit();
    b->setText(u"COUNTRY_CODE"_s, u"RUS"_s);
    EXPECT_EQ(b->text(u"COUNTRY_CODE"_s), u"RU"_s);
    b->setText(u"TAX_NAME"_s, QString(100, u'N'));
    b->post();
    EXPECT_EQ(other.column(u"select char_length(TAX_NAME) from APPLIED_TAXES where "
                           u"COUNTRY_CODE = 'RU'"_s),
              std::vector<qint64>{80});
}

TEST_F(BrowserTest, EditOfARowTheOtherUserDeletedFailsAndTheListDropsIt)
{
    addTaxes(3);
    auto b = openTaxes();
    b->next(); // TAXID 2
    other.exec(u"delete from APPLIED_TAXES where TAXID = 2"_s);
    const BrowserError e = browserError([&] { b->edit(); });
    EXPECT_EQ(e.kind(), BrowserError::Kind::Changed);
    EXPECT_EQ(e.message(), u"The record was deleted or changed by another user!\nAfter "
                           u"refreshing you can try again"_s);
    EXPECT_EQ(b->state(), TableBrowser::State::Browsing);
    EXPECT_EQ(b->windowRowCount(), 2);
    EXPECT_EQ(currentId(*b), 3);
}

TEST_F(BrowserTest, EditOrDeleteOfARowTheOtherUserIsEditingFailsAtOnce)
{
    addTaxes(3);
    auto b = openTaxes();
    b->next(); // TAXID 2
    ASSERT_EQ(other.hold(u"update APPLIED_TAXES set TAX_CODE = TAX_CODE where TAXID = 2"_s), 1u);
    for (auto op : {&TableBrowser::edit, &TableBrowser::deleteRow}) {
        const BrowserError e = browserError([&] { ((*b).*op)(); });
        EXPECT_EQ(e.kind(), BrowserError::Kind::Locked);
        EXPECT_EQ(e.message(), u"The record is locked by another user. Try again later"_s);
        EXPECT_EQ(b->state(), TableBrowser::State::Browsing);
        EXPECT_EQ(currentId(*b), 2) << "the cursor stays";
    }
    other.release();
    b->edit();
    EXPECT_EQ(b->state(), TableBrowser::State::Editing);
    b->cancel();
}

TEST_F(BrowserTest, WriteTransactionIsASnapshotFirebirdAccepts)
{
    // "rec_version" without "read_committed" is refused by Firebird 3; the browser's own
    // transaction is the snapshot ("concurrency") that never waits.
    Transaction recVersionAlone(other.connection(), {u"write"_s, u"nowait"_s, u"rec_version"_s});
    EXPECT_THROW(recVersionAlone.start(), DbError);
    Transaction browsers(other.connection(), TableBrowser::WriteTransactionParameters);
    EXPECT_NO_THROW(browsers.start());
    EXPECT_TRUE(TableBrowser::WriteTransactionParameters.contains(u"nowait"_s));
}

TEST_F(BrowserTest, RowStaysLockedFromEditToPost)
{
    addTaxes(2);
    auto b = openTaxes();
    b->edit();
    try {
        other.exec(u"update APPLIED_TAXES set TAX_NAME = 'OTHER' where TAXID = 1"_s);
        FAIL() << "the other user changed a row being edited";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.isLockConflict()) << e.message().toStdString();
    }
    b->setText(u"TAX_NAME"_s, u"MINE"_s);
    b->post();
    EXPECT_EQ(other.exec(u"update APPLIED_TAXES set TAX_NAME = 'OTHER' where TAXID = 1"_s), 1u)
        << "the commit released the lock";
    // Cancel releases it as well.
    b->edit();
    b->cancel();
    EXPECT_EQ(other.exec(u"update APPLIED_TAXES set TAX_NAME = 'AGAIN' where TAXID = 1"_s), 1u);
}

TEST_F(BrowserTest, DeleteOfARowTheOtherUserChangedIsRefused)
{
    addTaxes(3);
    auto b = openTaxes();
    other.exec(u"update APPLIED_TAXES set TAX_NAME = 'NEWER' where TAXID = 1"_s);
    const BrowserError e = browserError([&] { b->deleteRow(); });
    EXPECT_EQ(e.kind(), BrowserError::Kind::Changed);
    EXPECT_EQ(other.column(u"select count(*) from APPLIED_TAXES"_s), std::vector<qint64>{3});
    EXPECT_EQ(b->text(u"TAX_NAME"_s), u"NEWER"_s) << "the list was refreshed";
    // Now that the browser holds the newer values, the delete goes through.
    b->deleteRow();
    EXPECT_EQ(other.column(u"select count(*) from APPLIED_TAXES"_s), std::vector<qint64>{2});
}

TEST_F(BrowserTest, DeleteLeavesTheCursorOnTheFollowingOrTheNewLastRow)
{
    addTaxes(120);
    auto b = openTaxes();
    for (int i = 0; i < 98; ++i)
        b->next();
    ASSERT_EQ(currentId(*b), 99);
    b->deleteRow();
    EXPECT_EQ(currentId(*b), 100);
    b->deleteRow(); // the last row held; the result goes on past the window
    EXPECT_EQ(currentId(*b), 101);
    b->last();
    b->deleteRow();
    EXPECT_EQ(currentId(*b), 119);
    EXPECT_EQ(other.column(u"select count(*) from APPLIED_TAXES"_s), std::vector<qint64>{117});
}

TEST_F(BrowserTest, FailedPostKeepsTheStateForTheCallerToCancel)
{
    addTax(1, u"AA"_s);
    auto b = openTaxes();
    b->append();
    b->setText(u"TAX_CODE"_s, u"BB"_s);
    b->setText(u"CURRENCY_CODE"_s, u"XXX"_s); // no such currency: the foreign key refuses it
    EXPECT_THROW(b->post(), DbError);
    EXPECT_EQ(b->state(), TableBrowser::State::Inserting);
    EXPECT_EQ(b->text(u"TAX_CODE"_s), u"BB"_s);
    b->cancel();
    EXPECT_EQ(b->state(), TableBrowser::State::Browsing);
    EXPECT_EQ(currentId(*b), 1);

    TableBrowser currencies(ref);
    currencies.setTableName(u"FARE_CURRENCY"_s);
    currencies.open();
    currencies.edit();                                // RUB
    currencies.setText(u"CURRENCY_CODE"_s, u"USD"_s); // a duplicate key
    EXPECT_THROW(currencies.post(), DbError);
    EXPECT_EQ(currencies.state(), TableBrowser::State::Editing);
    currencies.cancel();
    EXPECT_EQ(currencies.text(u"CURRENCY_CODE"_s), u"RUB"_s);
    EXPECT_EQ(other.exec(u"update FARE_CURRENCY set CURRENCY_NAME = 'R' where CURRENCY_CODE = "
                         u"'RUB'"_s),
              1u)
        << "no lock is left behind";
}

TEST_F(BrowserTest, MovingPostsAWrittenRowAndCancelsAnUntouchedOne)
{
    addTaxes(3);
    auto b = openTaxes();
    b->edit();
    b->setText(u"TAX_NAME"_s, u"MOVED"_s);
    EXPECT_TRUE(b->next());
    EXPECT_EQ(b->state(), TableBrowser::State::Browsing);
    EXPECT_EQ(other.column(u"select TAXID from APPLIED_TAXES where TAX_NAME = 'MOVED'"_s),
              std::vector<qint64>{1});
    EXPECT_EQ(currentId(*b), 2);

    b->edit();
    b->first();
    EXPECT_EQ(b->state(), TableBrowser::State::Browsing);
    EXPECT_EQ(other.exec(u"update APPLIED_TAXES set TAX_NAME = 'X' where TAXID = 2"_s), 1u)
        << "the untouched edit was cancelled and its lock released";
}

struct FineTimeCase {
    const char* name;
    const char16_t* time;      // T as stored, null when empty
    const char16_t* timestamp; // TS as stored, null when empty
};

// Values that other programs write: fractions of a second below the millisecond.
const FineTimeCase fineTimeCases[] = {
    {"TimestampTenthOfAMillisecond", nullptr, u"2024-01-01 10:00:00.1234"},
    {"TimestampOneTickPastTheSecond", nullptr, u"2024-01-01 10:00:00.0001"},
    {"TimestampLastTickOfTheDay", nullptr, u"2024-12-31 23:59:59.9999"},
    {"TimeTenthOfAMillisecond", u"10:00:00.1234", nullptr},
    {"TimeAndTimestampBothFine", u"23:59:59.9999", u"2024-01-01 10:00:00.0005"},
    {"WholeMilliseconds", u"10:00:00.1230", u"2024-01-01 10:00:00.1230"},
};

void PrintTo(const FineTimeCase& c, std::ostream* os) { *os << c.name; }

class BrowserFineTime : public BrowserTest, public testing::WithParamInterface<FineTimeCase> {
protected:
    static QString literal(const char16_t* v)
    {
        return v ? u"'"_s + QString::fromUtf16(v) + u"'"_s : u"null"_s;
    }
    // T, TS and NOTE of row 1 as the server writes them as text.
    QString stored()
    {
        Transaction t(other.connection(), {u"read"_s, u"concurrency"_s});
        Statement s(other.connection(),
                    u"select coalesce(cast(T as varchar(13)), 'null') || ' ' || "
                    u"coalesce(cast(TS as varchar(24)), 'null') || ' ' || NOTE as V "
                    u"from STAMPS where ID = 1"_s);
        s.open(t);
        return s.next() ? s.text(u"V"_s) : u"gone"_s;
    }
};

// The update and the delete compare every old value: the times must go back exactly as
// they were read, and the update writes them back unchanged.
TEST_P(BrowserFineTime, RowIsPostedAndDeletedWithItsTimesIntact)
{
    const FineTimeCase& c = GetParam();
    other.exec(u"insert into STAMPS (ID, T, TS, NOTE) values (1, %1, %2, 'OLD')"_s.arg(
        literal(c.time), literal(c.timestamp)));
    const QString time = c.time ? QString::fromUtf16(c.time) : u"null"_s;
    const QString timestamp = c.timestamp ? QString::fromUtf16(c.timestamp) : u"null"_s;
    ASSERT_EQ(stored(), time + u' ' + timestamp + u" OLD"_s);

    TableBrowser b(ref);
    b.setTableName(u"STAMPS"_s);
    b.open();
    EXPECT_EQ(b.text(u"T"_s), c.time ? time : QString()) << "read to the last decimal";
    EXPECT_EQ(b.text(u"TS"_s), c.timestamp ? timestamp : QString());
    b.edit();
    b.setText(u"NOTE"_s, u"NEW"_s);
    b.post();
    EXPECT_EQ(b.state(), TableBrowser::State::Browsing);
    EXPECT_EQ(stored(), time + u' ' + timestamp + u" NEW"_s);

    b.deleteRow();
    EXPECT_EQ(stored(), u"gone"_s);
    EXPECT_TRUE(b.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Browser, BrowserFineTime, testing::ValuesIn(fineTimeCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Written as text, a time keeps all four decimals.
TEST_F(BrowserTest, TimesWrittenAsTextKeepEveryDecimal)
{
    TableBrowser b(ref);
    b.setTableName(u"STAMPS"_s);
    b.open();
    b.append();
    b.setText(u"ID"_s, u"1"_s);
    b.setText(u"T"_s, u"07:08:09.0123"_s);
    b.setText(u"TS"_s, u"2024-02-29T07:08:09.5"_s);
    b.setText(u"NOTE"_s, u"TYPED"_s);
    b.post();
    EXPECT_EQ(b.text(u"T"_s), u"07:08:09.0123"_s);
    EXPECT_EQ(b.text(u"TS"_s), u"2024-02-29 07:08:09.5000"_s);
    EXPECT_EQ(other.column(u"select count(*) from STAMPS where T = '07:08:09.0123' and "
                           u"TS = '2024-02-29 07:08:09.5000'"_s),
              std::vector<qint64>{1});
    b.edit();
    EXPECT_THROW(b.setText(u"T"_s, u"07:08:09.01234"_s), BrowserError) << "finer than the server";
    EXPECT_THROW(b.setText(u"TS"_s, u"2024-02-30 07:08"_s), BrowserError);
    b.cancel();
}

// Rows that differ below the millisecond, ordered by their timestamp: the keyset
// statements must take the boundary row's value exactly, or rows come twice.
TEST_F(BrowserTest, RowsOrderedByFineTimestampsAreReachedOnceAcrossWindows)
{
    constexpr int rows = 250;
    {
        Connection& c = other.connection();
        Transaction t(c, {u"write"_s, u"nowait"_s, u"concurrency"_s});
        Statement s(c, u"insert into STAMPS (ID, TS) values (:ID, cast(:TS as timestamp))"_s);
        for (int i = 1; i <= rows; ++i) {
            // Ten rows to a millisecond, in the reverse order of their keys.
            s.setParam(u"ID"_s, qint64(i));
            s.setParam(u"TS"_s, u"2024-01-01 10:00:00.%1"_s.arg(rows - i + 1, 4, 10, QChar(u'0')));
            s.execute(t);
        }
        t.commit();
    }
    TableBrowser b(ref);
    b.setTableName(u"STAMPS"_s);
    b.setIndexFieldNames(u"TS"_s);
    b.open();
    std::vector<qint64> forward{currentId(b, u"ID"_s)};
    while (b.next())
        forward.push_back(currentId(b, u"ID"_s));
    std::vector<qint64> expected(rows);
    for (int i = 0; i < rows; ++i)
        expected[std::size_t(i)] = rows - i;
    EXPECT_EQ(forward, expected);

    b.last();
    std::vector<qint64> backward{currentId(b, u"ID"_s)};
    while (b.prior())
        backward.push_back(currentId(b, u"ID"_s));
    std::reverse(backward.begin(), backward.end());
    EXPECT_EQ(backward, expected);
}

TEST_F(BrowserTest, FieldsReadAndWriteByKind)
{
    TableBrowser b(ref);
    b.setTableName(u"FARE_CURRENCY_RATE"_s);
    b.open();
    EXPECT_THROW(b.setText(u"CURRENCY_FROM"_s, u"USD"_s), BrowserError) << "not editing";
    b.append();
    b.setText(u"RATE_AMOUNT"_s, u"92.1234"_s);
    EXPECT_EQ(b.number(u"RATE_AMOUNT"_s), 92.1234);
    b.setText(u"RATE_VALID_FROM"_s, u"2026-03-01"_s);
    EXPECT_EQ(b.dateTime(u"RATE_VALID_FROM"_s).date(), QDate(2026, 3, 1));
    b.setNumber(u"RATE_IDENTIFICATOR"_s, 7);
    EXPECT_EQ(b.value(u"RATE_IDENTIFICATOR"_s), DbValue(qint64(7)));
    EXPECT_THROW(b.setNumber(u"RATE_IDENTIFICATOR"_s, 7.5), BrowserError);
    EXPECT_THROW(b.setText(u"RATE_AMOUNT"_s, u"abc"_s), BrowserError);
    EXPECT_THROW(b.text(u"NO_SUCH"_s), BrowserError);
    b.setText(u"RATE_AMOUNT"_s, QString());
    EXPECT_TRUE(b.isNull(u"RATE_AMOUNT"_s)) << "an empty text makes a number column null";
    b.cancel();
}

TEST_F(BrowserTest, ModelShowsTheWindowAndFollowsTheCursor)
{
    addTaxes(150);
    auto b = openTaxes();
    BrowserModel model(*b);
    model.setColumnTitle(u"TAX_CODE"_s, u"Code"_s);
    int resets = 0;
    std::vector<int> current;
    QObject::connect(&model, &QAbstractItemModel::modelReset, [&] { ++resets; });
    QObject::connect(&model, &BrowserModel::currentRowChanged,
                     [&](int row) { current.push_back(row); });
    EXPECT_EQ(model.rowCount(), 100);
    EXPECT_EQ(model.columnCount(), 6);
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), u"Code"_s);
    EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), u"TAX_NAME"_s);
    EXPECT_EQ(model.data(model.index(4, 2)).toString(), u"T5"_s);

    b->next();
    EXPECT_EQ(current, std::vector<int>{1});
    b->last();
    EXPECT_GE(resets, 1);
    EXPECT_EQ(model.currentRow(), model.rowCount() - 1);
    EXPECT_EQ(model.data(model.index(model.currentRow(), 0)).toString(), u"150"_s);

    b->close();
    EXPECT_EQ(model.rowCount(), 0);
}
