// The framed protocol between the terminal link and velmora-term over a local socket of
// the current user. A frame is a 4-byte big-endian payload length, then the payload: one
// kind byte, the 4-byte big-endian request number and UTF-8 text. The client numbers its
// requests 1, 2, ... on each connection, sends one and waits for its one answer, which
// repeats the number. Whatever else arrives (an answer to another number or to no request,
// a frame too short for its number, text that is not UTF-8, an unknown kind) breaks the
// protocol, and the side that sees it drops the connection.
//
//   request  'N'            session count        answer 'R' + decimal count
//   request  'S' + command  send a host command  answer 'R' + response text
//   request  'L'            current display      answer 'R' + display text
//   any request that fails                       answer 'E' + message
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace host::termlink {

namespace kind {
inline constexpr char Count = 'N';
inline constexpr char Send = 'S';
inline constexpr char LastResponse = 'L';
inline constexpr char Answer = 'R';
inline constexpr char Error = 'E';
} // namespace kind

// Largest text of an answer (1 MiB of UTF-8); no host screen comes near it.
inline constexpr qsizetype MaxAnswerBytes = 1 << 20;
// Largest text of a request; host commands are one short line.
inline constexpr qsizetype MaxRequestBytes = 64 * 1024;

// The socket velmora-term listens on and the program connects to: "velmora-term" in the
// user's runtime directory.
QString defaultSocketName();

// Bytes of a payload before its text: the kind and the request number.
inline constexpr std::uint32_t PayloadHeaderBytes = 5;

struct Frame {
    char kind = 0;
    std::uint32_t number = 0;
    QString text;
};

QByteArray encodeFrame(char kind, std::uint32_t number, const QString& text);

// Cuts frames out of a byte stream. A frame that cannot be one (see Failure) puts the
// reader into the failed state: the stream cannot be trusted any more.
class FrameReader {
public:
    enum class Failure {
        None,
        Empty,    // a length of 0
        TooShort, // no room for the kind and the request number
        TooLarge, // text beyond maxTextBytes
        NotUtf8,  // text that is not UTF-8
    };

    explicit FrameReader(qsizetype maxTextBytes) : m_maxTextBytes(maxTextBytes) {}

    void append(const QByteArray& bytes) { m_buffer.append(bytes); }
    // The next complete frame, if one is there; none once failed.
    std::optional<Frame> next();
    // Bytes received that are not yet a whole frame.
    bool hasPendingBytes() const { return !m_buffer.isEmpty(); }
    bool failed() const { return m_failure != Failure::None; }
    Failure failure() const { return m_failure; }
    // Length the failed frame announced.
    std::uint32_t failedLength() const { return m_failedLength; }

private:
    void fail(Failure failure, std::uint32_t length);

    qsizetype m_maxTextBytes;
    QByteArray m_buffer;
    Failure m_failure = Failure::None;
    std::uint32_t m_failedLength = 0;
};

} // namespace host::termlink
