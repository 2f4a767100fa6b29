// velmora-term's side of the terminal link: serves the session count, commands and the
// current display to the program's clients on a local socket of the current user.
#pragma once

#include "terminalsession.h"

#include <QLocalServer>
#include <QObject>

namespace velmora {

class TermServer : public QObject {
    Q_OBJECT
public:
    explicit TermServer(TerminalSession& session, QObject* parent = nullptr);

    // Refuses a socket on which another terminal already answers; a socket file left
    // behind by a terminal that died is replaced.
    bool listen(const QString& socketName, QString* error);
    QString socketName() const { return m_server.fullServerName(); }

Q_SIGNALS:
    // A client's command changed what the terminal shows.
    void displayChanged();

private:
    void accept();

    TerminalSession& m_session;
    QLocalServer m_server;
};

} // namespace velmora
