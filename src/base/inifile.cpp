#include "base/inifile.h"

#include "base/numbers.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace base {
namespace {

// A stray carriage return (a file cut after one, or old Mac line ends) is a blank, so
// that it neither spoils a number nor changes a value when a line break is added after it.
bool isSpace(QChar c) { return c == u' ' || c == u'\t' || c == u'\r'; }

QStringView trimmedView(QStringView s)
{
    qsizetype a = 0;
    qsizetype b = s.size();
    while (a < b && isSpace(s[a]))
        ++a;
    while (b > a && isSpace(s[b - 1]))
        --b;
    return s.mid(a, b - a);
}

// The name of a "[name]" line, or a null view when the line is no section header.
QStringView sectionName(const QString& line)
{
    const QStringView t = trimmedView(line);
    if (!t.startsWith(u'['))
        return {};
    const qsizetype close = t.indexOf(u']');
    return trimmedView(close < 0 ? t.mid(1) : t.mid(1, close - 1));
}

bool isComment(QStringView t) { return t.startsWith(u';'); }

// The text of bytes that are valid UTF-8, which is how a file is read whatever code page
// wrote it; nullopt for any other bytes.
std::optional<QString> decodeUtf8(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        return std::nullopt;
    return text;
}

} // namespace

IniFile::IniFile(QString path) : m_path(std::move(path)) {}

bool IniFile::load()
{
    m_lines.clear();
    QFile file(m_path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    parse(std::move(bytes));
    return true;
}

void IniFile::parse(QByteArray bytes)
{
    m_lines.clear();
    m_bom = bytes.startsWith("\xEF\xBB\xBF");
    if (m_bom)
        bytes.remove(0, 3);
    std::optional<QString> utf8 = decodeUtf8(bytes);
    m_utf8 = utf8.has_value();
    QString text = m_utf8 ? *std::move(utf8) : QStringDecoder("windows-1251").decode(bytes);
    m_newline = text.contains(u"\r\n") ? QStringLiteral("\r\n") : QStringLiteral("\n");
    m_finalNewline = text.isEmpty() || text.endsWith(u'\n');
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_lines = text.split(u'\n');
    if (m_finalNewline && !m_lines.isEmpty())
        m_lines.removeLast();
}

IniFile::Position IniFile::find(QStringView section, QStringView key) const
{
    Position pos;
    qsizetype lastContent = -1;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const QString& line = m_lines[i];
        const QStringView name = sectionName(line);
        if (!name.isNull()) {
            if (pos.sectionLine >= 0)
                break; // the end of the section we were in
            if (name.compare(section, Qt::CaseInsensitive) == 0) {
                pos.sectionLine = i;
                lastContent = i;
            }
            continue;
        }
        if (pos.sectionLine < 0)
            continue;
        const QStringView t = trimmedView(line);
        if (t.isEmpty())
            continue;
        lastContent = i;
        if (isComment(t) || pos.keyLine >= 0)
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            continue;
        if (trimmedView(QStringView(line).left(eq)).compare(key, Qt::CaseInsensitive) == 0)
            pos.keyLine = i;
    }
    pos.insertAt = lastContent + 1;
    return pos;
}

std::optional<QString> IniFile::rawValue(QStringView section, QStringView key) const
{
    const Position pos = find(section, key);
    if (pos.keyLine < 0)
        return std::nullopt;
    const QString& line = m_lines[pos.keyLine];
    return trimmedView(QStringView(line).mid(line.indexOf(u'=') + 1))
        .left(MaxValueLength)
        .toString();
}

QString IniFile::readString(QStringView section, QStringView key,
                            const QString& defaultValue) const
{
    return rawValue(section, key).value_or(defaultValue.left(MaxValueLength));
}

int IniFile::readInteger(QStringView section, QStringView key, int defaultValue) const
{
    const auto value = rawValue(section, key);
    if (!value)
        return defaultValue;
    return numbers::parseInteger(*value).value_or(defaultValue);
}

bool IniFile::readBool(QStringView section, QStringView key, bool defaultValue) const
{
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

bool IniFile::hasKey(QStringView section, QStringView key) const
{
    return find(section, key).keyLine >= 0;
}

void IniFile::writeString(QStringView section, QStringView key, const QString& value)
{
    qsizetype cut = value.size();
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == u'\n' || value[i] == u'\r') {
            cut = i;
            break;
        }
    }
    const QString line = key.toString() + u'=' + value.left(cut);
    const Position pos = find(section, key);
    if (pos.keyLine >= 0) {
        m_lines[pos.keyLine] = line;
    } else if (pos.sectionLine >= 0) {
        m_lines.insert(pos.insertAt, line);
    } else {
        if (!m_lines.isEmpty() && !trimmedView(m_lines.last()).isEmpty())
            m_lines.append(QString());
        m_lines.append(u'[' + section.toString() + u']');
        m_lines.append(line);
    }
}

void IniFile::writeInteger(QStringView section, QStringView key, int value)
{
    writeString(section, key, QString::number(value));
}

void IniFile::writeBool(QStringView section, QStringView key, bool value)
{
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

QByteArray IniFile::serialize() const
{
    QString text = m_lines.join(m_newline);
    if (m_finalNewline && !m_lines.isEmpty())
        text += m_newline;
    // A file read as Windows-1251 stays so, unless it now holds a character that code
    // page cannot write, or its bytes would read back as UTF-8 (the one byte that told
    // the code page was in a value just overwritten): then the whole file is written as
    // UTF-8, so that every other value reads back as it was. (Plain ASCII is the same
    // bytes either way.)
    if (!m_utf8) {
        QStringEncoder cp1251("windows-1251");
        QByteArray bytes = cp1251.encode(text);
        if (!cp1251.hasError() && !decodeUtf8(bytes))
            return bytes;
    }
    QByteArray bytes = m_bom ? QByteArray("\xEF\xBB\xBF") : QByteArray();
    return bytes + text.toUtf8();
}

bool IniFile::save(QString* errorText) const
{
    const QByteArray bytes = serialize();
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (errorText)
            *errorText = file.errorString();
        return false;
    }
    return true;
}

} // namespace base
