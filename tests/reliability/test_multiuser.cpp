// Many agents on one reference database served by a private Firebird server: each agent
// is a sprrate-dbworker process with an attachment of its own, as the program on another
// desk would be. The row lock of the rate list, read-committed lookups, a rate stored by
// one agent's host fallback, and a mixed load of lookups and edits by eight agents.
#include "support/firebirdserver.h"
#include "support/qstringprint.h"
#include "support/qtapp.h"
#include "support/testdatabase.h"

#include "refdata/firebird.h"
#include "refdata/tablebrowser.h"

#include <QElapsedTimer>
#include <QProcess>

#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

// One agent's program, driven over its standard input.
class Agent {
public:
    explicit Agent(const QString& location)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(DBWORKER_PATH), {location});
        if (!m_process.waitForStarted(10000))
            throw std::runtime_error("sprrate-dbworker did not start");
        if (readLine(10000) != u"ready")
            throw std::runtime_error("sprrate-dbworker is not ready");
    }
    ~Agent()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.write("quit\n");
        if (!m_process.waitForFinished(10000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }

    // Sends a command; its answer line follows with answer().
    void send(const QString& command)
    {
        m_process.write((command + u"\n"_s).toUtf8());
        // Written to the pipe now, not when this agent's output is next read.
        m_process.waitForBytesWritten(10000);
    }
    // The next line of output; empty when none came within the time.
    QString readLine(int ms = 60000)
    {
        QElapsedTimer t;
        t.start();
        while (!m_process.canReadLine() && t.elapsed() < ms &&
               m_process.state() == QProcess::Running)
            m_process.waitForReadyRead(100);
        return QString::fromUtf8(m_process.readLine()).trimmed();
    }
    QString ask(const QString& command)
    {
        send(command);
        return readLine();
    }

private:
    QProcess m_process;
};

struct RateRowText {
    int id;
    QString text; // every column but the rate, as text
    double amount;
};

class MultiUser : public testing::Test {
protected:
    void SetUp() override
    {
        testsupport::ensureCoreApplication();
        location = server.createDatabase(u"shared.gdb"_s, false);
        exec(u"insert into FARE_CURRENCY values ('RUB', 'RUSSIAN RUBLE', 'CEIL(VALUE/5)*5', "
             u"'CEIL(INT(VALUE*10)/10)')"_s);
        exec(u"insert into FARE_CURRENCY values ('USD', 'US DOLLAR', 'CEIL(VALUE)', "
             u"'CEIL(VALUE)')"_s);
    }

    void exec(const QString& sql)
    {
        testsupport::execOn(location, sql, testsupport::FirebirdServer::userName(),
                            testsupport::FirebirdServer::password());
    }

    // A USD to RUB rate valid today for a carrier; returns its identifier.
    int addRate(const QString& carrier, double amount)
    {
        exec(u"insert into FARE_CURRENCY_RATE (CURRENCY_FROM, CURRENCY_TO, CARRIER_CODE, "
             u"RATE_AMOUNT, RATE_VALID_FROM, RATE_VALID_TO) values ('USD', 'RUB', '%1', %2, "
             u"CURRENT_DATE - 1, CURRENT_DATE + 1)"_s.arg(carrier)
                 .arg(amount, 0, 'g', 17));
        return int(std::get<qint64>(query(u"select max(RATE_IDENTIFICATOR) from "
                                          u"FARE_CURRENCY_RATE"_s)
                                        .front()
                                        .front()));
    }

    std::vector<std::vector<refdata::DbValue>> query(const QString& sql)
    {
        return testsupport::queryOn(location, sql, testsupport::FirebirdServer::userName(),
                                    testsupport::FirebirdServer::password());
    }

    double amountOf(int id)
    {
        return std::get<double>(
            query(u"select RATE_AMOUNT from FARE_CURRENCY_RATE where RATE_IDENTIFICATOR = %1"_s
                      .arg(id))
                .front()
                .front());
    }

    // Every rate row, the rate apart from the other columns.
    std::map<int, RateRowText> rateTable()
    {
        std::map<int, RateRowText> rows;
        for (const auto& r :
             query(u"select RATE_IDENTIFICATOR, RATE_AMOUNT, CURRENCY_FROM, CURRENCY_TO, "
                   u"CARRIER_CODE, RATE_VALID_FROM, RATE_VALID_TO, RATE_INSERT_DATE "
                   u"from FARE_CURRENCY_RATE"_s)) {
            QStringList text;
            for (std::size_t i = 2; i < r.size(); ++i)
                text << refdata::textOf(r[i]);
            const int id = int(std::get<qint64>(r[0]));
            rows[id] = {id, text.join(u'|'), std::get<double>(r[1])};
        }
        return rows;
    }

    testsupport::FirebirdServer server;
    QString location;
};

TEST_F(MultiUser, SecondEditorOfARowIsRefusedAtOnceAndNoEditIsLost)
{
    const int id = addRate(u"LH"_s, 90);
    Agent first(location);
    Agent second(location);

    QElapsedTimer waited;
    waited.start();
    ASSERT_EQ(first.ask(u"edit %1"_s.arg(id)), u"ok 90"_s);
    const qint64 granted = waited.restart();
    EXPECT_EQ(second.ask(u"edit %1"_s.arg(id)),
              u"error locked: "_s + refdata::TableBrowser::LockedMessage.simplified());
    // Against the first editor's own start of editing: refused at once, not after a wait.
    std::cout << "[ figures ] first editor's edit began after " << granted
              << " ms, the second editor was refused after " << waited.elapsed() << " ms\n";

    // The first editor's change is committed; the second editor starts from it.
    ASSERT_EQ(first.ask(u"set 95.5"_s), u"ok"_s);
    ASSERT_EQ(first.ask(u"post"_s), u"ok"_s);
    EXPECT_EQ(second.ask(u"edit %1"_s.arg(id)), u"ok 95.5"_s);
    // While the second holds the row the first is refused in turn.
    EXPECT_TRUE(first.ask(u"edit %1"_s.arg(id)).startsWith(u"error locked: "_s));
    ASSERT_EQ(second.ask(u"set 96.25"_s), u"ok"_s);
    ASSERT_EQ(second.ask(u"post"_s), u"ok"_s);

    EXPECT_EQ(amountOf(id), 96.25);
    EXPECT_EQ(first.ask(u"lookup USD RUB LH"_s), u"ok 96.25"_s)
        << "a lookup reads the latest committed rate";
}

TEST_F(MultiUser, RateStoredByOneAgentsHostFallbackIsFoundByTheOthersNextLookup)
{
    Agent first(location);
    Agent second(location);
    EXPECT_EQ(first.ask(u"lookup USD RUB SU"_s), u"ok 0"_s) << "no rate yet";

    // The host converts 10 USD to 910 RUB: the rate 91 is stored for today.
    EXPECT_EQ(second.ask(u"fallback USD RUB SU 91"_s), u"ok 91"_s);
    EXPECT_EQ(first.ask(u"lookup USD RUB SU"_s), u"ok 91"_s);
    EXPECT_EQ(query(u"select count(*) from FARE_CURRENCY_RATE where CARRIER_CODE = 'SU' and "
                    u"RATE_VALID_FROM = CURRENT_DATE and RATE_VALID_TO = CURRENT_DATE"_s)
                  .front()
                  .front(),
              refdata::DbValue(qint64(1)));
}

TEST_F(MultiUser, EightAgentsLookingUpAndEditingTogetherLoseNothing)
{
    constexpr int agents = 8;
    constexpr int lookups = 200;
    constexpr int edits = 50;
    // One rate per carrier, so every lookup finds exactly one row; every agent edits any
    // of them, and looks up the rate of its own carrier while the others change it.
    const QStringList carriers = {u"A0"_s, u"A1"_s, u"A2"_s, u"A3"_s, u"A4"_s, u"A5"_s,
                                  u"A6"_s, u"A7"_s, u"B0"_s, u"B1"_s, u"B2"_s, u"B3"_s};
    QStringList ids;
    for (int i = 0; i < int(carriers.size()); ++i)
        ids << QString::number(addRate(carriers[i], 100 + i));
    // A row nobody edits, and the other tables, must come out as they went in.
    const int untouched = addRate(u"ZZ"_s, 42);
    const auto before = rateTable();
    const auto currenciesBefore = query(u"select * from FARE_CURRENCY order by 1"_s);

    std::vector<std::unique_ptr<Agent>> team;
    for (int a = 0; a < agents; ++a)
        team.push_back(std::make_unique<Agent>(location));
    QElapsedTimer elapsed;
    elapsed.start();
    for (int a = 0; a < agents; ++a) {
        team[std::size_t(a)]->send(u"stress %1 %2 %3 USD:RUB:%4 %5"_s.arg(lookups)
                                       .arg(edits)
                                       .arg(a + 1)
                                       .arg(carriers[a], ids.join(u' ')));
    }
    std::map<int, int> committed; // edits per row
    int conflicts = 0;
    for (int a = 0; a < agents; ++a) {
        for (;;) {
            const QString line = team[std::size_t(a)]->readLine(300000);
            ASSERT_FALSE(line.isEmpty()) << "agent " << a << " stopped answering";
            if (line.startsWith(u"committed "_s)) {
                ++committed[line.mid(10).toInt()];
                continue;
            }
            ASSERT_TRUE(line.startsWith(u"ok conflicts="_s)) << line.toStdString();
            EXPECT_TRUE(line.endsWith(u" missing=0"_s)) << "every lookup found its rate: " << line.toStdString();
            conflicts += line.section(u'=', 1, 1).section(u' ', 0, 0).toInt();
            break;
        }
    }
    const qint64 ms = elapsed.elapsed();

    int total = 0;
    for (const auto& [id, count] : committed)
        total += count;
    EXPECT_EQ(total, agents * edits);
    const auto after = rateTable();
    ASSERT_EQ(after.size(), before.size()) << "no row was added or removed";
    int lost = 0;
    for (const auto& [id, row] : before) {
        ASSERT_TRUE(after.count(id)) << "row " << id << " is gone";
        const RateRowText& now = after.at(id);
        EXPECT_EQ(now.text, row.text) << "row " << id << " changed beyond its rate";
        const double expected = row.amount + (committed.count(id) ? committed[id] : 0);
        if (now.amount != expected)
            ++lost;
        EXPECT_EQ(now.amount, expected) << "row " << id;
    }
    EXPECT_EQ(after.at(untouched).amount, 42);
    EXPECT_EQ(query(u"select * from FARE_CURRENCY order by 1"_s), currenciesBefore);
    std::cout << "[ figures ] " << agents << " agents, " << agents * lookups << " lookups, "
              << total << " edits committed, " << conflicts
              << " lock refusals retried, rows lost or wrong: " << lost << ", " << ms
              << " ms\n";
}

} // namespace
