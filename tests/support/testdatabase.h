// A fresh reference database file in a temporary folder, made by scripts/make-refdb
// from the schema (and, when asked, the sample data).
#pragma once

#include "refdata/firebird.h"

#include <QDir>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <stdexcept>
#include <vector>

namespace testsupport {

inline void attach(refdata::Connection& c, const QString& location, const QString& user,
                   const QString& password)
{
    c.setDatabaseName(location);
    c.setUserName(user);
    c.setPassword(password);
    c.connect();
}

// One statement on a database (a file or a server location) in a transaction of an
// attachment of its own, committed, as another program would change the data.
inline void execOn(const QString& location, const QString& sql, const QString& user = {},
                   const QString& password = {})
{
    refdata::Connection c;
    attach(c, location, user, password);
    refdata::Transaction t(c, {QStringLiteral("write"), QStringLiteral("concurrency")});
    refdata::Statement s(c, sql);
    s.execute(t);
    t.commit();
}

// The rows of a select on a database, each with its values in column order.
inline std::vector<std::vector<refdata::DbValue>> queryOn(const QString& location,
                                                          const QString& sql,
                                                          const QString& user = {},
                                                          const QString& password = {})
{
    refdata::Connection c;
    attach(c, location, user, password);
    refdata::Transaction t(c, {QStringLiteral("read"), QStringLiteral("concurrency")});
    refdata::Statement s(c, sql);
    s.open(t);
    std::vector<std::vector<refdata::DbValue>> rows;
    while (s.next()) {
        std::vector<refdata::DbValue> row;
        for (const refdata::Column& column : s.columns())
            row.push_back(s.value(column.name));
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace testsupport

class TestDatabase {
public:
    enum class Content { SchemaOnly, Sample };

    explicit TestDatabase(Content content = Content::SchemaOnly)
    {
        if (!m_dir.isValid())
            throw std::runtime_error("no temporary folder");
        m_path = m_dir.filePath(QStringLiteral("sprrate.gdb"));
        QStringList args;
        if (content == Content::Sample)
            args << QStringLiteral("--sample");
        args << m_path;
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QStringLiteral(SPRRATE_SOURCE_DIR "/scripts/make-refdb"), args);
        if (!p.waitForFinished(120000) || p.exitCode() != 0)
            throw std::runtime_error("make-refdb failed: " + p.readAll().toStdString());
    }

    const QString& path() const { return m_path; }

    // Runs one statement in a transaction of an attachment of its own and commits it, as
    // another program would change the data.
    void exec(const QString& sql) const { testsupport::execOn(m_path, sql); }
    // Empties the tables the lookups read: taxes, rates, currencies.
    void clearLookupData() const
    {
        for (const char* t : {"APPLIED_TAXES", "FARE_CURRENCY_RATE", "FARE_CURRENCY"})
            exec(QStringLiteral("delete from ") + QString::fromLatin1(t));
    }
    QString folder() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QString m_path;
};
