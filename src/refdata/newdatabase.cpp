#include "refdata/newdatabase.h"

#include "refdata/firebird.h"
#include "refdata/firebirdclient.h"

#include "base/settings.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

using namespace Qt::Literals::StringLiterals;

namespace refdata {

std::vector<SqlStatement> sqlStatements(const QString& script)
{
    static const QRegularExpression setTerm(u"^SET\\s+TERM\\s+(\\S+)$"_s,
                                            QRegularExpression::CaseInsensitiveOption);
    std::vector<SqlStatement> statements;
    QString terminator = u";"_s;
    QString current;
    int line = 1;
    int startLine = 0; // the line of the current statement's first character, 0: none yet
    const qsizetype n = script.size();
    auto fail = [](const QString& what, int at) {
        throw DbError(u"%1 (line %2)."_s.arg(what).arg(at));
    };
    for (qsizetype i = 0; i < n;) {
        const QChar c = script[i];
        if (script.mid(i, 2) == u"/*") {
            const qsizetype end = script.indexOf(u"*/"_s, i + 2);
            if (end < 0)
                fail(u"A comment is not closed"_s, line);
            line += int(QStringView(script).mid(i, end + 2 - i).count(u'\n'));
            i = end + 2;
            current += u' ';
            continue;
        }
        if (script.mid(i, 2) == u"--") {
            const qsizetype end = script.indexOf(u'\n', i);
            i = end < 0 ? n : end;
            continue;
        }
        if (script.mid(i, terminator.size()) == terminator) {
            i += terminator.size();
            const QString text = current.trimmed();
            if (const auto m = setTerm.match(text); m.hasMatch())
                terminator = m.captured(1);
            else if (!text.isEmpty())
                statements.push_back({text, startLine});
            current.clear();
            startLine = 0;
            continue;
        }
        if (c == u'\'' || c == u'"') {
            // A quote is doubled inside its own kind of literal.
            qsizetype end = i + 1;
            for (;;) {
                end = script.indexOf(c, end);
                if (end < 0)
                    fail(u"A quoted text is not closed"_s, line);
                if (end + 1 < n && script[end + 1] == c) {
                    end += 2;
                    continue;
                }
                break;
            }
            if (startLine == 0)
                startLine = line;
            const QStringView quoted = QStringView(script).mid(i, end + 1 - i);
            line += int(quoted.count(u'\n'));
            current += quoted;
            i = end + 1;
            continue;
        }
        if (c == u'\n')
            ++line;
        if (startLine == 0 && !c.isSpace())
            startLine = line;
        current += c;
        ++i;
    }
    if (!current.trimmed().isEmpty())
        fail(u"The last statement has no terminator \"%1\""_s.arg(terminator), startLine);
    return statements;
}

} // namespace refdata

namespace refdata {

namespace {

// The attachment to the database being made: dropped with its file unless the whole
// script ran.
class NewFile {
public:
    explicit NewFile(Firebird::IAttachment* attachment) : m_attachment(attachment) {}
    ~NewFile()
    {
        if (!m_attachment)
            return;
        fbclient::Status st;
        m_attachment->dropDatabase(st.get());
        if (st.failed())
            m_attachment->release();
    }
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    Firebird::IAttachment* get() const { return m_attachment; }
    void keep()
    {
        fbclient::Status st;
        m_attachment->detach(st.get());
        st.check();
        m_attachment = nullptr;
    }

private:
    Firebird::IAttachment* m_attachment;
};

// Runs one statement in a transaction of its own: what isql does with its AUTODDL, so
// that a table exists for the index that follows it.
void execute(Firebird::IAttachment* attachment, const SqlStatement& statement)
{
    if (statement.text.compare(u"COMMIT"_s, Qt::CaseInsensitive) == 0)
        return; // every statement is committed already
    const QByteArray sql = toWin1251(statement.text);
    fbclient::Status st;
    Firebird::ITransaction* transaction = attachment->startTransaction(st.get(), 0, nullptr);
    st.check();
    attachment->execute(st.get(), transaction, unsigned(sql.size()), sql.constData(), 3,
                        nullptr, nullptr, nullptr, nullptr);
    if (st.failed()) {
        DbError e = st.error();
        fbclient::Status rollback;
        transaction->rollback(rollback.get());
        if (rollback.failed())
            transaction->release();
        throw e;
    }
    transaction->commit(st.get());
    if (st.failed()) {
        DbError e = st.error();
        transaction->release();
        throw e;
    }
}

} // namespace

void createLocalDatabase(const QString& path, const QStringList& scriptFiles)
{
    if (base::isServerLocation(path))
        throw DbError(u"%1 is a server location; a database on a server is made with the "
                      u"server's tools (scripts/make-refdb)."_s.arg(path));
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (QFileInfo::exists(absolute))
        throw DbError(u"%1 exists already; it was not touched."_s.arg(absolute));

    // Every script is read and split before the file exists: a script that cannot be
    // read leaves nothing behind.
    std::vector<std::pair<QString, std::vector<SqlStatement>>> scripts;
    for (const QString& name : scriptFiles) {
        QFile file(name);
        if (!file.open(QIODevice::ReadOnly))
            throw DbError(u"Cannot read %1: %2."_s.arg(name, file.errorString()));
        try {
            scripts.emplace_back(name, sqlStatements(QString::fromUtf8(file.readAll())));
        } catch (const DbError& e) {
            throw DbError(u"%1: %2"_s.arg(name, e.message()));
        }
    }

    if (!QDir().mkpath(QFileInfo(absolute).absolutePath()))
        throw DbError(u"Cannot make the folder %1."_s.arg(QFileInfo(absolute).absolutePath()));
    fbclient::Client& c = fbclient::client();
    fbclient::Status st;
    Firebird::IXpbBuilder* dpb =
        c.util->getXpbBuilder(st.get(), Firebird::IXpbBuilder::DPB, nullptr, 0);
    st.check();
    dpb->insertString(st.get(), isc_dpb_user_name, "SYSDBA");
    dpb->insertInt(st.get(), isc_dpb_page_size, 8192);
    dpb->insertInt(st.get(), isc_dpb_sql_dialect, 3);
    dpb->insertString(st.get(), isc_dpb_set_db_charset, "WIN1251");
    dpb->insertString(st.get(), isc_dpb_lc_ctype, "WIN1251");
    if (st.failed()) {
        DbError e = st.error();
        dpb->dispose();
        throw e;
    }
    // Made under a name of its own and renamed when complete: a program stopped half-way
    // (killed, the machine off) leaves no half-made database where the program looks.
    const QFileInfo target(absolute);
    const QString partial = target.absolutePath() + u"/."_s + target.fileName() + u'.' +
                            QString::number(QCoreApplication::applicationPid()) + u".part"_s;
    QFile::remove(partial);
    // What a stopped earlier attempt left: a database is made in seconds, so a part not
    // touched for PartLeftAfter is no other program's work in progress.
    const QDir folder = target.absoluteDir();
    for (const QFileInfo& left : folder.entryInfoList({u"."_s + target.fileName() + u".*.part"_s},
                                                     QDir::Files | QDir::Hidden)) {
        if (left.lastModified().secsTo(QDateTime::currentDateTime()) > PartLeftAfter.count())
            QFile::remove(left.absoluteFilePath());
    }
    const QByteArray file = QFile::encodeName(partial);
    Firebird::IAttachment* attachment = c.dispatcher->createDatabase(
        st.get(), file.constData(), dpb->getBufferLength(st.get()), dpb->getBuffer(st.get()));
    dpb->dispose();
    st.check();

    NewFile made(attachment);
    for (const auto& [name, statements] : scripts) {
        for (const SqlStatement& statement : statements) {
            try {
                execute(made.get(), statement);
            } catch (const DbError& e) {
                throw DbError(u"%1, line %2: %3"_s.arg(name).arg(statement.line).arg(e.message()),
                              e.sqlCode(), e.gdsCodes());
            }
        }
    }
    made.keep();
    if (!QFile::rename(partial, absolute)) {
        QFile::remove(partial);
        throw DbError(u"%1 could not be put in place; another program made a file there "
                      u"meanwhile, which was not touched."_s.arg(absolute));
    }
}

} // namespace refdata
