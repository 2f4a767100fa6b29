// Host screens for tests, put together line by line with each text at its column.
#pragma once

#include <QString>
#include <QStringList>

#include <initializer_list>
#include <utility>

namespace testsupport {

class ScreenBuilder {
public:
    using Piece = std::pair<int, QString>; // column (from 1), text

    // A line with every text starting at its column; gaps are blanks, a later text
    // overwrites an earlier one where they overlap.
    ScreenBuilder& at(std::initializer_list<Piece> pieces)
    {
        QString line;
        for (const auto& [column, text] : pieces) {
            const qsizetype start = column - 1;
            if (line.size() < start + text.size())
                line.resize(start + text.size(), QChar(u' '));
            line.replace(start, text.size(), text);
        }
        m_lines.append(line);
        return *this;
    }

    // A line as it stands.
    ScreenBuilder& line(const QString& text)
    {
        m_lines.append(text);
        return *this;
    }

    // The lines, each ended by a line break.
    QString text() const { return m_lines.isEmpty() ? QString() : m_lines.join(u'\n') + u'\n'; }

private:
    QStringList m_lines;
};

} // namespace testsupport
