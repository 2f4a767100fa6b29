#include "base/settings.h"

#include "base/inifile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

using namespace Qt::Literals::StringLiterals;

#ifdef Q_OS_WIN
// Qt's switch for reading NTFS access lists in QFileInfo::permissions().
extern Q_CORE_EXPORT int qt_ntfs_permission_lookup;
#endif

namespace base {

QString settingsFilePath(const QString& programPath)
{
    const QFileInfo info(programPath);
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString base = dot > 0 ? name.left(dot) : name;
    return info.dir().filePath(base + u".INI"_s);
}

QString defaultDatabasePath(const QString& programDir)
{
    QString dir = QDir::cleanPath(programDir);
    const qsizetype slash = dir.lastIndexOf(u'/');
    if (slash > 0)
        dir = dir.left(slash);
    else if (slash == 0 && dir.size() > 1)
        dir = QString();
    if (dir.endsWith(u'/'))
        dir.chop(1);
    return dir + u"/data/sprrate.gdb"_s;
}

Settings readSettings(const QString& iniPath, const QString& defaultDatabase, QString* problem)
{
    Settings s;
    IniFile ini(iniPath);
    if (!ini.load(problem))
        return s;
    const auto text = [&](QStringView k, QStringView d) {
        return ini.readString(section::Main, k, d.toString());
    };
    s.fareRegExp = text(key::FareRegExp, defaults::FareRegExp);
    s.equivRegExp = text(key::EquivRegExp, defaults::EquivRegExp);
    s.taxRegExp = text(key::TaxRegExp, defaults::TaxRegExp);
    s.windowPosition = QPoint(
        ini.readInteger(section::Window, key::Left, defaults::MainWindowPosition.x()),
        ini.readInteger(section::Window, key::Top, defaults::MainWindowPosition.y()));
    s.segmentFv = text(key::SegmentFv, defaults::SegmentFv);
    s.elementFv = text(key::ElementFv, defaults::ElementFv);
    // Codes are upper case, as the list windows make them.
    s.currencyTo = text(key::CurrencyTo, defaults::CurrencyTo).toUpper().left(3);
    s.getTaxBsr = ini.readBool(section::Main, key::GetTaxBsr, defaults::GetTaxBsr);
    s.getTaxOrgCurrency =
        ini.readBool(section::Main, key::GetTaxOrgCurrency, defaults::GetTaxOrgCurrency);
    s.fareMask = text(key::FareMask, defaults::FareMask);
    s.taxMask = text(key::TaxMask, defaults::TaxMask);
    s.replaceFare = ini.readBool(section::Main, key::ReplaceFare, defaults::ReplaceFare);
    s.database = ini.readString(section::Main, key::Database, defaultDatabase);
    s.userName = text(key::UserName, defaults::UserName);
    s.password = text(key::Password, defaults::Password);
    s.role = text(key::Role, {});
    s.refusalRegExp = text(key::RefusalRegExp, defaults::RefusalRegExp);
    const int limit = ini.readInteger(section::Main, key::HostTimeLimit, defaults::HostTimeLimit);
    s.hostTimeLimit = limit >= 1 ? limit : defaults::HostTimeLimit;
    s.hostLink = hostLinkFromText(text(key::HostLink, {}));
    const int dbTimeout = ini.readInteger(section::Main, key::DbTimeout, defaults::DbTimeout);
    s.dbTimeout = dbTimeout >= 1 && dbTimeout <= 3600 ? dbTimeout : defaults::DbTimeout;
    const int journal = ini.readInteger(section::Main, key::JournalSize, defaults::JournalSize);
    s.journalSize = journal >= 1 && journal <= defaults::MaxJournalSize ? journal
                                                                        : defaults::JournalSize;
    return s;
}

HostLinkKind hostLinkFromText(QStringView text)
{
#ifdef Q_OS_WIN
    const QStringView t = text.trimmed();
    if (t.compare(value::Com, Qt::CaseInsensitive) == 0)
        return HostLinkKind::Com;
    if (t.compare(value::Socket, Qt::CaseInsensitive) == 0)
        return HostLinkKind::Socket;
#else
    Q_UNUSED(text);
#endif
    return defaults::HostLink;
}

bool isServerLocation(const QString& database)
{
    // A one-letter prefix is a drive ("C:\\..."), not a host.
    static const QRegularExpression server(
        u"^([A-Za-z0-9_.-]{2,}|[A-Za-z0-9_.-]+/[A-Za-z0-9_]+):."_s);
    return server.match(database).hasMatch();
}

QString exposedPasswordWarning(const QString& iniPath)
{
    IniFile ini(iniPath);
    if (!ini.load() || ini.readString(section::Main, key::Password, {}).isEmpty() ||
        !isServerLocation(ini.readString(section::Main, key::Database, {})))
        return {};
    const QFileInfo info(iniPath);
    if (!info.exists())
        return {};
#ifdef Q_OS_WIN
    // Qt reads the file's access list only when asked; without it every file looks
    // readable by all.
    ++qt_ntfs_permission_lookup;
    const QFile::Permissions permissions = info.permissions();
    --qt_ntfs_permission_lookup;
    const QString remedy = u"remove the other users and groups from the file's Security "
                           u"properties (%1)"_s;
#else
    const QFile::Permissions permissions = info.permissions();
    const QString remedy = u"chmod 600 %1"_s;
#endif
    if (!(permissions & (QFile::ReadGroup | QFile::ReadOther)))
        return {};
    const QString file = QDir::toNativeSeparators(info.absoluteFilePath());
    return u"The settings file \"%1\" holds the password of the database server and other "
           u"users of this computer can read it. Make it readable by you only: "_s.arg(file) +
           remedy.arg(file);
}

bool writeSetupSettings(const QString& iniPath, const Settings& s, QString* errorText)
{
    IniFile ini(iniPath);
    if (!ini.loadForUpdate(errorText))
        return false;
    ini.writeString(section::Main, key::FareRegExp, s.fareRegExp);
    ini.writeString(section::Main, key::EquivRegExp, s.equivRegExp);
    ini.writeString(section::Main, key::TaxRegExp, s.taxRegExp);
    ini.writeString(section::Main, key::SegmentFv, s.segmentFv);
    ini.writeString(section::Main, key::ElementFv, s.elementFv);
    ini.writeString(section::Main, key::CurrencyTo, s.currencyTo);
    ini.writeBool(section::Main, key::GetTaxBsr, s.getTaxBsr);
    ini.writeBool(section::Main, key::GetTaxOrgCurrency, s.getTaxOrgCurrency);
    ini.writeString(section::Main, key::FareMask, s.fareMask);
    ini.writeString(section::Main, key::TaxMask, s.taxMask);
    return ini.save(errorText);
}

QPoint readWindowPosition(const QString& iniPath, QStringView section, QPoint designed)
{
    IniFile ini(iniPath);
    if (!ini.load())
        return designed;
    return QPoint(ini.readInteger(section, key::Left, designed.x()),
                  ini.readInteger(section, key::Top, designed.y()));
}

bool writeWindowPosition(const QString& iniPath, QStringView section, QPoint position,
                         QString* errorText)
{
    IniFile ini(iniPath);
    if (!ini.loadForUpdate(errorText))
        return false;
    ini.writeInteger(section, key::Left, position.x());
    ini.writeInteger(section, key::Top, position.y());
    return ini.save(errorText);
}

RateFilter readRateFilter(const QString& iniPath)
{
    RateFilter f;
    IniFile ini(iniPath);
    if (!ini.load())
        return f;
    f.from = ini.readString(section::Main, key::From, f.from);
    f.to = ini.readString(section::Main, key::To, f.to);
    f.carrier = ini.readString(section::Main, key::Carrier, f.carrier);
    return f;
}

bool writeRateWindow(const QString& iniPath, QPoint position, const RateFilter& filter,
                     QString* errorText)
{
    IniFile ini(iniPath);
    if (!ini.loadForUpdate(errorText))
        return false;
    ini.writeInteger(section::RateWindow, key::Left, position.x());
    ini.writeInteger(section::RateWindow, key::Top, position.y());
    ini.writeString(section::Main, key::From, filter.from);
    ini.writeString(section::Main, key::To, filter.to);
    ini.writeString(section::Main, key::Carrier, filter.carrier);
    return ini.save(errorText);
}

} // namespace base
