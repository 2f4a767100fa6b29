#include "host/termlinkprotocol.h"

#include <QDir>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QtEndian>

using namespace Qt::Literals::StringLiterals;

namespace host::termlink {

QString defaultSocketName()
{
    // The runtime directory belongs to the user alone (mode 0700), so no other user can
    // put a socket of their own in its place.
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir + u"/velmora-term"_s;
}

QByteArray encodeFrame(char kind, std::uint32_t number, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    QByteArray frame(4 + PayloadHeaderBytes, Qt::Uninitialized);
    qToBigEndian<std::uint32_t>(static_cast<std::uint32_t>(utf8.size() + PayloadHeaderBytes),
                                frame.data());
    frame[4] = kind;
    qToBigEndian<std::uint32_t>(number, frame.data() + 5);
    frame.append(utf8);
    return frame;
}

void FrameReader::fail(Failure failure, std::uint32_t length)
{
    m_failure = failure;
    m_failedLength = length;
    m_buffer.clear();
}

std::optional<Frame> FrameReader::next()
{
    if (failed() || m_buffer.size() < 4)
        return std::nullopt;
    const auto length = qFromBigEndian<std::uint32_t>(m_buffer.constData());
    // The length alone decides these, before the bytes it announces are waited for.
    if (length == 0) {
        fail(Failure::Empty, length);
        return std::nullopt;
    }
    if (length < PayloadHeaderBytes) {
        fail(Failure::TooShort, length);
        return std::nullopt;
    }
    if (length - PayloadHeaderBytes > static_cast<std::uint64_t>(m_maxTextBytes)) {
        fail(Failure::TooLarge, length);
        return std::nullopt;
    }
    if (static_cast<std::uint64_t>(m_buffer.size()) < 4 + std::uint64_t{length})
        return std::nullopt;
    Frame frame;
    frame.kind = m_buffer.at(4);
    frame.number = qFromBigEndian<std::uint32_t>(m_buffer.constData() + 5);
    // A byte-order mark is text like any other here.
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    frame.text = utf8(QByteArrayView(m_buffer.constData() + 4 + PayloadHeaderBytes,
                                     static_cast<qsizetype>(length - PayloadHeaderBytes)));
    if (utf8.hasError()) {
        fail(Failure::NotUtf8, length);
        return std::nullopt;
    }
    m_buffer.remove(0, 4 + static_cast<qsizetype>(length));
    return frame;
}

} // namespace host::termlink
