#include "app/ui/sprrateapplication.h"

#include "base/ui/messages.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

#include <exception>

namespace ui {

SprRateApplication::SprRateApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool SprRateApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        base::ui::reportError(QApplication::activeWindow(), base::errorText(e));
    } catch (...) {
        base::ui::reportError(QApplication::activeWindow(), base::ui::UnknownError.toString());
    }
    return false;
}

namespace {
QString lockPath()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return QDir(dir).filePath(QStringLiteral("sprrate.lock"));
}
} // namespace

SingleInstance::SingleInstance()
    : m_path(lockPath()), m_lock(std::make_unique<QLockFile>(m_path))
{
    // Only a dead holder makes the lock stale, never its age: the program runs all day.
    // (Qt also refuses to remove a lock file its live holder keeps open.)
    m_lock->setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default; // unlocks, removing the lock file

bool SingleInstance::tryTake()
{
    if (m_lock->tryLock(0))
        return true;
    if (m_lock->error() != QLockFile::LockFailedError)
        return false;
    // A lock file that names no holder keeps the lock for ever, whatever its age: one
    // left empty by an earlier version of the program (which locked the file rather
    // than writing its name in it), or by a start that ended while writing it. A
    // starting program writes its name at once, so such a file a few seconds old is no
    // one's.
    qint64 pid = 0;
    QString host, application;
    if (m_lock->getLockInfo(&pid, &host, &application))
        return false;
    const QDateTime written = QFileInfo(m_path).lastModified();
    if (written.isValid() && written.secsTo(QDateTime::currentDateTime()) < UnnamedLockSeconds)
        return false;
    m_lock->removeStaleLockFile();
    return m_lock->tryLock(0);
}

bool SingleInstance::otherIsRunning()
{
    if (m_held)
        return false;
    if (!tryTake())
        return m_lock->error() == QLockFile::LockFailedError;
    m_lock->unlock();
    return false;
}

bool SingleInstance::hold()
{
    if (!m_held) {
        m_held = tryTake();
        // No runtime folder to lock in: nothing can tell instances apart.
        if (!m_held && m_lock->error() != QLockFile::LockFailedError)
            return true;
    }
    return m_held;
}

} // namespace ui
