// A multi-line text held by the program (the hidden buffers mHostAnswer and mWorkBoard):
// lines read by index, deleted, appended and searched ignoring letter case.
#pragma once

#include <QString>
#include <QStringList>

namespace host {

class TextBuffer {
public:
    // Replaces the whole text. Lines end at CR LF, LF or CR; an empty last line after a
    // final line break is no line.
    void setText(const QString& text);
    // Every line followed by CR LF.
    QString text() const;

    int lineCount() const { return static_cast<int>(m_lines.size()); }
    // Line i (from 0); empty at or past the end and before the start.
    QString line(int i) const;
    const QStringList& lines() const { return m_lines; }

    // Does nothing for a line that is not there.
    void deleteLine(int i);
    // A text with line breaks adds one line per piece, as setText splits.
    void appendLine(const QString& line);
    // Number of the first line equal to s ignoring letter case, or -1.
    int indexOfLine(const QString& s) const;
    bool containsLine(const QString& s) const { return indexOfLine(s) >= 0; }

    void clear() { m_lines.clear(); }

private:
    QStringList m_lines;
};

// text split into lines as TextBuffer::setText splits it.
QStringList splitLines(const QString& text);

} // namespace host
