// A thin RAII layer over the Firebird client library: the library loaded at run time,
// a connection, transactions from explicit parameter lists, and prepared statements
// with named parameters and typed field access by column name. Text crosses the
// connection as Windows-1251.
#pragma once

#include "refdata/dberror.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QTime>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

namespace Firebird {
class IAttachment;
class IMessageMetadata;
class IResultSet;
class IStatement;
class ITransaction;
} // namespace Firebird

namespace refdata {

// The name of the client library the program loads.
QString clientLibraryName();
// Changes the name before the library is first loaded (tests of a missing library).
void setClientLibraryName(const QString& name);

// A time of day as the server keeps it, in ticks of 1/10,000 second since midnight.
// QTime stops at the millisecond: a value cut to it no longer equals the stored one, so
// an update or delete that compares the old values would find no row.
struct DbTime {
    static constexpr quint32 TicksPerSecond = 10000;
    static constexpr quint32 TicksPerDay = 24 * 60 * 60 * TicksPerSecond;
    quint32 ticks = 0;

    static DbTime fromQTime(const QTime& t)
    {
        return DbTime{quint32(t.msecsSinceStartOfDay()) * (TicksPerSecond / 1000)};
    }
    // The fraction below a millisecond dropped (for display and date pickers).
    QTime toQTime() const
    {
        return QTime::fromMSecsSinceStartOfDay(int(ticks / (TicksPerSecond / 1000)));
    }
    // "HH:mm:ss.ffff", all four decimals of the server.
    QString toString() const;
    // "HH:mm", "HH:mm:ss" or "HH:mm:ss." with one to four decimals; nullopt otherwise.
    static std::optional<DbTime> fromString(QStringView text);
    friend bool operator==(const DbTime&, const DbTime&) = default;
};

// A date and time of day without a zone, at the server's precision.
struct DbTimestamp {
    QDate date;
    DbTime time;

    static DbTimestamp fromQDateTime(const QDateTime& v)
    {
        return DbTimestamp{v.date(), DbTime::fromQTime(v.time())};
    }
    // The wall-clock value as UTC, the fraction below a millisecond dropped.
    QDateTime toQDateTime() const { return QDateTime(date, time.toQTime(), Qt::UTC); }
    // "yyyy-MM-dd HH:mm:ss.ffff".
    QString toString() const;
    // A date ("yyyy-MM-dd", midnight), or a date, a blank or "T", and a time as
    // DbTime::fromString takes it; nullopt otherwise.
    static std::optional<DbTimestamp> fromString(QStringView text);
    friend bool operator==(const DbTimestamp&, const DbTimestamp&) = default;
};

// A field or parameter value. monostate is null.
using DbValue = std::variant<std::monostate, QString, double, qint64, QDate, DbTime, DbTimestamp,
                             bool>;

inline bool isNull(const DbValue& v) { return std::holds_alternative<std::monostate>(v); }

// A value as text: numbers in their shortest form, dates and times in ISO form, null
// as the empty text.
QString textOf(const DbValue& v);

enum class ColumnKind {
    Text,
    SmallInt,
    Integer,
    BigInt,
    Scaled, // an integer column with a scale
    Float,
    Date,
    Time,
    DateTime,
    Boolean,
    TextBlob,
    Blob,
    Array,
    Other,
};

struct Column {
    QString name; // the column's name (or alias), upper case as the server gives it
    ColumnKind kind = ColumnKind::Other;
    int length = 0;      // characters, for text
    bool fixedLength = false; // CHAR rather than VARCHAR
    int scale = 0;
    bool nullable = true; // false for a column declared NOT NULL
};

class Transaction;
class Statement;
class Watchdog;
namespace fbclient {
class Status;
}

// How long one database action may wait for the server unless the settings say otherwise.
inline constexpr std::chrono::seconds DefaultTimeLimit{15};

// One attachment to a database file, local (embedded engine) or "host:path" on a server.
class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void setDatabaseName(const QString& name) { m_databaseName = name; }
    const QString& databaseName() const { return m_databaseName; }
    void setUserName(const QString& name) { m_userName = name; }
    void setPassword(const QString& password) { m_password = password; }
    // The SQL role the attachment takes (an agents' role on a shared server); empty: none.
    void setRole(const QString& role) { m_role = role; }
    // How long a connection attempt and every call on the attachment may wait for the
    // server. A call still waiting then is cut off, the attachment is dropped (the next
    // use attaches again) and the call fails with timeoutMessage().
    void setTimeLimit(std::chrono::seconds limit) { m_timeLimit = limit; }
    std::chrono::seconds timeLimit() const { return m_timeLimit; }
    // "The database ... does not answer": where it is, the limit, what to do.
    QString timeoutMessage() const;

    // Attaches with the user name, the password, the role and lc_ctype WIN1251, no login
    // dialog.
    void connect();
    void connectIfNeeded()
    {
        if (!connected())
            connect();
    }
    // Rolls back every transaction still active, then detaches.
    void disconnect();
    bool connected() const { return m_attachment != nullptr; }
    // The lower of the database's SQL dialect and 3.
    unsigned dialect() const { return m_dialect; }

    // An error met by a statement or transaction of this connection. When it says the
    // connection is gone (server stopped or restarted, network failure), the attachment
    // is dropped and the next statement or transaction that needs it attaches again, as
    // the first use does.
    void noteError(const DbError& e);

private:
    friend class Transaction;
    friend class Statement;
    friend class fbclient::Status;
    // Drops the attachment without talking to the server, after the connection was lost.
    void drop();
    // A call of the client library on the attachment begins or ends (calls nest; the
    // outermost one is watched). endCall is true when the watchdog cut the call off;
    // the attachment is dropped then.
    void beginCall();
    bool endCall();
    // The watchdog cut the current call off.
    bool cutOff() const;
    // After a cut-off: ends the watch at once and drops the attachment.
    void abandonCall();
    // The attachment; attaches again after a lost connection, raises when the connection
    // was never made or was closed.
    Firebird::IAttachment* attachment();

    QString m_databaseName;
    QString m_userName;
    QString m_password;
    QString m_role;
    Firebird::IAttachment* m_attachment = nullptr;
    unsigned m_dialect = 3;
    // Bumped at every attachment, so statements know their handles are stale.
    std::uint64_t m_generation = 0;
    std::vector<Transaction*> m_transactions;
    bool m_reattach = false; // the attachment was dropped after a lost connection
    std::chrono::seconds m_timeLimit = DefaultTimeLimit;
    std::unique_ptr<Watchdog> m_watchdog; // started by the first watched call
    int m_callDepth = 0;
};

// A transaction of a connection with explicit parameters ("write", "read", "nowait",
// "wait", "rec_version", "no_rec_version", "read_committed", "concurrency",
// "consistency"). Rolled back when destroyed while active.
class Transaction {
public:
    Transaction(Connection& connection, QStringList parameters);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void start();
    void startIfNeeded()
    {
        if (!active())
            start();
    }
    bool active() const { return m_transaction != nullptr; }
    void commit();
    // Commits and keeps the transaction open with its context.
    void commitRetaining();
    void rollback();

    Connection& connection() const { return m_connection; }

private:
    friend class Connection;
    friend class Statement;
    void forget(); // the connection went away: the handle is gone with it

    Connection& m_connection;
    QStringList m_parameters;
    Firebird::ITransaction* m_transaction = nullptr;
};

// A prepared statement with named parameters (":NAME"). Prepared on first use, again
// after the connection was re-established.
class Statement {
public:
    Statement(Connection& connection, QString sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    const QString& sql() const { return m_sql; }
    // Replaces the text; the statement is prepared again on next use.
    void setSql(QString sql);

    // Binds every place of a parameter name (case-insensitive). Unbound parameters are
    // null. An unknown name is an error.
    void setParam(const QString& name, const DbValue& value);
    void clearParams();
    QStringList paramNames() const;
    // The length in characters of a text parameter as the statement declares it (-1 for
    // a parameter of another type). Prepares the statement if needed.
    int declaredLength(const QString& name, Transaction& transaction);

    // Prepares the statement when it is not yet, so that its columns are known.
    void prepare(Transaction& transaction);
    // Runs a select and stands before its first row.
    void open(Transaction& transaction);
    // Moves to the next row; false at the end.
    bool next();
    bool isOpen() const { return m_cursor != nullptr; }
    void close();

    // Runs a statement that returns no rows; the number of rows it changed.
    std::uint64_t execute(Transaction& transaction);

    const std::vector<Column>& columns() const { return m_columns; }
    int columnIndex(const QString& name) const; // -1 when there is none
    // The current row's values, by position or column name (an unknown name is an error).
    const std::vector<DbValue>& row() const { return m_row; }
    const DbValue& value(const QString& column) const;
    QString text(const QString& column) const; // null as empty
    double number(const QString& column) const; // null as 0
    bool isNull(const QString& column) const { return refdata::isNull(value(column)); }

private:
    void release();
    std::vector<unsigned char> inputMessage(Firebird::IMessageMetadata** metadata);
    void readRow(Transaction& transaction);

    Connection& m_connection;
    QString m_sql;
    QStringList m_positionalNames;
    QHash<QString, DbValue> m_params;
    Firebird::IStatement* m_statement = nullptr;
    Firebird::IResultSet* m_cursor = nullptr;
    Firebird::IMessageMetadata* m_outputMetadata = nullptr;
    Transaction* m_cursorTransaction = nullptr;
    std::uint64_t m_generation = 0;
    std::vector<unsigned char> m_outputBuffer;
    std::vector<Column> m_columns;
    std::vector<DbValue> m_row;
};

// Text to and from the connection's character set; a character Windows-1251 cannot
// hold is an error, never a silent "?".
QByteArray toWin1251(const QString& text);
QString fromWin1251(const QByteArray& bytes);

} // namespace refdata
