// The program's QApplication: an error that no handler catches is shown in a message box
// with its text, and the event loop goes on (the program's default error report).
#pragma once

#include <QApplication>

#include <memory>

class QLockFile;

namespace ui {

class SprRateApplication : public QApplication {
    Q_OBJECT
public:
    SprRateApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// The per-user lock that tells a second start that the program already runs: a lock file
// in the user's runtime folder. A lock file whose holder has died (its process is gone) is
// stale and taken over, so a program that died leaves nothing behind that keeps the next
// start away; a holder that still runs keeps it however long it runs.
class SingleInstance {
public:
    SingleInstance();
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when another running instance holds the lock.
    bool otherIsRunning();
    // Takes the lock for this instance and keeps it; false when another one holds it.
    bool hold();

    // How old a lock file that names no holder must be to be taken over.
    static constexpr int UnnamedLockSeconds = 5;

private:
    bool tryTake();

    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
    bool m_held = false;
};

} // namespace ui
