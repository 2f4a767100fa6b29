// A private Firebird server for the tests that need many users on one database: Debian's
// server binary run as a plain child process on a free loopback port, with a root folder,
// configuration, security database and lock folder of its own (no system service, no
// system files touched). Stopped and started again at will; killed at the end.
#pragma once

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <signal.h>

#include <stdexcept>
#include <string>

namespace testsupport {

class FirebirdServer {
public:
    static constexpr const char* ServerBinary = "/usr/sbin/firebird";
    static constexpr const char* EngineFolder = "/usr/lib/x86_64-linux-gnu/firebird/3.0";
    // The program's default credentials, so that settings need only the location.
    static QString userName() { return QStringLiteral("SYSDBA"); }
    static QString password() { return QStringLiteral("lanternix"); }

    // Prepares the folders and the security database, then starts the server.
    FirebirdServer()
    {
        if (!QFile::exists(QString::fromUtf8(ServerBinary)))
            throw std::runtime_error(std::string(ServerBinary) +
                                     " is missing: scripts/install-deps installs "
                                     "firebird3.0-server");
        if (!m_dir.isValid())
            throw std::runtime_error("no temporary folder");
        m_port = freePort();
        QDir dir(m_dir.path());
        for (const char* sub : {"root/intl", "lock", "data"})
            dir.mkpath(QString::fromUtf8(sub));
        const QString engine = QString::fromUtf8(EngineFolder);
        for (const char* part : {"plugins", "lib", "UDF", "firebird.msg", "plugins.conf"})
            QFile::link(engine + u'/' + QString::fromUtf8(part),
                        rootPath() + u'/' + QString::fromUtf8(part));
        // The character sets (WIN1251) are found only when their module is a file of the
        // root itself, not a link out of it.
        for (const char* part : {"intl/fbintl.conf", "intl/libfbintl.so"}) {
            if (!QFile::copy(engine + u'/' + QString::fromUtf8(part),
                             rootPath() + u'/' + QString::fromUtf8(part)))
                throw std::runtime_error(std::string("cannot copy ") + part);
        }
        writeFile(rootPath() + QStringLiteral("/firebird.conf"),
                  QStringLiteral("RemoteServicePort = %1\n"
                                 "RemoteBindAddress = 127.0.0.1\n"
                                 "SecurityDatabase = %2\n"
                                 "ServerMode = Super\n"
                                 "UdfAccess = None\n")
                      .arg(m_port)
                      .arg(securityPath()));
        writeFile(rootPath() + QStringLiteral("/databases.conf"), QString());
        // The security database made by the embedded engine under the private
        // configuration, with the one user the tests connect as.
        runIsql(QStringLiteral("CREATE DATABASE '%1' USER SYSDBA;\n"
                               "CREATE USER %2 PASSWORD '%3';\nCOMMIT;\n")
                    .arg(securityPath(), userName(), password()));
        start();
    }

    ~FirebirdServer() { kill(); }
    FirebirdServer(const FirebirdServer&) = delete;
    FirebirdServer& operator=(const FirebirdServer&) = delete;

    // The folder the server's databases live in.
    QString dataFolder() const { return m_dir.path() + QStringLiteral("/data"); }
    // "localhost/port:path" for a database file of the data folder.
    QString location(const QString& fileName) const
    {
        return QStringLiteral("localhost/%1:%2/%3").arg(m_port).arg(dataFolder(), fileName);
    }

    // Creates a reference database through the server with scripts/make-refdb; returns
    // its location.
    QString createDatabase(const QString& fileName, bool sample)
    {
        const QString where = location(fileName);
        QStringList args;
        if (sample)
            args << QStringLiteral("--sample");
        args << where;
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.setProcessEnvironment(clientEnvironment());
        p.start(QStringLiteral(SPRRATE_SOURCE_DIR "/scripts/make-refdb"), args);
        if (!p.waitForFinished(120000) || p.exitCode() != 0)
            throw std::runtime_error("make-refdb through the server failed: " +
                                     p.readAll().toStdString());
        return where;
    }

    // Adds an agent's user with the agents' role to a database of this server with
    // scripts/make-refdb --agent, the password from AGENT_PASSWORD; returns the settings
    // lines it prints.
    QString createAgent(const QString& location, const QString& name, const QString& agentPassword)
    {
        QProcess p;
        QProcessEnvironment env = clientEnvironment();
        env.insert(QStringLiteral("AGENT_PASSWORD"), agentPassword);
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(SPRRATE_SOURCE_DIR "/scripts/make-refdb"),
                {QStringLiteral("--agent"), name, location});
        p.closeWriteChannel();
        if (!p.waitForFinished(120000) || p.exitCode() != 0)
            throw std::runtime_error("make-refdb --agent failed: " +
                                     p.readAllStandardError().toStdString());
        return QString::fromUtf8(p.readAllStandardOutput());
    }

    // The server's security database (its users and their password hashes) as a location.
    QString securityLocation() const
    {
        return QStringLiteral("localhost/%1:%2").arg(m_port).arg(securityPath());
    }

    // Starts the server (again) on the same port and waits until it accepts connections.
    void start()
    {
        if (running())
            return;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("FIREBIRD"), rootPath());
        env.insert(QStringLiteral("FIREBIRD_LOCK"), lockPath());
        env.insert(QStringLiteral("FIREBIRD_TMP"), m_dir.path());
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        // The port and the loopback address come from the private firebird.conf ("-p"
        // would listen on every interface).
        m_process.start(QString::fromUtf8(ServerBinary),
                        {QStringLiteral("-e"), rootPath(), QStringLiteral("-el"), lockPath()});
        if (!m_process.waitForStarted(10000))
            throw std::runtime_error("the Firebird server did not start");
        const QDeadlineTimer deadline(20000);
        while (!deadline.hasExpired()) {
            if (m_process.state() != QProcess::Running)
                throw std::runtime_error("the Firebird server ended at start: " +
                                         m_process.readAll().toStdString());
            QTcpSocket probe;
            probe.connectToHost(QStringLiteral("127.0.0.1"), m_port);
            if (probe.waitForConnected(200))
                return;
            QThread::msleep(50);
        }
        throw std::runtime_error("the Firebird server did not listen");
    }

    // Asks the server to end (SIGTERM), as the service manager does, and kills it when it
    // has not ended after the grace time, as the service manager does too (the server's
    // own shutdown now and then hangs with attachments open).
    static constexpr int StopGraceMs = 3000;
    void stop()
    {
        if (!running())
            return;
        resume();
        m_process.terminate();
        if (!m_process.waitForFinished(StopGraceMs))
            kill();
    }

    // Ends the server at once (SIGKILL), as a crash or a pulled cable would.
    void kill()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.kill();
        m_process.waitForFinished(10000);
    }

    bool running() const { return m_process.state() != QProcess::NotRunning; }

    // Freezes the server (SIGSTOP), as a hung server or a machine gone without a reset
    // looks from outside: its port still takes connections, nothing answers on them.
    void pause()
    {
        if (running())
            ::kill(static_cast<pid_t>(m_process.processId()), SIGSTOP);
    }
    // Lets a frozen server go on (SIGCONT).
    void resume()
    {
        if (running())
            ::kill(static_cast<pid_t>(m_process.processId()), SIGCONT);
    }

private:
    QString rootPath() const { return m_dir.path() + QStringLiteral("/root"); }
    QString lockPath() const { return m_dir.path() + QStringLiteral("/lock"); }
    QString securityPath() const { return m_dir.path() + QStringLiteral("/security3.fdb"); }

    QProcessEnvironment clientEnvironment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ISC_USER"), userName());
        env.insert(QStringLiteral("ISC_PASSWORD"), password());
        return env;
    }

    // isql-fb on a script, embedded under the private configuration (the security
    // database is made so).
    void runIsql(const QString& script) const
    {
        const QString path = m_dir.path() + QStringLiteral("/script.sql");
        writeFile(path, script);
        QProcessEnvironment env = clientEnvironment();
        env.insert(QStringLiteral("FIREBIRD"), rootPath());
        env.insert(QStringLiteral("FIREBIRD_LOCK"), lockPath());
        const QStringList args{QStringLiteral("-q"), QStringLiteral("-b"), QStringLiteral("-i"),
                               path};
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.setProcessEnvironment(env);
        p.start(QStringLiteral("isql-fb"), args);
        if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit ||
            p.exitCode() != 0)
            throw std::runtime_error("isql-fb failed: " + p.readAll().toStdString());
    }

    static void writeFile(const QString& path, const QString& text)
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(text.toUtf8()) < 0)
            throw std::runtime_error("cannot write " + path.toStdString());
    }

    // A port no one listens on now (the system's choice for a listener on port 0).
    static quint16 freePort()
    {
        QTcpServer s;
        if (!s.listen(QHostAddress::LocalHost, 0))
            throw std::runtime_error("no free port");
        return s.serverPort();
    }

    QTemporaryDir m_dir;
    quint16 m_port = 0;
    QProcess m_process;
};

} // namespace testsupport
