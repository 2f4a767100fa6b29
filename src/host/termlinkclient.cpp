#include "host/termlinkclient.h"

#include "base/numbers.h"
#include "base/stopsignals.h"
#include "host/hosterror.h"

#include <QDeadlineTimer>
#include <QLocalSocket>

using namespace Qt::Literals::StringLiterals;

namespace host {
namespace {

// One connection to velmora-term, used for one request at a time. After a failure the
// connection is dropped for good: a late answer must never be taken for the answer to a
// later request.
class TermLinkConnection {
public:
    explicit TermLinkConnection(const TermLinkOptions& options) : m_options(options)
    {
        if (m_options.socketName.isEmpty())
            m_options.socketName = termlink::defaultSocketName();
        m_socket.connectToServer(m_options.socketName);
        if (!m_socket.waitForConnected(waitTime(QDeadlineTimer(m_options.timeout))))
            throw HostError(u"The terminal velmora-term does not answer at "_s +
                            m_options.socketName + u": "_s + m_socket.errorString());
    }

    QString request(char kind, const QString& text)
    {
        if (m_broken)
            throw HostError(u"The connection to the terminal was lost by an earlier error."_s);
        // Anything that came since the last answer was asked for by no request.
        m_reader.append(m_socket.readAll());
        if (m_reader.hasPendingBytes())
            breakProtocol(u"an answer came that no request asked for."_s);
        const std::uint32_t number = ++m_lastNumber;
        const QDeadlineTimer deadline(m_options.timeout);
        m_socket.write(termlink::encodeFrame(kind, number, text));
        while (m_socket.bytesToWrite() > 0) {
            if (!m_socket.waitForBytesWritten(waitTime(deadline)))
                fail(deadline);
        }
        for (;;) {
            if (auto frame = m_reader.next()) {
                if (frame->number != number)
                    breakProtocol(u"the answer to request "_s + QString::number(frame->number) +
                                  u" came for request "_s + QString::number(number) + u"."_s);
                if (frame->kind == termlink::kind::Answer)
                    return frame->text;
                if (frame->kind == termlink::kind::Error)
                    throw HostError(frame->text);
                breakProtocol(u"an answer of unknown kind."_s);
            }
            if (m_reader.failed())
                failedFrame();
            if (m_socket.bytesAvailable() > 0) {
                m_reader.append(m_socket.readAll());
                continue;
            }
            if (m_socket.state() != QLocalSocket::ConnectedState || deadline.hasExpired())
                fail(deadline);
            if (base::stopRequested())
                breakWith(StoppedMessage.toString());
            // In slices, so that a request to end the program is seen while waiting.
            m_socket.waitForReadyRead(std::min(waitTime(deadline), 200));
        }
    }

private:
    static int waitTime(const QDeadlineTimer& deadline)
    {
        const qint64 ms = deadline.remainingTime();
        return ms < 0 ? 1 << 30 : static_cast<int>(std::min<qint64>(ms, 1 << 30));
    }

    [[noreturn]] void fail(const QDeadlineTimer& deadline)
    {
        if (m_socket.state() != QLocalSocket::ConnectedState)
            breakWith(u"The terminal closed the connection before answering."_s);
        if (deadline.hasExpired()) {
            m_broken = true;
            m_socket.abort();
            throw HostTimeout(u"The terminal did not answer within "_s +
                              base::numbers::formatGeneral(
                                  static_cast<double>(m_options.timeout.count()) / 1000.0) +
                              u" s."_s);
        }
        breakWith(u"The connection to the terminal failed: "_s + m_socket.errorString());
    }

    [[noreturn]] void failedFrame()
    {
        const QString length = QString::number(m_reader.failedLength());
        switch (m_reader.failure()) {
        case termlink::FrameReader::Failure::TooLarge:
            breakWith(u"The terminal's answer is larger than 1 MiB ("_s + length + u" bytes)."_s);
        case termlink::FrameReader::Failure::Empty:
            breakProtocol(u"a frame of length 0."_s);
        case termlink::FrameReader::Failure::TooShort:
            breakProtocol(u"a frame of "_s + length +
                          u" bytes, too short for its request number."_s);
        case termlink::FrameReader::Failure::NotUtf8:
            breakProtocol(u"an answer that is not UTF-8 text."_s);
        case termlink::FrameReader::Failure::None:
            break;
        }
        breakProtocol(u"an unreadable frame."_s);
    }

    // The terminal said something the protocol does not allow: nothing it sends on this
    // connection can be trusted any more.
    [[noreturn]] void breakProtocol(const QString& what)
    {
        breakWith(u"Protocol error on the terminal link: "_s + what +
                  u" The connection to the terminal is dropped; if this happens again, restart "
                  u"the terminal."_s);
    }

    [[noreturn]] void breakWith(const QString& message)
    {
        m_broken = true;
        m_socket.abort();
        throw HostError(message);
    }

    TermLinkOptions m_options;
    QLocalSocket m_socket;
    termlink::FrameReader m_reader{termlink::MaxAnswerBytes};
    std::uint32_t m_lastNumber = 0;
    bool m_broken = false;
};

class TermLinkSessions : public HostSessions {
public:
    explicit TermLinkSessions(const TermLinkOptions& options) : m_connection(options) {}

    int Count() override
    {
        const QString answer = m_connection.request(termlink::kind::Count, {});
        const auto count = base::numbers::parseInteger(answer);
        if (!count || *count < 0)
            throw HostError(u"The terminal gave no session count: "_s + answer.left(40));
        return *count;
    }

private:
    TermLinkConnection m_connection;
};

class TermLinkSession : public HostSession {
public:
    explicit TermLinkSession(const TermLinkOptions& options) : m_connection(options) {}

    HostResponse Send(const QString& command, int /*mode*/) override
    {
        return {m_connection.request(termlink::kind::Send, command)};
    }

    HostResponse LastResponse() override
    {
        return {m_connection.request(termlink::kind::LastResponse, {})};
    }

private:
    TermLinkConnection m_connection;
};

} // namespace

void registerTermLink(AutomationRegistry& registry, const TermLinkOptions& options)
{
    registry.registerClass(HostSessionsProgId.toString(),
                           [options] { return std::make_unique<TermLinkSessions>(options); });
    registry.registerClass(HostSessionProgId.toString(),
                           [options] { return std::make_unique<TermLinkSession>(options); });
}

} // namespace host
