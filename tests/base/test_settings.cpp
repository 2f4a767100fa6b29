#include "base/filelocations.h"
#include "base/inifile.h"
#include "base/settings.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QLockFile>
#include <QStringEncoder>
#include <QTemporaryDir>

#include "support/unprivileged.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace base;

namespace {

QString q(const char16_t* s) { return QString::fromUtf16(s); }

class IniFixture : public testing::Test {
protected:
    QString path(const QString& name = QStringLiteral("sprrate.INI")) const
    {
        return dir.filePath(name);
    }
    void writeFile(const QByteArray& bytes, const QString& name = QStringLiteral("sprrate.INI"))
    {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray readFile(const QString& name = QStringLiteral("sprrate.INI")) const
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QTemporaryDir dir;
};

using testsupport::runUnprivileged;

} // namespace

TEST(SettingsFilePath, ReplacesOrAppendsTheExtension)
{
    EXPECT_EQ(settingsFilePath(q(u"/opt/conv/bin/sprrate")), q(u"/opt/conv/bin/sprrate.INI"));
    EXPECT_EQ(settingsFilePath(q(u"/opt/conv/bin/SPRRate.exe")), q(u"/opt/conv/bin/SPRRate.INI"));
    EXPECT_EQ(settingsFilePath(q(u"/opt/v1.4/sprrate")), q(u"/opt/v1.4/sprrate.INI"));
}

TEST(DefaultDatabasePath, DataFolderBesideTheProgramFolder)
{
    EXPECT_EQ(defaultDatabasePath(q(u"/opt/conv/bin")), q(u"/opt/conv/data/sprrate.gdb"));
    EXPECT_EQ(defaultDatabasePath(q(u"/opt/conv/bin/")), q(u"/opt/conv/data/sprrate.gdb"));
    EXPECT_EQ(defaultDatabasePath(q(u"/bin")), q(u"/data/sprrate.gdb"));
    EXPECT_EQ(defaultDatabasePath(q(u"/")), q(u"/data/sprrate.gdb"));
}

// Where the settings and the database are for a program in a folder that the user can
// or cannot write, with or without its settings file beside it.
struct LocationCase {
    const char* name;
    bool iniBeside;
    bool folderWritable;
    bool perUser;
};

class FileLocationsTest : public testing::TestWithParam<LocationCase> {};

TEST_P(FileLocationsTest, BesideTheProgramWhereItsFileIsOrCanBe)
{
    const LocationCase& c = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString root = dir.path();
    const QString bin = root + q(u"/opt/sprrate/bin");
    ASSERT_TRUE(QDir().mkpath(bin));
    if (c.iniBeside) {
        QFile f(bin + q(u"/sprrate.INI"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    ASSERT_EQ(chmod(QFile::encodeName(root).constData(), 0755), 0);
    ASSERT_EQ(chmod(QFile::encodeName(bin).constData(), c.folderWritable ? 0777 : 0555), 0);

    const int result = runUnprivileged([&] {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(root + q(u"/home/.config")));
        qputenv("XDG_DATA_HOME", QFile::encodeName(root + q(u"/home/.local/share")));
        const FileLocations at = fileLocations(bin + q(u"/sprrate"));
        if (at.perUser != c.perUser)
            return 2;
        const FileLocations expected =
            c.perUser ? FileLocations{root + q(u"/home/.config/sprrate/sprrate.INI"),
                                      root + q(u"/home/.local/share/sprrate/sprrate.gdb"),
                                      root + q(u"/home/.local/share/sprrate/sprrate-journal.jsonl"),
                                      true}
                      : FileLocations{bin + q(u"/sprrate.INI"),
                                      root + q(u"/opt/sprrate/data/sprrate.gdb"),
                                      c.folderWritable
                                          ? bin + q(u"/sprrate-journal.jsonl")
                                          : root + q(u"/home/.local/share/sprrate/sprrate-journal.jsonl"),
                                      false};
        if (at.settingsFile != expected.settingsFile)
            return 3;
        if (at.journalFile != expected.journalFile)
            return 5;
        return at.defaultDatabase == expected.defaultDatabase ? 0 : 4;
    });
    chmod(QFile::encodeName(bin).constData(), 0755);
    EXPECT_EQ(result, 0) << "2: per-user or not, 3: settings file, 4: database, 5: journal";
}

INSTANTIATE_TEST_SUITE_P(
    Folders, FileLocationsTest,
    testing::Values(LocationCase{"PortableFolder", false, true, false},
                    LocationCase{"FileBesideAReadOnlyProgram", true, false, false},
                    LocationCase{"InstalledReadOnly", false, false, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(IniFixture, MissingFileGivesEveryDefault)
{
    const Settings s = readSettings(path(), q(u"/db/sprrate.gdb"));
    EXPECT_EQ(s.fareRegExp, q(uR"(([FARE]{4}\s{2}[A-Z][ ][A-Z]{3}\s{1,10}\d{1,8}[.]{0,1}\d{0,8}))"));
    EXPECT_EQ(s.equivRegExp, q(uR"(([EQUIV]{5}\s{3}[A-Z]{3}\s{1,10}\d{1,8}[.]{0,1}\d{0,8}))"));
    EXPECT_EQ(s.taxRegExp,
              q(uR"(([TAX]{2,3}\d{2,3}[ ][A-Z][ ][A-Z]{3}\s{1,10}\d{1,8}[.]{0,1}\d{0,8}[A-Z]{2,4}))"));
    EXPECT_EQ(s.segmentFv, q(uR"((\s{2}[1]\s{3}[A-Z]{3}\s{1}[A-Z,0-9]{2}[ ]))"));
    EXPECT_EQ(s.elementFv, q(uR"((\s{1,2}\d{1,2}[.][F][V]\s{1}[A-Z,0-9]{2}))"));
    EXPECT_EQ(s.currencyTo, q(u"RUB"));
    EXPECT_FALSE(s.getTaxBsr);
    EXPECT_FALSE(s.getTaxOrgCurrency);
    EXPECT_EQ(s.fareMask, q(u"0.00"));
    EXPECT_EQ(s.taxMask, q(u"0.00"));
    EXPECT_TRUE(s.replaceFare);
    EXPECT_EQ(s.database, q(u"/db/sprrate.gdb"));
    EXPECT_EQ(s.userName, q(u"sysdba"));
    EXPECT_EQ(s.password, q(u"lanternix"));
    EXPECT_EQ(s.windowPosition, QPoint(376, 169));
    EXPECT_EQ(s.refusalRegExp, q(u"(INVALID|CHECK FORMAT|NOT ALLOWED|RESTRICTED)"));
    EXPECT_EQ(s.hostTimeLimit, 30);
    EXPECT_FALSE(QFile::exists(path())) << "reading must not create the file";
}

TEST_F(IniFixture, ReadsTypedValuesRawAndNamesWithoutCase)
{
    writeFile("; settings of the converter\r\n"
              "[main]\r\n"
              "FareRegExp=([FARE]{4}\\s{2}\"x\"'y'\\\\)\r\n"
              "currencyto=EURO\r\n"
              "TAXMASK=\r\n"
              "GETTAXBSR=7\r\n"
              "GetTaxOrgCurrency=-1\r\n"
              "REPLACEFARE=0\r\n"
              "  FAREMASK  =  0.0  \r\n"
              "DATABASE=srv/3050:/var/db/sprrate.gdb\r\n"
              "[Window]\r\n"
              "left=-20\r\n"
              "TOP=abc\r\n");
    const Settings s = readSettings(path(), q(u"/db/default.gdb"));
    EXPECT_EQ(s.fareRegExp, q(u"([FARE]{4}\\s{2}\"x\"'y'\\\\)"));
    EXPECT_EQ(s.currencyTo, q(u"EUR")) << "the first three characters are kept";
    EXPECT_EQ(s.taxMask, QString()) << "a present empty value is not the default";
    EXPECT_TRUE(s.taxMask.isEmpty());
    EXPECT_EQ(s.fareMask, q(u"0.0"));
    EXPECT_TRUE(s.getTaxBsr);
    EXPECT_TRUE(s.getTaxOrgCurrency);
    EXPECT_FALSE(s.replaceFare);
    EXPECT_EQ(s.database, q(u"srv/3050:/var/db/sprrate.gdb"));
    EXPECT_EQ(s.equivRegExp, defaults::EquivRegExp) << "a missing key is its default";
    EXPECT_EQ(s.windowPosition, QPoint(-20, 169)) << "a value that is no integer is the default";
}

TEST_F(IniFixture, EmptyRefusalPatternIsKept)
{
    writeFile("[MAIN]\r\nREFUSALREGEXP=\r\n");
    EXPECT_EQ(readSettings(path(), QString()).refusalRegExp, QString())
        << "empty: the answers to the update commands are not examined";
}

// The host time limit in seconds; a value that is no whole number of at least 1 second
// would leave no time for any answer.
TEST_F(IniFixture, HostTimeLimitOfAtLeastOneSecond)
{
    const struct {
        const char* line;
        int seconds;
    } cases[] = {{"HOSTTIMELIMIT=90", 90}, {"HOSTTIMELIMIT=1", 1}, {"HOSTTIMELIMIT=0", 30},
                 {"HOSTTIMELIMIT=-5", 30}, {"HOSTTIMELIMIT=ten", 30}, {"", 30}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        writeFile(QByteArray("[MAIN]\r\n") + c.line + "\r\n");
        EXPECT_EQ(readSettings(path(), QString()).hostTimeLimit, c.seconds);
    }
}

// The link to the terminal: on Windows the toolkit's COM objects unless HOSTLINK=SOCKET
// chooses velmora-term; elsewhere velmora-term's socket whatever the file says.
TEST_F(IniFixture, HostLinkChoice)
{
    const struct {
        const char* line;
        HostLinkKind onWindows;
    } cases[] = {{"HOSTLINK=COM", HostLinkKind::Com},       {"HOSTLINK=SOCKET", HostLinkKind::Socket},
                 {"HOSTLINK= socket ", HostLinkKind::Socket}, {"HOSTLINK=com", HostLinkKind::Com},
                 {"HOSTLINK=PIPE", HostLinkKind::Com},       {"HOSTLINK=", HostLinkKind::Com},
                 {"", HostLinkKind::Com}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        writeFile(QByteArray("[MAIN]\r\n") + c.line + "\r\n");
#ifdef Q_OS_WIN
        const HostLinkKind expected = c.onWindows;
#else
        const HostLinkKind expected = HostLinkKind::Socket;
#endif
        EXPECT_EQ(readSettings(path(), QString()).hostLink, expected);
    }
}

struct BoolCase {
    const char* line; // empty: no key at all
    bool defaultValue;
    bool expected;
};

class IniBoolTest : public IniFixture, public testing::WithParamInterface<BoolCase> {};

TEST_P(IniBoolTest, AnyNonZeroIntegerIsTrue)
{
    writeFile(QByteArray("[MAIN]\n") + GetParam().line + "\n");
    IniFile ini(path());
    ASSERT_TRUE(ini.load());
    EXPECT_EQ(ini.readBool(u"MAIN", u"FLAG", GetParam().defaultValue), GetParam().expected)
        << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(Cases, IniBoolTest,
                         testing::Values(BoolCase{"FLAG=1", false, true},
                                         BoolCase{"FLAG=0", true, false},
                                         BoolCase{"FLAG=2", false, true},
                                         BoolCase{"FLAG=-5", false, true},
                                         BoolCase{"FLAG= 1", false, true},
                                         BoolCase{"FLAG=", true, true},
                                         BoolCase{"FLAG=", false, false},
                                         BoolCase{"FLAG=yes", false, false},
                                         BoolCase{"FLAG=true", true, true},
                                         BoolCase{"FLAG=0 ; off", true, true},
                                         BoolCase{"", true, true}));

struct RangedCase {
    const char* line; // empty: no key at all
    int Settings::*value;
    int expected;
};

class RangedIntegerTest : public IniFixture, public testing::WithParamInterface<RangedCase> {};

// The keys that take a number within a range, both sides of it; outside it the default
// holds: the database time limit (seconds, 1 to 3600) and the journal's size (megabytes,
// 1 to 100).
TEST_P(RangedIntegerTest, OutsideItsRangeTheDefaultHolds)
{
    writeFile(QByteArray("[MAIN]\n") + GetParam().line + "\n");
    EXPECT_EQ(readSettings(path(), q(u"/db/sprrate.gdb")).*GetParam().value, GetParam().expected)
        << GetParam().line;
}

constexpr auto timeout = &Settings::dbTimeout;
constexpr auto journal = &Settings::journalSize;
INSTANTIATE_TEST_SUITE_P(Cases, RangedIntegerTest,
                         testing::Values(RangedCase{"", timeout, 15},
                                         RangedCase{"DBTIMEOUT=1", timeout, 1},
                                         RangedCase{"DBTIMEOUT=0", timeout, 15},
                                         RangedCase{"DBTIMEOUT=-3", timeout, 15},
                                         RangedCase{"dbtimeout= 60", timeout, 60},
                                         RangedCase{"DBTIMEOUT=3600", timeout, 3600},
                                         RangedCase{"DBTIMEOUT=3601", timeout, 15},
                                         RangedCase{"DBTIMEOUT=soon", timeout, 15},
                                         RangedCase{"", journal, 10},
                                         RangedCase{"JOURNALSIZE=1", journal, 1},
                                         RangedCase{"JOURNALSIZE=100", journal, 100},
                                         RangedCase{"JOURNALSIZE=0", journal, 10},
                                         RangedCase{"JOURNALSIZE=101", journal, 10},
                                         RangedCase{"JOURNALSIZE=25MB", journal, 10}));

TEST_F(IniFixture, ValuesAreCutAt2047Characters)
{
    const QByteArray longValue(3000, 'x');
    writeFile("[MAIN]\nFAREREGEXP=" + longValue + "\n");
    const Settings s = readSettings(path(), QString());
    EXPECT_EQ(s.fareRegExp.size(), 2047);
}

TEST_F(IniFixture, FirstSectionAndKeyWin)
{
    writeFile("[MAIN]\nTAXMASK=0.0\nTAXMASK=0\n[OTHER]\nFAREMASK=#\n[MAIN]\nFAREMASK=0.000\n");
    IniFile ini(path());
    ASSERT_TRUE(ini.load());
    EXPECT_EQ(ini.readString(u"MAIN", u"TAXMASK", QString()), q(u"0.0"));
    EXPECT_EQ(ini.readString(u"main", u"FAREMASK", q(u"dflt")), q(u"dflt"));
    EXPECT_EQ(ini.readString(u"OTHER", u"FAREMASK", QString()), q(u"#"));
}

TEST_F(IniFixture, KeysOutsideTheirSectionAndCommentsAreNotRead)
{
    writeFile("CURRENCYTO=USD\n[MAIN]\n;CURRENCYTO=EUR\nnot a key line\n");
    const Settings s = readSettings(path(), QString());
    EXPECT_EQ(s.currencyTo, q(u"RUB"));
}

TEST_F(IniFixture, SetupWriteKeepsForeignSectionsCommentsAndOrder)
{
    const QByteArray before = "; written by hand\r\n"
                              "[OTHERTOOL]\r\n"
                              "Path=C:\\Tools\\x.exe\r\n"
                              "\r\n"
                              "[MAIN]\r\n"
                              "; the target currency\r\n"
                              "CURRENCYTO=USD\r\n"
                              "DATABASE=/var/db/a.gdb\r\n"
                              "USERNAME=agent\r\n"
                              "\r\n"
                              "[WINDOW]\r\n"
                              "LEFT=10\r\n"
                              "TOP=20\r\n";
    writeFile(before);
    Settings s = readSettings(path(), QString());
    s.currencyTo = q(u"EUR");
    s.fareRegExp = q(u"(\\d{1,8}[.]{0,1})");
    s.getTaxBsr = true;
    ASSERT_TRUE(writeSetupSettings(path(), s));

    const QByteArray after = readFile();
    EXPECT_TRUE(after.startsWith("; written by hand\r\n[OTHERTOOL]\r\nPath=C:\\Tools\\x.exe\r\n\r\n"
                                 "[MAIN]\r\n; the target currency\r\nCURRENCYTO=EUR\r\n"
                                 "DATABASE=/var/db/a.gdb\r\nUSERNAME=agent\r\n"))
        << after.toStdString();
    EXPECT_TRUE(after.endsWith("\r\n\r\n[WINDOW]\r\nLEFT=10\r\nTOP=20\r\n")) << after.toStdString();
    EXPECT_FALSE(after.contains("\r\r") || after.contains("\n\n\n"));

    const Settings again = readSettings(path(), QString());
    EXPECT_EQ(again.currencyTo, q(u"EUR"));
    EXPECT_EQ(again.fareRegExp, q(u"(\\d{1,8}[.]{0,1})"));
    EXPECT_TRUE(again.getTaxBsr);
    EXPECT_FALSE(again.getTaxOrgCurrency);
    EXPECT_EQ(again.database, q(u"/var/db/a.gdb"));
    EXPECT_EQ(again.userName, q(u"agent"));
    EXPECT_EQ(again.windowPosition, QPoint(10, 20));
    // The new keys follow the section's last line, in the order of the dialog.
    const qsizetype user = after.indexOf("USERNAME=agent");
    const qsizetype fare = after.indexOf("FAREREGEXP=");
    const qsizetype mask = after.indexOf("TAXMASK=");
    EXPECT_LT(user, fare);
    EXPECT_LT(fare, mask);
    EXPECT_LT(mask, after.indexOf("[WINDOW]"));
    EXPECT_TRUE(after.contains("GETTAXBSR=1\r\nGETTAXORGCURRENCY=0\r\n"));
}

TEST_F(IniFixture, FirstWriteCreatesTheFile)
{
    ASSERT_TRUE(writeWindowPosition(path(), section::Window, QPoint(5, -3)));
    EXPECT_EQ(readFile(), QByteArray("[WINDOW]\nLEFT=5\nTOP=-3\n"));
    EXPECT_EQ(readWindowPosition(path(), section::Window, QPoint(1, 1)), QPoint(5, -3));
    EXPECT_EQ(readWindowPosition(path(), section::RateWindow, QPoint(264, 206)),
              QPoint(264, 206));
}

TEST_F(IniFixture, WrittenValueIsOneLine)
{
    IniFile ini(path());
    ASSERT_TRUE(ini.load());
    ini.writeString(u"MAIN", u"TAXMASK", q(u"0.00\r\n[EVIL]\r\nX=1"));
    ASSERT_TRUE(ini.save());
    EXPECT_EQ(readFile(), QByteArray("[MAIN]\nTAXMASK=0.00\n"));
}

TEST_F(IniFixture, RateWindowWritesPositionThenFilter)
{
    writeFile("[MAIN]\nCURRENCYTO=RUB\n");
    EXPECT_EQ(readRateFilter(path()).from, q(u"USD"));
    EXPECT_EQ(readRateFilter(path()).carrier, q(u"SU"));
    ASSERT_TRUE(writeRateWindow(path(), QPoint(300, 200), {q(u"EUR"), q(u"RUB"), q(u"")}));
    const RateFilter f = readRateFilter(path());
    EXPECT_EQ(f.from, q(u"EUR"));
    EXPECT_EQ(f.to, q(u"RUB"));
    EXPECT_EQ(f.carrier, QString());
    EXPECT_EQ(readWindowPosition(path(), section::RateWindow, QPoint()), QPoint(300, 200));
    EXPECT_EQ(readSettings(path(), QString()).currencyTo, q(u"RUB"));
}

TEST_F(IniFixture, CyrillicFileInTheWindowsCodePageStaysSo)
{
    // "[MAIN]\nNOTE=<Cyrillic>\n" in Windows-1251.
    writeFile("[MAIN]\nNOTE=\xCA\xF3\xF0\xF1\n");
    IniFile ini(path());
    ASSERT_TRUE(ini.load());
    EXPECT_EQ(ini.readString(u"MAIN", u"NOTE", QString()), q(u"\u041a\u0443\u0440\u0441"));
    ini.writeString(u"MAIN", u"TAXMASK", q(u"0"));
    ASSERT_TRUE(ini.save());
    EXPECT_EQ(readFile(), QByteArray("[MAIN]\nNOTE=\xCA\xF3\xF0\xF1\nTAXMASK=0\n"));

    // A character the code page lacks (an e with acute) turns the file into UTF-8
    // rather than a "?".
    ini.writeString(u"MAIN", u"TAXMASK", q(u"\u00e90"));
    ASSERT_TRUE(ini.save());
    EXPECT_TRUE(readFile().contains("TAXMASK=\xC3\xA9" "0"));
    IniFile again(path());
    ASSERT_TRUE(again.load());
    EXPECT_EQ(again.readString(u"MAIN", u"NOTE", QString()), q(u"\u041a\u0443\u0440\u0441"));
    EXPECT_EQ(again.readString(u"MAIN", u"TAXMASK", QString()), q(u"\u00e90"));
}

TEST_F(IniFixture, CodePageFileWhoseOtherBytesLookLikeUtf8KeepsItsValues)
{
    // Windows-1251 where "\xD0\x86" (Cyrillic Er, dagger) is also valid UTF-8; only the
    // overwritten value's "\x8D" told the code page. The other value must read back as it
    // was, not as the one UTF-8 letter those two bytes also make.
    writeFile("[MAIN]\r\nNOTE=\xD0\x86S\r\n[RATEWINDOW]\r\nLEFT=264\x8D\r\n");
    IniFile ini(path());
    ASSERT_TRUE(ini.load());
    ASSERT_EQ(ini.readString(u"MAIN", u"NOTE", QString()), q(u"\u0420\u2020S"));
    ini.writeString(u"RATEWINDOW", u"LEFT", q(u"300"));
    ASSERT_TRUE(ini.save());
    IniFile again(path());
    ASSERT_TRUE(again.load());
    EXPECT_EQ(again.readString(u"MAIN", u"NOTE", QString()), q(u"\u0420\u2020S"));
    EXPECT_EQ(again.readInteger(u"RATEWINDOW", u"LEFT", 0), 300);
}

TEST_F(IniFixture, StrayCarriageReturnIsABlank)
{
    // A file cut after a carriage return: the number is still read, and a section added
    // after it (which puts a line feed behind that return) does not change it.
    writeFile("[WINDOW]\nLEFT=561\r");
    IniFile ini(path());
    ASSERT_TRUE(ini.load());
    EXPECT_EQ(ini.readInteger(u"WINDOW", u"LEFT", 0), 561);
    ini.writeString(u"MAIN", u"TAXMASK", q(u"0"));
    ASSERT_TRUE(ini.save());
    IniFile again(path());
    ASSERT_TRUE(again.load());
    EXPECT_EQ(again.readString(u"WINDOW", u"LEFT", QString()), q(u"561"));
    EXPECT_EQ(again.readString(u"MAIN", u"TAXMASK", QString()), q(u"0"));
}

TEST_F(IniFixture, BinaryFileReadsAsDefaults)
{
    QByteArray junk;
    for (int i = 0; i < 4096; ++i)
        junk.append(char((i * 37 + 11) & 0xff));
    writeFile(junk);
    const Settings s = readSettings(path(), q(u"/db"));
    EXPECT_EQ(s.currencyTo, q(u"RUB"));
    EXPECT_EQ(s.taxRegExp, defaults::TaxRegExp);
}

TEST_F(IniFixture, WriteIntoReadOnlyFolderFailsAndKeepsTheOldFile)
{
    const QString folder = dir.filePath(QStringLiteral("ro"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString ini = folder + QStringLiteral("/sprrate.INI");
    const QByteArray before = "[MAIN]\nCURRENCYTO=USD\n";
    {
        QFile f(ini);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(before);
    }
    ASSERT_EQ(chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    ASSERT_EQ(chmod(QFile::encodeName(folder).constData(), 0555), 0);
    ASSERT_EQ(chmod(QFile::encodeName(ini).constData(), 0644), 0);

    const int result = runUnprivileged([&] {
        Settings s = readSettings(ini, QString());
        if (s.currencyTo != q(u"USD"))
            return 2;
        s.currencyTo = q(u"EUR");
        return writeSetupSettings(ini, s) ? 1 : 0;
    });
    chmod(QFile::encodeName(folder).constData(), 0755);
    EXPECT_EQ(result, 0) << "the write must fail";
    QFile f(ini);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 1)
        << "no temporary file is left behind";
}

// ---------------------------------------------------------------------------------------
// Files as Windows reads them: one pair of quotes around a whole value is dropped, and a
// line ends at CR LF, LF or a lone CR.

struct ReadCase {
    const char* name;
    QByteArray file;
    const char16_t* key;      // of section MAIN
    const char16_t* expected; // nullptr: the key is not there
};

const ReadCase readCases[] = {
    {"QuotedPath", "[MAIN]\r\nDATABASE=\"C:\\Agency\\sprrate.gdb\"\r\n", u"DATABASE",
     u"C:\\Agency\\sprrate.gdb"},
    {"QuotedMaskWithBlanksAround", "[MAIN]\nFAREMASK =  \"0.00\" \t\n", u"FAREMASK", u"0.00"},
    {"BlanksInsideQuotesKept", "[MAIN]\nTAXMASK=\" 0.0 \"\n", u"TAXMASK", u" 0.0 "},
    {"QuotesInsidePatternKept", "[MAIN]\nTAXREGEXP=([TAX]{2}\"XT\"\\s\"[A-Z]\")\n", u"TAXREGEXP",
     u"([TAX]{2}\"XT\"\\s\"[A-Z]\")"},
    {"QuotedPatternWithQuotesInside", "[MAIN]\nTAXREGEXP=\"(\"XT\"\\d{2})\"\n", u"TAXREGEXP",
     u"(\"XT\"\\d{2})"},
    {"OnlyOnePairDropped", "[MAIN]\nFAREMASK=\"\"0.00\"\"\n", u"FAREMASK", u"\"0.00\""},
    {"LeadingQuoteAloneStays", "[MAIN]\nFAREMASK=\"0.00\n", u"FAREMASK", u"\"0.00"},
    {"TrailingQuoteAloneStays", "[MAIN]\nFAREMASK=0.00\"\n", u"FAREMASK", u"0.00\""},
    {"LoneQuoteStays", "[MAIN]\nFAREMASK=\"\n", u"FAREMASK", u"\""},
    {"EmptyQuotesAreEmpty", "[MAIN]\nFAREMASK=\"\"\n", u"FAREMASK", u""},
    {"SingleQuotesStay", "[MAIN]\nFAREMASK='0.00'\n", u"FAREMASK", u"'0.00'"},
    {"CrOnlyFile", "[MAIN]\rCURRENCYTO=USD\rFAREMASK=0.000\r", u"FAREMASK", u"0.000"},
    {"CrOnlyFileFirstKey", "[MAIN]\rCURRENCYTO=USD\rFAREMASK=0.000\r", u"CURRENCYTO", u"USD"},
    {"CrOnlyFileWithoutFinalEnd", "[MAIN]\rTAXMASK=0", u"TAXMASK", u"0"},
    {"CrOnlySectionEnds", "[MAIN]\rTAXMASK=0\r[OTHER]\rFAREMASK=#\r", u"FAREMASK", nullptr},
    {"MixedLineEnds", "[MAIN]\r\nA=1\rB=2\nC=3\r\n", u"B", u"2"},
    {"MixedLineEndsLast", "[MAIN]\r\nA=1\rB=2\nC=3\r\n", u"C", u"3"},
    {"CrBeforeCrLfIsABlankLine", "[MAIN]\nA=1\r\r\nB=2\n", u"A", u"1"},
    {"CutRightAfterCr", "[MAIN]\nLEFT=561\r", u"LEFT", u"561"},
};

class IniReadTest : public IniFixture, public testing::WithParamInterface<ReadCase> {};

TEST_P(IniReadTest, ReadsAsWindowsDoes)
{
    writeFile(GetParam().file);
    IniFile ini(path());
    ASSERT_TRUE(ini.load());
    const QString absent = q(u"<absent>");
    const QString expected = GetParam().expected ? q(GetParam().expected) : absent;
    EXPECT_EQ(ini.readString(u"MAIN", GetParam().key, absent), expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, IniReadTest, testing::ValuesIn(readCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct WriteCase {
    const char* name;
    QByteArray before; // the file before; empty: no file
    const char16_t* key; // written in section MAIN
    const char16_t* value;
    QByteArray after;
};

const WriteCase writeCases[] = {
    {"CrOnlyFileGetsANewKeyInItsSection", "[MAIN]\rFAREMASK=0.000\r[WINDOW]\rLEFT=5\r",
     u"TAXMASK", u"0", "[MAIN]\rFAREMASK=0.000\rTAXMASK=0\r[WINDOW]\rLEFT=5\r"},
    {"CrOnlyFileKeyOverwrittenNotRepeated", "[MAIN]\rTAXMASK=0.00\rFAREMASK=0\r", u"TAXMASK",
     u"0", "[MAIN]\rTAXMASK=0\rFAREMASK=0\r"},
    {"MixedFileKeepsTheKindMostLinesHave", "[MAIN]\r\nA=1\r\nB=2\nC=3\r\n", u"D", u"4",
     "[MAIN]\r\nA=1\r\nB=2\r\nC=3\r\nD=4\r\n"},
    {"LfFileStaysLf", "[MAIN]\nA=1\n", u"A", u"2", "[MAIN]\nA=2\n"},
    {"QuotedValueReadsBackWithItsQuotes", "[MAIN]\n", u"FAREMASK", u"\"0.00\"",
     "[MAIN]\nFAREMASK=\"\"0.00\"\"\n"},
    {"BlanksAroundAValueAreKept", "[MAIN]\n", u"TAXMASK", u" 0.00 ",
     "[MAIN]\nTAXMASK=\" 0.00 \"\n"},
    {"HalfQuotedValueAsTyped", "[MAIN]\n", u"FAREMASK", u"\"0.00", "[MAIN]\nFAREMASK=\"0.00\n"},
    {"QuotesInsideAPatternAsTyped", "[MAIN]\n", u"TAXREGEXP", u"(\"XT\"\\d{2})",
     "[MAIN]\nTAXREGEXP=(\"XT\"\\d{2})\n"},
    {"PatternInQuotesReadsBackWhole", "[MAIN]\n", u"TAXREGEXP", u"\"XT\"\\d{2}\"",
     "[MAIN]\nTAXREGEXP=\"\"XT\"\\d{2}\"\"\n"},
    {"NewFileHasLf", "", u"TAXMASK", u"0", "[MAIN]\nTAXMASK=0\n"},
};

class IniWriteTest : public IniFixture, public testing::WithParamInterface<WriteCase> {};

TEST_P(IniWriteTest, WritesWhatReadsBack)
{
    const WriteCase& c = GetParam();
    if (!c.before.isEmpty())
        writeFile(c.before);
    IniFile ini(path());
    ASSERT_TRUE(ini.load());
    ini.writeString(u"MAIN", c.key, q(c.value));
    ASSERT_TRUE(ini.save());
    EXPECT_EQ(readFile(), c.after);
    IniFile again(path());
    ASSERT_TRUE(again.load());
    EXPECT_EQ(again.readString(u"MAIN", c.key, QString()), q(c.value));
}

INSTANTIATE_TEST_SUITE_P(Cases, IniWriteTest, testing::ValuesIn(writeCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A Windows build writes a new file with CR LF, as its profile functions do; a file that
// exists keeps its own line ends on any build.
TEST_F(IniFixture, NewFileTakesTheBuildsLineEndsAndAnOldFileKeepsItsOwn)
{
    IniFile fresh(path(), IniFile::LineEnd::CrLf);
    ASSERT_TRUE(fresh.load());
    fresh.writeString(u"MAIN", u"TAXMASK", q(u"0"));
    fresh.writeString(u"WINDOW", u"LEFT", q(u"5"));
    ASSERT_TRUE(fresh.save());
    EXPECT_EQ(readFile(), QByteArray("[MAIN]\r\nTAXMASK=0\r\n\r\n[WINDOW]\r\nLEFT=5\r\n"));

    writeFile("[MAIN]\nTAXMASK=0\n");
    IniFile old(path(), IniFile::LineEnd::CrLf);
    ASSERT_TRUE(old.load());
    old.writeString(u"MAIN", u"FAREMASK", q(u"0.00"));
    ASSERT_TRUE(old.save());
    EXPECT_EQ(readFile(), QByteArray("[MAIN]\nTAXMASK=0\nFAREMASK=0.00\n"));
}

// ---------------------------------------------------------------------------------------
// Settings files that cannot be read: the reading says what is wrong and leaves the
// initial values; a file at the size limit is still read.

struct BadFileCase {
    const char* name;
    std::function<void(const QString& ini)> make;
    const char16_t* message; // %1: the file; nullptr: the file is read
};

void makeFolder(const QString& ini) { ASSERT_TRUE(QDir().mkpath(ini)); }

void makeDanglingLink(const QString& ini)
{
    ASSERT_TRUE(QFile::link(ini + QStringLiteral(".gone"), ini));
}

void makeFileOfSize(const QString& ini, qint64 size)
{
    QByteArray bytes = "[MAIN]\nFAREMASK=0.000\n";
    bytes.append(QByteArray(size - bytes.size(), '\n'));
    QFile f(ini);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), size);
}

const BadFileCase badFileCases[] = {
    {"Folder", makeFolder, u"The settings file \"%1\" is a folder, not a file: remove or rename the folder."},
    {"DanglingLink", makeDanglingLink,
     u"The settings file \"%1\" is a link to \"%1.gone\", which does not exist: restore that "
     u"file or remove the link."},
    {"OverOneMegabyte", [](const QString& ini) { makeFileOfSize(ini, IniFile::MaxFileSize + 1); },
     u"The settings file \"%1\" is larger than 1 MB (1048577 bytes): remove what does not "
     u"belong in it."},
    {"AtOneMegabyte", [](const QString& ini) { makeFileOfSize(ini, IniFile::MaxFileSize); },
     nullptr},
};

class BadSettingsFileTest : public IniFixture, public testing::WithParamInterface<BadFileCase> {};

TEST_P(BadSettingsFileTest, ReadingSaysWhatIsWrongAndNoSaveGoesThrough)
{
    const BadFileCase& c = GetParam();
    c.make(path());
    QString problem;
    const Settings s = readSettings(path(), q(u"/db/sprrate.gdb"), &problem);
    QString error;
    const bool saved = writeWindowPosition(path(), section::Window, QPoint(1, 2), &error);
    if (!c.message) {
        EXPECT_EQ(problem, QString());
        EXPECT_EQ(s.fareMask, q(u"0.000"));
        EXPECT_TRUE(saved) << error.toStdString();
        return;
    }
    const QString expected = q(c.message).arg(path());
    EXPECT_EQ(problem, expected);
    EXPECT_EQ(s.fareMask, QString()) << "the initial values stay";
    EXPECT_EQ(s.database, QString());
    EXPECT_FALSE(saved);
    EXPECT_EQ(error, expected);
    EXPECT_FALSE(QFile::exists(path() + q(u".gone"))) << "a save must not create the link's target";
}

INSTANTIATE_TEST_SUITE_P(Cases, BadSettingsFileTest, testing::ValuesIn(badFileCases),
                         [](const auto& info) { return std::string(info.param.name); });

// UTF-16 with a byte-order mark, as some Windows editors save: read, and written back
// in the same encoding and byte order.
struct Utf16Case {
    const char* name;
    QStringConverter::Encoding encoding;
};

class Utf16Test : public IniFixture, public testing::WithParamInterface<Utf16Case> {};

TEST_P(Utf16Test, ReadAndKeptOnWrite)
{
    const auto encode = [&](const QString& text) {
        QStringEncoder encoder(GetParam().encoding, QStringConverter::Flag::WriteBom);
        return QByteArray(encoder.encode(text));
    };
    const QString text = q(u"[MAIN]\r\nCURRENCYTO=EUR\r\nNOTE=\u041a\u0443\u0440\u0441\r\n");
    writeFile(encode(text));
    const Settings s = readSettings(path(), QString());
    EXPECT_EQ(s.currencyTo, q(u"EUR"));
    EXPECT_EQ(s.fareMask, q(u"0.00"));
    IniFile ini(path());
    ASSERT_TRUE(ini.load());
    EXPECT_EQ(ini.readString(u"MAIN", u"NOTE", QString()), q(u"\u041a\u0443\u0440\u0441"));
    ini.writeString(u"MAIN", u"TAXMASK", q(u"0"));
    ASSERT_TRUE(ini.save());
    EXPECT_EQ(readFile(), encode(text + q(u"TAXMASK=0\r\n")));
}

INSTANTIATE_TEST_SUITE_P(Cases, Utf16Test,
                         testing::Values(Utf16Case{"LittleEndian", QStringConverter::Utf16LE},
                                         Utf16Case{"BigEndian", QStringConverter::Utf16BE}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(IniFixture, CurrencyCodeIsUpperCased)
{
    const std::pair<const char*, const char16_t*> cases[] = {
        {"rub", u"RUB"}, {"Eur", u"EUR"}, {"usdx", u"USD"}, {"\xd1\x80\xd1\x83\xd0\xb1", u"\u0420\u0423\u0411"}};
    for (const auto& [typed, held] : cases) {
        writeFile(QByteArray("[MAIN]\nCURRENCYTO=") + typed + "\n");
        EXPECT_EQ(readSettings(path(), QString()).currencyTo, q(held)) << typed;
    }
}

// A save waits for the lock another program holds, and when the wait is over says so
// and leaves the file as it was.
TEST_F(IniFixture, SaveRefusedWhileAnotherProgramHoldsTheLock)
{
    const QByteArray before = "[MAIN]\nDATABASE=/var/db/a.gdb\n";
    writeFile(before);
    QLockFile other(path() + q(u".lock"));
    ASSERT_TRUE(other.tryLock(0));
    QString error;
    EXPECT_FALSE(writeWindowPosition(path(), section::Window, QPoint(1, 2), &error));
    EXPECT_EQ(error, q(u"The settings file \"%1\" is being saved by another program, which has "
                       u"held its lock file \"%1.lock\" for over 5 seconds. Try again; if no "
                       u"other program is running, delete the lock file.")
                         .arg(path()));
    EXPECT_EQ(readFile(), before);
    other.unlock();
    EXPECT_TRUE(writeWindowPosition(path(), section::Window, QPoint(1, 2), &error))
        << error.toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{q(u"sprrate.INI")})
        << "the lock file goes with the save";
}

// A lock left by a program that ended without releasing it does not block saves.
TEST_F(IniFixture, LockOfAProgramThatDiedIsTakenOver)
{
    writeFile("[MAIN]\nDATABASE=/var/db/a.gdb\n");
    const QString lockPath = path() + q(u".lock");
    const pid_t pid = fork();
    if (pid == 0) {
        QLockFile lock(lockPath);
        _exit(lock.tryLock(0) ? 0 : 1); // no destructor runs: the lock file stays
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_TRUE(QFile::exists(lockPath));
    QString error;
    EXPECT_TRUE(writeWindowPosition(path(), section::Window, QPoint(7, 8), &error))
        << error.toStdString();
    EXPECT_EQ(readWindowPosition(path(), section::Window, QPoint()), QPoint(7, 8));
    EXPECT_EQ(readSettings(path(), QString()).database, q(u"/var/db/a.gdb"));
}

namespace {

mode_t modeOf(const QString& file)
{
    struct stat st {};
    return ::stat(QFile::encodeName(file).constData(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

// Sets the process's file-creation mask for a scope.
struct Umask {
    explicit Umask(mode_t mask) : old(::umask(mask)) {}
    ~Umask() { ::umask(old); }
    mode_t old;
};

struct PrivateWriteCase {
    const char* name;
    std::function<bool(const QString&)> write;
};

class PrivateSettingsTest : public IniFixture,
                            public testing::WithParamInterface<PrivateWriteCase> {};

// The file holds the database password: a file the program makes is its owner's only,
// whatever the mask lets others have; a file that exists keeps its mode, wider or
// narrower.
TEST_P(PrivateSettingsTest, NewFileIsTheOwnersOnlyAndAnOldOneKeepsItsMode)
{
    const Umask mask(022);
    ASSERT_TRUE(GetParam().write(path()));
    EXPECT_EQ(modeOf(path()), mode_t(0600));
    for (const mode_t mode : {mode_t(0640), mode_t(0644), mode_t(0600), mode_t(0660)}) {
        ASSERT_EQ(::chmod(QFile::encodeName(path()).constData(), mode), 0);
        ASSERT_TRUE(GetParam().write(path()));
        EXPECT_EQ(modeOf(path()), mode) << std::oct << mode;
    }
}

const PrivateWriteCase privateWriteCases[] = {
    {"Setup", [](const QString& p) { return writeSetupSettings(p, Settings{}); }},
    {"WindowPosition",
     [](const QString& p) { return writeWindowPosition(p, section::Window, QPoint(1, 2)); }},
    {"RateWindow", [](const QString& p) { return writeRateWindow(p, QPoint(1, 2), RateFilter{}); }},
};

INSTANTIATE_TEST_SUITE_P(Writes, PrivateSettingsTest, testing::ValuesIn(privateWriteCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(IniFixture, RoleIsReadAsTypedAndEmptyByDefault)
{
    EXPECT_TRUE(readSettings(path(), q(u"/db")).role.isEmpty());
    writeFile("[MAIN]\nROLE=SPRRATE_AGENT\n");
    EXPECT_EQ(readSettings(path(), q(u"/db")).role, q(u"SPRRATE_AGENT"));
    writeFile("[MAIN]\nROLE=\n");
    EXPECT_TRUE(readSettings(path(), q(u"/db")).role.isEmpty());
}

struct ExposedCase {
    const char* name;
    mode_t mode;
    const char* file;
    bool warned;
};

class ExposedPasswordTest : public IniFixture, public testing::WithParamInterface<ExposedCase> {};

TEST_P(ExposedPasswordTest, WarnsOfAServerPasswordOthersCanRead)
{
    const ExposedCase& c = GetParam();
    writeFile(c.file);
    ASSERT_EQ(::chmod(QFile::encodeName(path()).constData(), c.mode), 0);
    const QString warning = exposedPasswordWarning(path());
    if (!c.warned) {
        EXPECT_TRUE(warning.isEmpty()) << warning.toStdString();
        return;
    }
    EXPECT_TRUE(warning.contains(q(u"other users of this computer can read it")))
        << warning.toStdString();
    EXPECT_TRUE(warning.contains(q(u"chmod 600 ") + QFileInfo(path()).absoluteFilePath()))
        << warning.toStdString();
}

const ExposedCase exposedCases[] = {
    {"ServerOthersRead", 0644, "[MAIN]\nDATABASE=office:/srv/sprrate.gdb\nPASSWORD=x\n", true},
    {"ServerGroupRead", 0640, "[MAIN]\nDATABASE=office/3050:/srv/a.gdb\nPASSWORD=x\n", true},
    {"ServerWithoutPasswordKey", 0644, "[MAIN]\nDATABASE=10.0.0.5:/srv/a.gdb\n", false},
    {"ServerByAddress", 0604, "[MAIN]\nDATABASE=10.0.0.5:/srv/a.gdb\nPASSWORD=x\n", true},
    {"ServerPrivate", 0600, "[MAIN]\nDATABASE=office:/srv/sprrate.gdb\nPASSWORD=x\n", false},
    {"ServerEmptyPassword", 0644, "[MAIN]\nDATABASE=office:/srv/a.gdb\nPASSWORD=\n", false},
    {"LocalFile", 0644, "[MAIN]\nDATABASE=/home/a/sprrate.gdb\nPASSWORD=x\n", false},
    {"DefaultLocalFile", 0644, "[MAIN]\nPASSWORD=x\n", false},
    {"DriveLetter", 0644, "[MAIN]\nDATABASE=C:\\data\\sprrate.gdb\nPASSWORD=x\n", false},
};

INSTANTIATE_TEST_SUITE_P(Settings, ExposedPasswordTest, testing::ValuesIn(exposedCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
