// Errors of the reference database: the server's (or the client library's) text, with
// the SQL error code and the status codes behind it.
#pragma once

#include <QString>
#include <QStringView>

#include <stdexcept>
#include <vector>

namespace refdata {

// Base of every error the reference data subsystem raises. what() is UTF-8.
class RefDataError : public std::runtime_error {
public:
    explicit RefDataError(const QString& message);
    const QString& message() const { return m_message; }

private:
    QString m_message;
};

// A failure reported by the database client library or server.
class DbError : public RefDataError {
public:
    DbError(const QString& message, int sqlCode = 0, std::vector<long> gdsCodes = {});

    int sqlCode() const { return m_sqlCode; }
    const std::vector<long>& gdsCodes() const { return m_gdsCodes; }
    bool hasGdsCode(long code) const;

    // Another transaction holds the row (an update conflict, a deadlock, a lock
    // conflict or time-out); told by the status codes, never by the SQL code alone.
    bool isLockConflict() const;
    // The connection to the server is gone (network error, shutdown, lost connection).
    bool isConnectionLost() const;
    // The embedded engine refused the file because another program has it open.
    bool isOpenedElsewhere() const;

private:
    int m_sqlCode;
    std::vector<long> m_gdsCodes;
};

// The role that scripts/make-refdb gives the agents of a shared database.
inline constexpr QStringView AgentRole = u"SPRRATE_AGENT";

// A refusal of the server ("no permission for ... access to ..."): when it names a table
// or generator the program uses, the server's text followed by what the user lacks and
// what to do; otherwise the server's text as it is.
QString withMissingAgentRights(const QString& serverText);

// A local database file that is not there: where the program looked and how to make it.
QString missingDatabaseMessage(const QString& path);

// The database did not answer within the connection's time limit; the connection was
// dropped. Unlike other database errors, no lookup takes it for "no entry": the action
// that met it ends.
class DbTimeout : public DbError {
public:
    using DbError::DbError;
};

} // namespace refdata
