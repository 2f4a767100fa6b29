// Shared by the list window tests: a fresh copy of the sample database per test with the
// settings file beside it, a second attachment playing another user, and the driving of
// the modal dialogs (edit dialogs, message boxes) the windows open.
#pragma once

#include "refdata/referencedb.h"
#include "support/modal.h"
#include "support/testdatabase.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

namespace listtest {

using namespace Qt::Literals::StringLiterals;

// The sample database made once per test program; each test works on a copy of it.
inline const QString& sampleTemplate()
{
    static const TestDatabase db(TestDatabase::Content::Sample);
    return db.path();
}

class SampleCopy {
public:
    SampleCopy()
    {
        m_path = m_dir.filePath(u"sprrate.gdb"_s);
        if (!QFile::copy(sampleTemplate(), m_path))
            qFatal("cannot copy the sample database");
        QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner);
        db.setLocation(m_path, u"sysdba"_s, u"lanternix"_s);
    }
    const QString& path() const { return m_path; }
    QString iniPath() const { return m_dir.filePath(u"SPRRATE.INI"_s); }

    // Runs one statement as another user, committed at once.
    void exec(const QString& sql)
    {
        other();
        refdata::Transaction t(*m_other, {u"write"_s, u"nowait"_s, u"concurrency"_s});
        refdata::Statement s(*m_other, sql);
        s.execute(t);
        t.commit();
    }
    // Another user's update kept open: the row stays locked until release().
    void lock(const QString& sql)
    {
        other();
        m_held->startIfNeeded();
        refdata::Statement s(*m_other, sql);
        s.execute(*m_held);
    }
    void release() { m_held->rollback(); }

    // The rows of a query as texts, columns joined by "|".
    QStringList rows(const QString& sql)
    {
        other();
        refdata::Transaction t(*m_other, {u"read"_s, u"read_committed"_s, u"rec_version"_s});
        refdata::Statement s(*m_other, sql);
        s.open(t);
        QStringList out;
        while (s.next()) {
            QStringList cells;
            for (const auto& c : s.columns())
                cells.append(s.isNull(c.name) ? u"<null>"_s : s.text(c.name));
            out.append(cells.join(u'|'));
        }
        s.close();
        t.commit();
        return out;
    }

    refdata::ReferenceDatabase db;

private:
    void other()
    {
        if (m_other)
            return;
        m_other = std::make_unique<refdata::Connection>();
        m_other->setDatabaseName(m_path);
        m_other->setUserName(u"sysdba"_s);
        m_other->connect();
        m_held = std::make_unique<refdata::Transaction>(
            *m_other, QStringList{u"write"_s, u"nowait"_s, u"concurrency"_s});
    }

    QTemporaryDir m_dir;
    QString m_path;
    std::unique_ptr<refdata::Connection> m_other;
    std::unique_ptr<refdata::Transaction> m_held;
};

using testsupport::ModalDriver;

} // namespace listtest
