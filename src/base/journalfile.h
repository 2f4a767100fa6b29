// A journal file of one-line entries that several programs append to: each entry goes out
// whole in one write under the journal's lock file, so entries of two programs never mix
// and a program that dies while writing loses at most its own entry. When the file would
// grow beyond its size it is kept as the one old file and a new one begins.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace base {

class JournalFile {
public:
    // How long an append waits for another program's; after it the entry is appended
    // without the lock (the system still appends it whole) and no new file is begun.
    static constexpr int LockWaitMs = 2000;

    JournalFile(QString path, qint64 rotateAt);

    const QString& path() const { return m_path; }
    // The previous file: the path with ".1" before its extension.
    QString oldPath() const;

    // Appends the entry (one line: it must hold no line end) and its line end, making the
    // folder when it is missing. Empty when it was written; otherwise what went wrong,
    // and nothing of the entry stays in the file.
    QString append(const QByteArray& entry) const;

    struct Lines {
        QList<QByteArray> lines; // oldest first: the old file's, then the current file's
        QString error;           // a file that is there but cannot be read
    };
    // Every non-empty line of both files. A line cut short by a crash is among them; the
    // reader of the entries decides what it can use.
    Lines readLines() const;

private:
    QString lockPath() const;

    QString m_path;
    qint64 m_rotateAt;
};

// The name the user signed on to the system with.
QString systemUserName();

} // namespace base
