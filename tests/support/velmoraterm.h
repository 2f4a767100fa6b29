// One velmora-term process on a socket and journal of the test's own, killed at the end.
#pragma once

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <stdexcept>

namespace testsupport {

class VelmoraTerm {
public:
    ~VelmoraTerm() { kill(); }

    QString socket() const { return m_dir.path() + QStringLiteral("/term.sock"); }
    QString journalPath() const { return m_dir.path() + QStringLiteral("/journal.txt"); }

    // Starts velmora-term on a scenario text and waits until it listens; raises when it
    // does not come up.
    void start(const QString& scenario)
    {
        const QString path = m_dir.path() + QStringLiteral("/scenario.scn");
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(scenario.toUtf8()) < 0)
            throw std::runtime_error("cannot write the scenario file");
        file.close();
        startFile(path);
    }

    void startFile(const QString& scenarioPath)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QString::fromUtf8(VELMORA_TERM_PATH),
                        {scenarioPath, QStringLiteral("--headless"), QStringLiteral("--socket"),
                         socket(), QStringLiteral("--journal"), journalPath()});
        if (!m_process.waitForStarted(10000))
            throw std::runtime_error("velmora-term did not start");
        QByteArray out;
        const QDeadlineTimer deadline(10000);
        while (!out.contains("listening") && !deadline.hasExpired() &&
               m_process.state() == QProcess::Running) {
            m_process.waitForReadyRead(100);
            out += m_process.readAllStandardOutput();
        }
        if (!out.contains("listening"))
            throw std::runtime_error("velmora-term did not listen: " + out.toStdString());
    }

    // Every command the terminal received, in order.
    QStringList journal() const
    {
        QFile file(journalPath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }

    qint64 pid() const { return m_process.processId(); }

    void kill()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.kill();
        m_process.waitForFinished(5000);
    }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
};

} // namespace testsupport
