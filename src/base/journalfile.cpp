#include "base/journalfile.h"

#include "base/inifile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

#ifndef Q_OS_WIN
#include <pwd.h>
#include <unistd.h>
#endif

using namespace Qt::Literals::StringLiterals;

namespace base {

namespace {

// Whether the file's last byte is a line end: a file whose writer died in the middle of
// an entry ends without one.
bool endsWithLineEnd(const QString& path, qint64 size)
{
    QFile file(path);
    char last = '\n';
    if (!file.open(QIODevice::ReadOnly) || !file.seek(size - 1) || !file.getChar(&last))
        return true; // nothing known: the entry is written as it is
    return last == '\n';
}

bool takeJournalLock(QLockFile& lock)
{
    // An append holds the lock for milliseconds; one older than this was left behind.
    lock.setStaleLockTime(10 * JournalFile::LockWaitMs);
    return takeLock(lock, JournalFile::LockWaitMs);
}

} // namespace

JournalFile::JournalFile(QString path, qint64 rotateAt) : m_path(std::move(path)), m_rotateAt(rotateAt)
{
}

QString JournalFile::lockPath() const { return m_path + u".lock"_s; }

QString JournalFile::oldPath() const
{
    const QFileInfo info(m_path);
    if (info.suffix().isEmpty())
        return m_path + u".1"_s;
    return info.dir().filePath(info.completeBaseName() + u".1."_s + info.suffix());
}

QString JournalFile::append(const QByteArray& entry) const
{
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(folder))
        return u"its folder cannot be made"_s;

    QLockFile lock(lockPath());
    const bool locked = takeJournalLock(lock);
    if (locked) {
        // Begun only under the lock: two programs doing it at once would lose a file.
        const QFileInfo info(m_path);
        if (info.exists() && info.size() > 0 && info.size() + entry.size() + 1 > m_rotateAt) {
            QFile::remove(oldPath());
            // A file that cannot be renamed (held open elsewhere) grows on until it can.
            QFile::rename(m_path, oldPath());
        }
    }

    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return file.errorString();
    // (A device, such as a printer's or a full disk's stand-in, has no end to look at.)
    const qint64 before = file.isSequential() ? 0 : file.size();
    QByteArray line;
    line.reserve(entry.size() + 2);
    // An entry cut short by a crash keeps its own line: this one starts on the next.
    if (before > 0 && !endsWithLineEnd(m_path, before))
        line += '\n';
    line += entry;
    line += '\n';
    if (file.write(line) == line.size())
        return {};
    QString why = file.errorString();
    if (why.isEmpty())
        why = u"the entry could not be written whole"_s;
    // Under the lock nothing came after this entry, so its part is taken back; without it
    // another program's entry may follow, and the part stays for the reader to skip.
    if (locked && !file.isSequential() && file.size() > before)
        file.resize(before);
    return why;
}

JournalFile::Lines JournalFile::readLines() const
{
    QLockFile lock(lockPath());
    // Not while a new file is begun; a lock that cannot be had does not stop the reading.
    takeJournalLock(lock);
    Lines out;
    for (const QString& path : {oldPath(), m_path}) {
        QFile file(path);
        if (!file.exists())
            continue;
        if (!file.open(QIODevice::ReadOnly)) {
            out.error = u"%1 cannot be read (%2)"_s.arg(QDir::toNativeSeparators(path),
                                                        file.errorString());
            continue;
        }
        const QByteArray bytes = file.readAll();
        for (const QByteArray& line : bytes.split('\n')) {
            if (!line.trimmed().isEmpty())
                out.lines.append(line);
        }
    }
    return out;
}

QString systemUserName()
{
#ifndef Q_OS_WIN
    if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_name)
        return QString::fromLocal8Bit(pw->pw_name);
    for (const char* name : {"USER", "LOGNAME"}) {
        if (const QString user = qEnvironmentVariable(name); !user.isEmpty())
            return user;
    }
    return QString::number(geteuid());
#else
    return qEnvironmentVariable("USERNAME");
#endif
}

} // namespace base
