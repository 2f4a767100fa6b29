#include "termserver.h"

#include "host/termlinkprotocol.h"

#include <QLocalSocket>
#include <QPointer>
#include <QTimer>

using namespace Qt::Literals::StringLiterals;
namespace termlink = host::termlink;

namespace velmora {
namespace {

// One client: its requests are answered one after the other, in order, also when an
// answer waits for the scenario's delay.
class ClientConnection : public QObject {
public:
    ClientConnection(QLocalSocket* socket, TerminalSession& session, TermServer& server)
        : QObject(&server), m_socket(socket), m_session(session), m_server(server)
    {
        socket->setParent(this);
        connect(socket, &QLocalSocket::readyRead, this, &ClientConnection::read);
        connect(socket, &QLocalSocket::disconnected, this, &QObject::deleteLater);
        read();
    }

private:
    void read()
    {
        m_reader.append(m_socket->readAll());
        processNext();
    }

    void processNext()
    {
        while (!m_busy) {
            const auto frame = m_reader.next();
            if (!frame) {
                if (m_reader.failed()) // a broken frame: nothing after it can be trusted
                    m_socket->abort();
                return;
            }
            answer(*frame);
        }
    }

    void answer(const termlink::Frame& request)
    {
        const bool noSession = m_session.sessionCount() == 0;
        const std::uint32_t number = request.number; // every answer repeats it
        switch (request.kind) {
        case termlink::kind::Count:
            return write(termlink::kind::Answer, number, QString::number(m_session.sessionCount()));
        case termlink::kind::LastResponse:
            if (noSession)
                return write(termlink::kind::Error, number, u"No host session is open."_s);
            return write(termlink::kind::Answer, number, m_session.display());
        case termlink::kind::Send: {
            if (noSession)
                return write(termlink::kind::Error, number, u"No host session is open."_s);
            const TerminalSession::Reply reply = m_session.send(request.text);
            Q_EMIT m_server.displayChanged();
            if (reply.waitMs <= 0)
                return write(termlink::kind::Answer, number, reply.text);
            m_busy = true;
            QTimer::singleShot(reply.waitMs, this, [this, number, text = reply.text] {
                m_busy = false;
                write(termlink::kind::Answer, number, text);
                processNext();
            });
            return;
        }
        default:
            return write(termlink::kind::Error, number, u"Unknown request."_s);
        }
    }

    void write(char kind, std::uint32_t number, const QString& text)
    {
        m_socket->write(termlink::encodeFrame(kind, number, text));
        m_socket->flush();
    }

    QLocalSocket* m_socket;
    TerminalSession& m_session;
    TermServer& m_server;
    termlink::FrameReader m_reader{termlink::MaxRequestBytes};
    bool m_busy = false;
};

} // namespace

TermServer::TermServer(TerminalSession& session, QObject* parent)
    : QObject(parent), m_session(session)
{
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, &TermServer::accept);
}

bool TermServer::listen(const QString& socketName, QString* error)
{
    {
        QLocalSocket probe;
        probe.connectToServer(socketName);
        if (probe.waitForConnected(1000)) {
            *error = u"another terminal already answers at "_s + socketName;
            return false;
        }
    }
    QLocalServer::removeServer(socketName);
    if (!m_server.listen(socketName)) {
        *error = m_server.errorString();
        return false;
    }
    return true;
}

void TermServer::accept()
{
    while (QLocalSocket* socket = m_server.nextPendingConnection())
        new ClientConnection(socket, m_session, *this);
}

} // namespace velmora
