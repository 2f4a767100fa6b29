#include "app/ui/sprrateapplication.h"

#include "base/ui/messages.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <exception>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

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
{
    m_fd = ::open(QFile::encodeName(lockPath()).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
}

SingleInstance::~SingleInstance()
{
    if (m_fd >= 0)
        ::close(m_fd); // drops the lock
}

bool SingleInstance::otherIsRunning()
{
    if (m_held || m_fd < 0)
        return false;
    if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0)
        return errno == EWOULDBLOCK;
    ::flock(m_fd, LOCK_UN);
    return false;
}

bool SingleInstance::hold()
{
    if (m_fd < 0)
        return true; // no runtime folder to lock in: nothing can tell instances apart
    if (!m_held)
        m_held = ::flock(m_fd, LOCK_EX | LOCK_NB) == 0;
    return m_held;
}

} // namespace ui
