#include "host/textbuffer.h"

using namespace Qt::Literals::StringLiterals;

namespace host {

QStringList splitLines(const QString& text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c != u'\n' && c != u'\r')
            continue;
        lines.append(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}

void TextBuffer::setText(const QString& text)
{
    m_lines = splitLines(text);
}

QString TextBuffer::text() const
{
    QString result;
    for (const QString& l : m_lines) {
        result += l;
        result += u"\r\n"_s;
    }
    return result;
}

QString TextBuffer::line(int i) const
{
    if (i < 0 || i >= m_lines.size())
        return {};
    return m_lines.at(i);
}

void TextBuffer::deleteLine(int i)
{
    if (i >= 0 && i < m_lines.size())
        m_lines.removeAt(i);
}

void TextBuffer::appendLine(const QString& line)
{
    const QStringList pieces = splitLines(line);
    if (pieces.isEmpty())
        m_lines.append(QString());
    else
        m_lines.append(pieces);
}

int TextBuffer::indexOfLine(const QString& s) const
{
    for (int i = 0; i < m_lines.size(); ++i) {
        if (m_lines.at(i).compare(s, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

} // namespace host
