// The settings file beside the program: its location, every key with its section and
// default, the values the main window holds, and the writes of the windows.
#pragma once

#include <QPoint>
#include <QString>

namespace base {

namespace section {
inline constexpr QStringView Main = u"MAIN";
inline constexpr QStringView Window = u"WINDOW";
inline constexpr QStringView RateWindow = u"RATEWINDOW";
inline constexpr QStringView CurrencyWindow = u"CURRENCYWINDOW";
inline constexpr QStringView ProviderWindow = u"PROVIDERWINDOW";
inline constexpr QStringView TaxWindow = u"TAXWINDOW";
inline constexpr QStringView HistoryWindow = u"HISTORYWINDOW";
} // namespace section

namespace key {
inline constexpr QStringView FareRegExp = u"FAREREGEXP";
inline constexpr QStringView EquivRegExp = u"EQUIVREGEXP";
inline constexpr QStringView TaxRegExp = u"TAXREGEXP";
inline constexpr QStringView SegmentFv = u"SEGMENTFV";
inline constexpr QStringView ElementFv = u"ELEMENTFV";
inline constexpr QStringView CurrencyTo = u"CURRENCYTO";
inline constexpr QStringView GetTaxBsr = u"GETTAXBSR";
inline constexpr QStringView GetTaxOrgCurrency = u"GETTAXORGCURRENCY";
inline constexpr QStringView FareMask = u"FAREMASK";
inline constexpr QStringView TaxMask = u"TAXMASK";
inline constexpr QStringView ReplaceFare = u"REPLACEFARE";
inline constexpr QStringView Database = u"DATABASE";
inline constexpr QStringView UserName = u"USERNAME";
inline constexpr QStringView Password = u"PASSWORD";
inline constexpr QStringView Role = u"ROLE";
inline constexpr QStringView DbTimeout = u"DBTIMEOUT";
inline constexpr QStringView Left = u"LEFT";
inline constexpr QStringView Top = u"TOP";
inline constexpr QStringView From = u"FROM";
inline constexpr QStringView To = u"TO";
inline constexpr QStringView Carrier = u"CARRIER";
inline constexpr QStringView RefusalRegExp = u"REFUSALREGEXP";
inline constexpr QStringView HostTimeLimit = u"HOSTTIMELIMIT";
inline constexpr QStringView HostLink = u"HOSTLINK";
inline constexpr QStringView JournalSize = u"JOURNALSIZE";
} // namespace key

// The defaults of the file's keys.
namespace defaults {
inline constexpr QStringView FareRegExp =
    u"([FARE]{4}\\s{2}[A-Z][ ][A-Z]{3}\\s{1,10}\\d{1,8}[.]{0,1}\\d{0,8})";
inline constexpr QStringView EquivRegExp =
    u"([EQUIV]{5}\\s{3}[A-Z]{3}\\s{1,10}\\d{1,8}[.]{0,1}\\d{0,8})";
inline constexpr QStringView TaxRegExp =
    u"([TAX]{2,3}\\d{2,3}[ ][A-Z][ ][A-Z]{3}\\s{1,10}\\d{1,8}[.]{0,1}\\d{0,8}[A-Z]{2,4})";
inline constexpr QStringView SegmentFv = u"(\\s{2}[1]\\s{3}[A-Z]{3}\\s{1}[A-Z,0-9]{2}[ ])";
inline constexpr QStringView ElementFv = u"(\\s{1,2}\\d{1,2}[.][F][V]\\s{1}[A-Z,0-9]{2})";
inline constexpr QStringView CurrencyTo = u"RUB";
inline constexpr bool GetTaxBsr = false;
inline constexpr bool GetTaxOrgCurrency = false;
inline constexpr QStringView FareMask = u"0.00";
inline constexpr QStringView TaxMask = u"0.00";
inline constexpr bool ReplaceFare = true;
inline constexpr QStringView UserName = u"sysdba";
inline constexpr QStringView Password = u"lanternix";
// Seconds a database action may wait for the server; a value outside 1 to 3600 is this.
inline constexpr int DbTimeout = 15;
inline constexpr QPoint MainWindowPosition{376, 169};
// The host's answer to an update command that says it was refused.
inline constexpr QStringView RefusalRegExp = u"(INVALID|CHECK FORMAT|NOT ALLOWED|RESTRICTED)";
inline constexpr int HostTimeLimit = 30; // seconds
// The size in megabytes at which the conversion journal starts a new file; a value
// outside 1 to 100 is this.
inline constexpr int JournalSize = 10;
inline constexpr int MaxJournalSize = 100;
} // namespace defaults

// How the program reaches the terminal. On Windows the terminal's own automation toolkit
// (COM objects created by their ProgIDs) is the default, and velmora-term's local socket
// can be chosen for training; elsewhere the socket is the only link and the key is not
// read. In the file: HOSTLINK=COM or HOSTLINK=SOCKET (any other value: the default).
enum class HostLinkKind { Com, Socket };
namespace value {
inline constexpr QStringView Com = u"COM";
inline constexpr QStringView Socket = u"SOCKET";
} // namespace value
namespace defaults {
#ifdef Q_OS_WIN
inline constexpr HostLinkKind HostLink = HostLinkKind::Com;
#else
inline constexpr HostLinkKind HostLink = HostLinkKind::Socket;
#endif
} // namespace defaults
// The link a HOSTLINK value names on this platform (blank and case do not matter).
HostLinkKind hostLinkFromText(QStringView text);

// The values the main window holds while the program runs. The member initialisers
// are the values before the file is read: a reading that fails part-way leaves the
// rest of them so.
struct Settings {
    QString fareRegExp;
    QString equivRegExp;
    QString taxRegExp;
    QString segmentFv;
    QString elementFv;
    QString currencyTo = QStringLiteral("RUB"); // at most 3 characters
    bool getTaxBsr = false;
    bool getTaxOrgCurrency = false;
    QString fareMask;
    QString taxMask;
    bool replaceFare = false;
    QString database;
    QString userName;
    QString password;
    QString role; // the SQL role of the attachment; empty: none
    int dbTimeout = defaults::DbTimeout; // seconds
    QPoint windowPosition = defaults::MainWindowPosition;
    // Empty: the answers to the update commands are not examined.
    QString refusalRegExp;
    // How long one host command may wait for its answer, in seconds (at least 1).
    int hostTimeLimit = defaults::HostTimeLimit;
    HostLinkKind hostLink = defaults::HostLink;
    int journalSize = defaults::JournalSize; // megabytes
};

// The settings file of a program: its path with the extension replaced by ".INI"
// (appended when the file name has none).
QString settingsFilePath(const QString& programPath);

// The default database location of a program in programDir: "data/sprrate.gdb" in the
// parent of that folder (in the folder itself when it has no parent).
QString defaultDatabasePath(const QString& programDir);

// Reads every key, in the start-up order, with its default; defaultDatabase is the
// default of DATABASE. A file that cannot be read leaves the initial values and, when
// problem is given, sets it to what is wrong with the file.
Settings readSettings(const QString& iniPath, const QString& defaultDatabase,
                      QString* problem = nullptr);

// True for a database location on a server ("host:path", "host/port:path").
bool isServerLocation(const QString& database);

// The warning for a settings file that others than its owner can read while it holds a
// PASSWORD for a server location (what is wrong, how to mend it); empty otherwise.
QString exposedPasswordWarning(const QString& iniPath);

// The writes below read the file, change their keys and save it under the file's lock,
// keeping the rest of the file; on failure they return false and, when given, set
// errorText.

// Writes the keys the setup dialog owns, in their order.
bool writeSetupSettings(const QString& iniPath, const Settings& s, QString* errorText = nullptr);

// A window's remembered position in its own section ("LEFT", "TOP").
QPoint readWindowPosition(const QString& iniPath, QStringView section, QPoint designed);
bool writeWindowPosition(const QString& iniPath, QStringView section, QPoint position,
                         QString* errorText = nullptr);

// The rate list's remembered filter ("FROM", "TO", "CARRIER" of "MAIN").
struct RateFilter {
    QString from = QStringLiteral("USD");
    QString to = QStringLiteral("RUB");
    QString carrier = QStringLiteral("SU");
};
RateFilter readRateFilter(const QString& iniPath);
// Writes the position of the rate list and then its filter, in that order.
bool writeRateWindow(const QString& iniPath, QPoint position, const RateFilter& filter,
                     QString* errorText = nullptr);

} // namespace base
