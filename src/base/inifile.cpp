#include "base/inifile.h"

#include "base/numbers.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <chrono>
#include <random>
#include <thread>

using namespace Qt::Literals::StringLiterals;

namespace base {
namespace {

bool isSpace(QChar c) { return c == u' ' || c == u'\t'; }

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

QStringView lineEndText(IniFile::LineEnd end)
{
    switch (end) {
    case IniFile::LineEnd::CrLf:
        return u"\r\n";
    case IniFile::LineEnd::Cr:
        return u"\r";
    case IniFile::LineEnd::Lf:
        break;
    }
    return u"\n";
}

// One pair of double quotes around the whole value is no part of it.
QStringView unquoted(QStringView value)
{
    if (value.size() >= 2 && value.front() == u'"' && value.back() == u'"')
        return value.mid(1, value.size() - 2);
    return value;
}

// Whether a value written as it stands would read back otherwise: blanks around it are
// trimmed, and a pair of quotes around it is dropped.
bool needsQuotes(QStringView value)
{
    if (value.isEmpty())
        return false;
    return isSpace(value.front()) || isSpace(value.back()) || unquoted(value) != value;
}

} // namespace

IniFile::IniFile(QString path, LineEnd newFileLineEnd)
    : m_path(std::move(path)), m_newFileLineEnd(newFileLineEnd), m_lineEnd(newFileLineEnd)
{
}

IniFile::~IniFile() = default;

bool IniFile::load(QString* errorText)
{
    m_lines.clear();
    m_lineEnd = m_newFileLineEnd;
    const auto fail = [&](const QString& problem) {
        if (errorText)
            *errorText = u"The settings file \"%1\" "_s.arg(QDir::toNativeSeparators(m_path)) +
                         problem;
        return false;
    };
    // The file is opened without asking first whether it exists: another program's save
    // replaces it in one step, so an open sees the old file or the new one, where a
    // question before it could be answered "no" in between.
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        const QFileInfo info(m_path);
        if (info.isSymLink() && !info.exists())
            return fail(u"is a link to \"%1\", which does not exist: restore that file or "
                        u"remove the link."_s.arg(QDir::toNativeSeparators(info.symLinkTarget())));
        if (info.isDir())
            return fail(u"is a folder, not a file: remove or rename the folder."_s);
        if (!info.exists())
            return true;
        return fail(u"cannot be read (%1): check its permissions."_s.arg(file.errorString()));
    }
    const qint64 size = file.size();
    if (size > MaxFileSize)
        return fail(u"is larger than 1 MB (%1 bytes): remove what does not belong in it."_s.arg(
            size));
    QByteArray bytes = file.read(MaxFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        return fail(u"cannot be read (%1): check its permissions."_s.arg(file.errorString()));
    if (bytes.size() > MaxFileSize)
        return fail(u"is larger than 1 MB: remove what does not belong in it."_s);
    parse(std::move(bytes));
    return true;
}

// QLockFile's own wait backs off to seconds between tries, so under saves that follow
// each other it can wait out its time while the lock is free most of it.
bool takeLock(QLockFile& lock, int waitMs)
{
    const QDeadlineTimer deadline(waitMs);
    std::minstd_rand jitter{static_cast<std::minstd_rand::result_type>(
        QCoreApplication::applicationPid())};
    while (!lock.tryLock(0)) {
        if (lock.error() != QLockFile::LockFailedError || deadline.hasExpired())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1 + jitter() % 4));
    }
    return true;
}

bool IniFile::loadForUpdate(QString* errorText)
{
    m_lock.reset();
    const QString lockPath = m_path + u".lock"_s;
    auto lock = std::make_unique<QLockFile>(lockPath);
    // A save holds the lock for milliseconds; a lock older than this was left by a
    // program that ended without releasing it (on this machine that is seen at once, by
    // its process being gone). Longer than the wait, so that a lock another program
    // really holds is never broken.
    lock->setStaleLockTime(2 * LockWaitMs);
    if (!takeLock(*lock, LockWaitMs)) {
        if (errorText) {
            const QString file = QDir::toNativeSeparators(m_path);
            const QString lockFile = QDir::toNativeSeparators(lockPath);
            *errorText =
                lock->error() == QLockFile::LockFailedError
                    ? u"The settings file \"%1\" is being saved by another program, which has "
                      u"held its lock file \"%2\" for over %3 seconds. Try again; if no other "
                      u"program is running, delete the lock file."_s.arg(
                          file, lockFile, QString::number(LockWaitMs / 1000))
                    : u"The settings file \"%1\" cannot be saved: its lock file \"%2\" cannot "
                      u"be created. Check that the folder may be written."_s.arg(file, lockFile);
        }
        return false;
    }
    m_lock = std::move(lock);
    return load(errorText);
}

void IniFile::parse(QByteArray bytes)
{
    m_lines.clear();
    QString text;
    // UTF-16 (as some Windows editors save) is told by its byte-order mark.
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        m_encoding = bytes.startsWith("\xFF\xFE") ? Encoding::Utf16Le : Encoding::Utf16Be;
        m_bom = true;
        text = QStringDecoder(m_encoding == Encoding::Utf16Le ? QStringConverter::Utf16LE
                                                              : QStringConverter::Utf16BE,
                              QStringConverter::Flag::Stateless)
                   .decode(QByteArrayView(bytes).sliced(2));
    } else {
        m_bom = bytes.startsWith("\xEF\xBB\xBF");
        if (m_bom)
            bytes.remove(0, 3);
        std::optional<QString> utf8 = decodeUtf8(bytes);
        m_encoding = utf8 ? Encoding::Utf8 : Encoding::Windows1251;
        text = utf8 ? *std::move(utf8) : QStringDecoder("windows-1251").decode(bytes);
    }
    // Lines end at CR LF, a lone CR or a lone LF, as the profile functions read them.
    qsizetype counts[3] = {}; // by LineEnd
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n')
            continue;
        m_lines.append(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            ++counts[int(LineEnd::CrLf)];
            ++i;
        } else {
            ++counts[int(c == u'\r' ? LineEnd::Cr : LineEnd::Lf)];
        }
        start = i + 1;
    }
    m_finalNewline = start == text.size();
    if (!m_finalNewline)
        m_lines.append(text.mid(start));
    // The kind most lines end with; a file without line ends takes a new file's.
    m_lineEnd = m_newFileLineEnd;
    qsizetype most = 0;
    for (const LineEnd end : {LineEnd::CrLf, LineEnd::Lf, LineEnd::Cr}) {
        if (counts[int(end)] > most) {
            most = counts[int(end)];
            m_lineEnd = end;
        }
    }
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
    return unquoted(trimmedView(QStringView(line).mid(line.indexOf(u'=') + 1)))
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
    const QStringView typed = QStringView(value).left(cut);
    const QString line = needsQuotes(typed)
                             ? key.toString() + u"=\""_s + typed.toString() + u'"'
                             : key.toString() + u'=' + typed.toString();
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
    const QStringView newline = lineEndText(m_lineEnd);
    QString text = m_lines.join(newline);
    if (m_finalNewline && !m_lines.isEmpty())
        text += newline;
    // A file read as Windows-1251 stays so, unless it now holds a character that code
    // page cannot write, or its bytes would read back as UTF-8 (the one byte that told
    // the code page was in a value just overwritten): then the whole file is written as
    // UTF-8, so that every other value reads back as it was. (Plain ASCII is the same
    // bytes either way.)
    if (m_encoding == Encoding::Windows1251) {
        QStringEncoder cp1251("windows-1251");
        QByteArray bytes = cp1251.encode(text);
        if (!cp1251.hasError() && !decodeUtf8(bytes))
            return bytes;
    }
    if (m_encoding == Encoding::Utf16Le || m_encoding == Encoding::Utf16Be) {
        QStringEncoder utf16(m_encoding == Encoding::Utf16Le ? QStringConverter::Utf16LE
                                                             : QStringConverter::Utf16BE,
                             QStringConverter::Flag::WriteBom);
        return utf16.encode(text);
    }
    QByteArray bytes = m_bom ? QByteArray("\xEF\xBB\xBF") : QByteArray();
    return bytes + text.toUtf8();
}

bool IniFile::save(QString* errorText) const
{
    const QByteArray bytes = serialize();
    // The file may hold a password: a new one is its owner's only; an existing one keeps
    // its permissions (the temporary file takes them over).
    const bool created = !QFileInfo::exists(m_path);
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) ||
        (created && !file.setPermissions(QFile::ReadOwner | QFile::WriteOwner)) ||
        file.write(bytes) != bytes.size() || !file.commit()) {
        if (errorText)
            *errorText = file.errorString();
        return false;
    }
    return true;
}

} // namespace base
