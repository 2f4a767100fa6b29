// An INI file read and written the way the Windows profile functions treat such files:
// section and key names compare without regard to case, lines end at CR, LF or CR LF,
// values are taken as typed (backslashes and braces kept, quotes too except one pair that
// encloses the whole value), a present key with an empty value is the empty text, values
// are cut at 2,047 characters, and writing a key keeps every other line of the file where
// it was.
#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QLockFile;

namespace base {

// Takes a lock file that other programs take for moments at a time: tries every few
// milliseconds until waitMs have passed. False when it could not be had (lock.error()
// says whether another program held it or the file could not be made).
bool takeLock(QLockFile& lock, int waitMs);

class IniFile {
public:
    // The longest value a read returns; longer values are cut.
    static constexpr qsizetype MaxValueLength = 2047;

    // The line ends of a written file. A file keeps the kind it has (the one most of its
    // lines end with); a new file gets those of the platform's profile functions.
    enum class LineEnd { Lf, CrLf, Cr };
#ifdef Q_OS_WIN
    static constexpr LineEnd NewFileLineEnd = LineEnd::CrLf;
#else
    static constexpr LineEnd NewFileLineEnd = LineEnd::Lf;
#endif

    // A larger file is refused: no settings file comes near it, and reading one of
    // blank lines would cost seconds and gigabytes.
    static constexpr qint64 MaxFileSize = 1024 * 1024;

    explicit IniFile(QString path, LineEnd newFileLineEnd = NewFileLineEnd);
    ~IniFile();
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;

    // Reads the file: always the whole of one version of it, whatever another program
    // saves meanwhile. A missing file is an empty one. False, with errorText saying what
    // is wrong and what to do, for a folder, a link to nothing, a file over MaxFileSize
    // and a file that cannot be read.
    bool load(QString* errorText = nullptr);
    // load() for a read-modify-write: first takes the lock file beside the file (its path
    // with ".lock" appended), waiting at most LockWaitMs for another program's save; the
    // lock is held until this object goes, so that no other save comes between this
    // reading and save(). False, with errorText, when the lock cannot be had or load()
    // fails.
    bool loadForUpdate(QString* errorText = nullptr);
    static constexpr int LockWaitMs = 5000;
    // Takes the file's bytes as load() reads them.
    void parse(QByteArray bytes);
    // The bytes save() writes.
    QByteArray serialize() const;

    const QString& path() const { return m_path; }

    QString readString(QStringView section, QStringView key, const QString& defaultValue) const;
    // A value that is not a decimal integer (or is empty) gives the default.
    int readInteger(QStringView section, QStringView key, int defaultValue) const;
    // True for any integer other than 0.
    bool readBool(QStringView section, QStringView key, bool defaultValue) const;
    bool hasKey(QStringView section, QStringView key) const;

    // Changes the text in memory; save() writes it. A value is one line: anything from
    // its first line break on is dropped. A value that would not read back as it is (one
    // with blanks around it, or enclosed in quotes) is written in a pair of quotes.
    void writeString(QStringView section, QStringView key, const QString& value);
    void writeInteger(QStringView section, QStringView key, int value);
    void writeBool(QStringView section, QStringView key, bool value);

    // Writes the whole file through a temporary file in the same folder that replaces the
    // old one only when it is complete, so a failure leaves the old file as it was.
    // On failure returns false and, when given, sets errorText.
    bool save(QString* errorText = nullptr) const;

private:
    struct Position {
        qsizetype sectionLine = -1; // the "[section]" line, -1 when absent
        qsizetype keyLine = -1;     // the key's line, -1 when absent
        qsizetype insertAt = -1;    // where a new key of the section goes
    };
    Position find(QStringView section, QStringView key) const;
    std::optional<QString> rawValue(QStringView section, QStringView key) const;

    enum class Encoding { Utf8, Windows1251, Utf16Le, Utf16Be };

    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
    QStringList m_lines;
    LineEnd m_newFileLineEnd;
    LineEnd m_lineEnd;
    Encoding m_encoding = Encoding::Utf8;
    bool m_bom = false; // UTF-16 files always have one
    bool m_finalNewline = true;
};

} // namespace base
