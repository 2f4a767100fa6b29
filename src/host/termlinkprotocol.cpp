#include "host/termlinkprotocol.h"

#include <QDir>
#include <QStandardPaths>
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

QByteArray encodeFrame(char kind, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    QByteArray frame(4, Qt::Uninitialized);
    qToBigEndian<std::uint32_t>(static_cast<std::uint32_t>(utf8.size() + 1), frame.data());
    frame.append(kind);
    frame.append(utf8);
    return frame;
}

std::optional<Frame> FrameReader::next()
{
    if (m_failed || m_buffer.size() < 4)
        return std::nullopt;
    const auto length = qFromBigEndian<std::uint32_t>(m_buffer.constData());
    if (length == 0 || length - 1 > static_cast<std::uint64_t>(m_maxTextBytes)) {
        m_failed = true;
        m_failedLength = length;
        m_buffer.clear();
        return std::nullopt;
    }
    if (static_cast<std::uint64_t>(m_buffer.size()) < 4 + std::uint64_t{length})
        return std::nullopt;
    Frame frame;
    frame.kind = m_buffer.at(4);
    frame.text = QString::fromUtf8(m_buffer.constData() + 5, static_cast<qsizetype>(length) - 1);
    m_buffer.remove(0, 4 + static_cast<qsizetype>(length));
    return frame;
}

} // namespace host::termlink
