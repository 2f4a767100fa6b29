// The framed protocol between the terminal link and velmora-term over a local socket of
// the current user. A frame is a 4-byte big-endian payload length, then the payload: one
// kind byte and UTF-8 text. The client sends one request and waits for its one answer.
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

struct Frame {
    char kind = 0;
    QString text;
};

QByteArray encodeFrame(char kind, const QString& text);

// Cuts frames out of a byte stream. A frame whose text exceeds maxTextBytes (or an empty
// frame) puts the reader into the failed state: the stream cannot be trusted any more.
class FrameReader {
public:
    explicit FrameReader(qsizetype maxTextBytes) : m_maxTextBytes(maxTextBytes) {}

    void append(const QByteArray& bytes) { m_buffer.append(bytes); }
    // The next complete frame, if one is there; none once failed.
    std::optional<Frame> next();
    bool failed() const { return m_failed; }
    // Length the failed frame announced.
    std::uint32_t failedLength() const { return m_failedLength; }

private:
    qsizetype m_maxTextBytes;
    QByteArray m_buffer;
    bool m_failed = false;
    std::uint32_t m_failedLength = 0;
};

} // namespace host::termlink
