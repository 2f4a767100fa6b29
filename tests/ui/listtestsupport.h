// Shared by the list window tests: a fresh copy of the sample database per test with the
// settings file beside it, a second attachment playing another user, and the driving of
// the modal dialogs (edit dialogs, message boxes) the windows open.
#pragma once

#include "refdata/referencedb.h"
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

// Answers the modal dialogs in the order they come. Each expectation waits for the next
// modal widget of its type and runs its action on it; a modal widget that nobody answers
// for two seconds is closed and recorded, so a test never hangs on a stray message.
class ModalDriver {
public:
    ModalDriver()
    {
        QObject::connect(&m_poll, &QTimer::timeout, [this] { poll(); });
        m_poll.start(5);
    }

    template <typename W> void expect(std::function<void(W*)> action)
    {
        m_pending.push_back([action](QWidget* w) {
            auto* typed = qobject_cast<W*>(w);
            if (!typed)
                return false;
            action(typed);
            return true;
        });
    }
    // The next message box: its text is recorded, then it is answered with a button.
    void answer(QMessageBox::StandardButton button = QMessageBox::Ok)
    {
        expect<QMessageBox>([this, button](QMessageBox* box) {
            messages.append(box->text());
            icons.append(box->icon());
            box->button(button)->click();
        });
    }

    bool allAnswered() const { return m_pending.empty(); }

    QStringList messages;           // the texts of the answered message boxes
    QList<QMessageBox::Icon> icons; // and their icons
    QStringList strays;             // modal widgets nobody expected (message texts or titles)

private:
    void poll()
    {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || !w->isVisible()) {
            m_since = nullptr;
            return;
        }
        if (!m_pending.empty() && w != m_done) {
            auto next = m_pending.front();
            m_pending.erase(m_pending.begin());
            if (next(w)) {
                m_done = w;
                m_since = nullptr;
                return;
            }
            m_pending.insert(m_pending.begin(), next);
        }
        if (w != m_since) {
            m_since = w;
            m_clock.start();
        } else if (m_clock.elapsed() > 2000) {
            auto* box = qobject_cast<QMessageBox*>(w);
            strays.append(box ? box->text() : w->windowTitle());
            if (auto* d = qobject_cast<QDialog*>(w))
                d->reject();
            else
                w->close();
            m_since = nullptr;
        }
    }

    QTimer m_poll;
    std::vector<std::function<bool(QWidget*)>> m_pending;
    QWidget* m_done = nullptr; // the widget the last action ran on, while it still shows
    QWidget* m_since = nullptr;
    QElapsedTimer m_clock;
};

} // namespace listtest
