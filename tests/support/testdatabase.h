// A fresh reference database file in a temporary folder, made by scripts/make-refdb
// from the schema (and, when asked, the sample data).
#pragma once

#include "refdata/firebird.h"

#include <QDir>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <stdexcept>

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
    void exec(const QString& sql) const
    {
        refdata::Connection c;
        c.setDatabaseName(m_path);
        c.connect();
        refdata::Transaction t(c, {QStringLiteral("write"), QStringLiteral("concurrency")});
        refdata::Statement s(c, sql);
        s.execute(t);
        t.commit();
    }
    QString folder() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QString m_path;
};
