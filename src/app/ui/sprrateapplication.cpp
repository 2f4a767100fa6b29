#include "app/ui/sprrateapplication.h"

#include "base/ui/messages.h"

#include <QDir>
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

SingleInstance::SingleInstance() : m_lock(std::make_unique<QLockFile>(lockPath()))
{
    // Only a dead holder makes the lock stale, never its age: the program runs all day.
    // (Qt also refuses to remove a lock file its live holder keeps open.)
    m_lock->setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default; // unlocks, removing the lock file

bool SingleInstance::otherIsRunning()
{
    if (m_held)
        return false;
    if (!m_lock->tryLock(0))
        return m_lock->error() == QLockFile::LockFailedError;
    m_lock->unlock();
    return false;
}

bool SingleInstance::hold()
{
    if (!m_held) {
        m_held = m_lock->tryLock(0);
        // No runtime folder to lock in: nothing can tell instances apart.
        if (!m_held && m_lock->error() != QLockFile::LockFailedError)
            return true;
    }
    return m_held;
}

} // namespace ui
