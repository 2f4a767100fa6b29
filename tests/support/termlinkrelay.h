// A hostile terminal for the link's tests: a local socket of the test's own that relays
// every request to a real velmora-term and lets the test change each answer on its way
// back (send it twice, renumber it, cut it, ...). It runs in a thread of its own, because
// the link waits for its answers without an event loop, and is stopped and joined by its
// destructor. Frames are cut here by their length alone, so the relay does not lean on
// the protocol code it helps to test.
#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QString>
#include <QThread>
#include <QtEndian>

#include <atomic>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

namespace testsupport {

class TermLinkRelay {
public:
    // The bytes the client gets for one answer: given the request frame and the answer
    // frame as velmora-term sent them (each with its 4-byte length).
    using Mangle = std::function<QByteArray(const QByteArray& request, const QByteArray& answer)>;

    // Longest the relay runs; a test that forgets it cannot hang on it.
    static constexpr int LifetimeMs = 60000;

    TermLinkRelay(QString upstream, QString socketName, Mangle mangle)
        : m_upstream(std::move(upstream)), m_socketName(std::move(socketName)),
          m_mangle(std::move(mangle))
    {
        std::promise<bool> listening;
        auto ready = listening.get_future();
        // A QThread, not a bare thread: the sockets' notifiers need Qt's thread data.
        m_thread.reset(QThread::create([this, &listening] { run(listening); }));
        m_thread->start();
        if (!ready.get()) {
            m_thread->wait();
            throw std::runtime_error("the relay cannot listen");
        }
    }

    ~TermLinkRelay()
    {
        m_stop = true;
        m_thread->wait();
    }

    TermLinkRelay(const TermLinkRelay&) = delete;
    TermLinkRelay& operator=(const TermLinkRelay&) = delete;

    QString socket() const { return m_socketName; }

    // One whole frame from the front of buffer, taken out of it.
    static std::optional<QByteArray> takeFrame(QByteArray& buffer)
    {
        if (buffer.size() < 4)
            return std::nullopt;
        const qsizetype length = qFromBigEndian<std::uint32_t>(buffer.constData());
        if (buffer.size() < 4 + length)
            return std::nullopt;
        QByteArray frame = buffer.left(4 + length);
        buffer.remove(0, 4 + length);
        return frame;
    }

    // The kind byte of a frame (0 for a frame without one).
    static char kindOf(const QByteArray& frame) { return frame.size() > 4 ? frame.at(4) : char(0); }

private:
    struct Client {
        std::unique_ptr<QLocalSocket> socket;
        std::unique_ptr<QLocalSocket> upstream;
        QByteArray requests;
        QByteArray answers;
    };

    void run(std::promise<bool>& listening)
    {
        QLocalServer server;
        QLocalServer::removeServer(m_socketName);
        const bool ok = server.listen(m_socketName);
        listening.set_value(ok);
        if (!ok)
            return;
        std::vector<Client> clients;
        const QDeadlineTimer deadline(LifetimeMs);
        while (!m_stop && !deadline.hasExpired()) {
            server.waitForNewConnection(5);
            while (QLocalSocket* s = server.nextPendingConnection()) {
                Client c;
                c.socket.reset(s);
                c.socket->setParent(nullptr);
                c.upstream = std::make_unique<QLocalSocket>();
                c.upstream->connectToServer(m_upstream);
                if (!c.upstream->waitForConnected(5000))
                    c.socket->abort();
                clients.push_back(std::move(c));
            }
            for (Client& c : clients)
                serve(c);
            std::erase_if(clients, [](const Client& c) {
                return c.socket->state() == QLocalSocket::UnconnectedState;
            });
        }
    }

    void serve(Client& c)
    {
        if (c.socket->bytesAvailable() == 0)
            c.socket->waitForReadyRead(5);
        c.requests += c.socket->readAll();
        while (auto request = takeFrame(c.requests)) {
            c.upstream->write(*request);
            c.upstream->waitForBytesWritten(5000);
            std::optional<QByteArray> answer;
            const QDeadlineTimer wait(10000);
            while (!(answer = takeFrame(c.answers)) && !wait.hasExpired() &&
                   c.upstream->state() == QLocalSocket::ConnectedState) {
                c.upstream->waitForReadyRead(50);
                c.answers += c.upstream->readAll();
            }
            if (!answer) {
                c.socket->abort();
                return;
            }
            c.socket->write(m_mangle(*request, *answer));
            while (c.socket->bytesToWrite() > 0 && c.socket->waitForBytesWritten(5000)) {
            }
        }
    }

    QString m_upstream;
    QString m_socketName;
    Mangle m_mangle;
    std::atomic<bool> m_stop{false};
    std::unique_ptr<QThread> m_thread;
};

} // namespace testsupport
