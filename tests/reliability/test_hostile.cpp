// Host displays no real host should send, through the reader, the conversion run and the
// ticket image estimate: each must end without a crash or a hang, with the system's
// message or a clear error, and nothing odd may reach a host command.
#include "app/application.h"
#include "pricing/conversionrun.h"
#include "pricing/pricingreader.h"
#include "refdata/dberror.h"

#include "support/qstringprint.h"
#include "support/qtapp.h"
#include "support/recordinginteraction.h"
#include "support/scriptedhost.h"
#include "support/testapplication.h"
#include "support/testdatabase.h"
#include "support/velmoraterm.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <iostream>
#include <random>
#include <tuple>

using namespace Qt::Literals::StringLiterals;
using Outcome = pricing::RunResult::Outcome;

namespace {

// The shipped record's two pages (fare EUR, equivalent and taxes USD, carrier LH).
const QString page1 = u"SPR00001               PRICED 09DEC26   AGENT 4567AB\n"
                      u"  1.PETROV/IVAN MR\n"
                      u"FXP/R,FC-EUR\n"
                      u"  1   FRA LH 1420 Y 15MAR  FRASVO HK1  0720  1125\n"
                      u"FARE  F EUR    520.00\n"
                      u"EQUIV   USD    566.00\n"_s;
const QString page2 = u"TX001 X USD    13.60YQ  TX002 X USD     4.40DE\n"
                      u"TOTAL   USD    584.00\n"
                      u"  6.FV LH\n"_s;

// The shipped ticket image, its XT breakdown holding the given taxes.
QString ticketImage(int xtTaxes)
{
    QString xt = u"                  XT"_s;
    QString lines;
    for (int i = 1; i <= xtTaxes; ++i) {
        const QString piece = u" USD 1.00%1%2"_s.arg(QChar(u'A' + (i / 26) % 26))
                                  .arg(QChar(u'A' + i % 26));
        if (xt.size() + piece.size() > 64) {
            lines += xt + u"\n"_s;
            xt = u"                  "_s;
        }
        xt += piece;
    }
    lines += xt + u"\n"_s;
    return u"TKT IMAGE 01 PETROV/IVAN MR          ISSUED 09DEC26 4567AB\n"
           u"     AL FLGT  BK T DATE  TIME  FARE BASIS      NVB  NVA   BG\n"
           u" FRA\n"
           u" SVO LH 1420  Y  O 15MAR 0720  YOWEU           15MAR15MAR 1P\n"
           u"\n"
           u"EUR   520.00      15MAR26FRA LH MOW260.00LH FRA260.00NUC520.00END\n"
           u"USD   566.00      ROE1.000000\n"
           u"USD    13.60YQ\n"
           u"USD     4.40DE\n"
           u"USD    %1XT\n"
           u"USD   614.50\n"_s.arg(double(xtTaxes), 6, 'f', 2) +
           lines + u">"_s;
}

QString taxLines(int count)
{
    QString text;
    for (int i = 1; i <= count; ++i) {
        text += u"TX%1 X USD     1.00%2%3\n"_s.arg(i, 3, 10, QChar(u'0'))
                    .arg(QChar(u'A' + (i / 26) % 26))
                    .arg(QChar(u'A' + i % 26));
    }
    return text;
}

// Random bytes of every kind as text: controls, NUL, surrogates, letters of many scripts.
QString noise(qsizetype length, unsigned seed)
{
    std::mt19937 random(seed);
    QString text(length, Qt::Uninitialized);
    for (qsizetype i = 0; i < length; ++i)
        text[i] = QChar(char16_t(random() % 0x10000));
    return text;
}

QString fiveMegabytes()
{
    // Lines that look like a record's, over and over, and no prompt at the end.
    QString text;
    text.reserve(5 * 1024 * 1024);
    while (text.size() < 5 * 1024 * 1024)
        text += page1 + page2;
    return text;
}

struct Display {
    const char* name;
    QString first;  // what the terminal shows
    QString second; // its answer to "MD"
    bool converts;  // the run converts it (what it reads is still a record)
};

const Display displays[] = {
    // The unspoilt screens first: the run converts the record.
    {"TheRecord", page1 + u")>"_s, page2 + u">"_s, true},
    {"TheTicketImage", ticketImage(3), {}, false},
    {"TicketImageWithFortyFiveTaxes", ticketImage(45), {}, false},
    {"Empty", {}, {}, false},
    {"OnlyPrompts", u">\n)>\n>\n)>"_s, u")>\n)>"_s, false},
    // Every "MD" brings one more continuation prompt: the record never ends, and the run
    // stops at its page limit without writing.
    {"PromptsEveryPage", page1 + u")>"_s, u")>"_s, false},
    {"FiveMegabytes", fiveMegabytes(), fiveMegabytes(), false},
    {"FiveMegabytesAfterTheRecord", page1 + u")>"_s, page2 + fiveMegabytes() + u">"_s, true},
    {"NulAndControlCharacters",
     QString(page1).replace(u"  1.PETROV"_s, QString(QChar(0)) + u"\x1b[2J\x07\x08\t\r"_s +
                                                 u"  1.PETROV"_s) +
         u")>"_s,
     page2 + u"\x7f\x01\x1f>"_s, false},
    {"ControlCharactersInTheNameLine",
     QString(page1).replace(u"  1.PETROV"_s, u"\x1b[2J\x07\x08\t\x7f  1.PETROV"_s) + u")>"_s,
     page2 + u"\x01\x1f>"_s, true},
    // Text past a NUL is invisible to the patterns: the taxes behind it must not be left
    // unconverted on a converted record; nor a tax the pattern misses for a tab.
    {"NulBeforeTheTaxes", page1 + u")>"_s, QString(QChar(0)) + page2 + u">"_s, false},
    {"TabInsideATax", page1 + u")>"_s,
     QString(page2).replace(u"X USD     4.40"_s, u"X USD\t4.40"_s) + u">"_s, false},
    {"ControlCharactersInsideTheAmounts",
     QString(page1).replace(u"520.00"_s, u"52\x00" "0.00"_s).replace(u"566.00"_s, u"5\t66.00"_s) +
         u")>"_s,
     page2 + u">"_s, false},
    {"LinesOfAHundredThousandCharacters", page1 + QString(100000, u'9') + u"\n)>"_s,
     QString(100000, u'X') + u"\n"_s + page2 + QString(100000, u' ') + u"\n>"_s, true},
    {"OneLineOfAHundredThousandCharacters", QString(page1).replace(u'\n', u' ') + u")>"_s,
     QString(page2).replace(u'\n', u' ').repeated(2000) + u">"_s, false},
    {"CyrillicAndOtherScripts",
     page1 + u"  2.ПЕТРОВ/ИВАН Г-Н 北京 القاهرة 🛫\n)>"_s,
     u"ТАКСЫ ЕВРО 12.00РУБ\n"_s + page2 + u">"_s, true},
    {"CyrillicLookalikesOfTheCodes",
     QString(page1).replace(u"EUR"_s, u"ЕUR"_s).replace(u"USD    566"_s, u"UЅD    566"_s) +
         u")>"_s,
     page2 + u">"_s, false},
    {"FortyFiveTaxes", page1 + u")>"_s, taxLines(45) + u"TOTAL   USD    611.00\n  6.FV LH\n>"_s,
     false},
    {"ThirtyTaxes", page1 + u")>"_s, taxLines(30) + u"TOTAL   USD    596.00\n  6.FV LH\n>"_s,
     true},
    {"Noise", noise(200000, 1), noise(200000, 2), false},
    {"NoiseAfterTheRecordHeader", page1.left(60) + noise(50000, 3) + u"\n)>"_s,
     noise(50000, 4) + u">"_s, false},
};

class Hostile : public testing::TestWithParam<Display> {
protected:
    static void SetUpTestSuite() { s_db = std::make_unique<TestDatabase>(TestDatabase::Content::Sample); }
    static void TearDownTestSuite() { s_db.reset(); }

    void SetUp() override
    {
        testsupport::ensureCoreApplication();
        const Display& d = GetParam();
        host.display = d.first;
        host.answer = [this, d](const QString& command) {
            if (command == u"MD"_s)
                return d.second;
            if (command.startsWith(u"TT"_s))
                return u"SPR00001 UPDATED\n>"_s;
            return u"INVALID ENTRY - CHECK FORMAT\n>"_s;
        };
        // The sample data holds the record's rates: LH from USD and from EUR to RUB.
        app = testsupport::makeApplication(folder, s_db->path(), u"unused"_s, registry, ui);
        host.registerIn(registry);
    }

    static std::unique_ptr<TestDatabase> s_db;
    QTemporaryDir folder;
    host::AutomationRegistry registry;
    testsupport::ScriptedHost host;
    testsupport::RecordingInteraction ui;
    std::unique_ptr<app::Application> app;
};
std::unique_ptr<TestDatabase> Hostile::s_db;

TEST_P(Hostile, ReaderKeepsItsLimits)
{
    host::TextBuffer answer;
    pricing::PricingModel model;
    const pricing::ScreenReading reading =
        pricing::readPricingText(GetParam().first + GetParam().second, answer, model);
    EXPECT_GE(reading.TaxCount, 0);
    EXPECT_LE(reading.TaxCount, 30);
}

TEST_P(Hostile, RunEndsWithAMessageOrWellFormedCommands)
{
    const pricing::RunResult result = app->btnRunClick();
    const QStringList journal = host.sent;
    EXPECT_EQ(result.outcome == Outcome::Converted, GetParam().converts)
        << ui.messages.join(u'|').toStdString() << journal.join(u' ').toStdString();
    if (result.outcome == Outcome::Converted) {
        EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(u'|').toStdString();
        ASSERT_FALSE(result.updateCommands.isEmpty());
        // Only the host's own command alphabet may reach it: no control character, no
        // letter of another script, nothing of the screen's junk.
        static const QRegularExpression wellFormed(u"^TT[IK]/T01/[A-Z0-9./]{1,120}$"_s);
        for (const QString& command : result.updateCommands)
            EXPECT_TRUE(wellFormed.match(command).hasMatch()) << command.toStdString();
    } else {
        ASSERT_EQ(ui.messages.size(), 1) << "exactly one message says why";
        EXPECT_FALSE(ui.messages[0].trimmed().isEmpty());
        for (const QString& command : journal)
            EXPECT_FALSE(command.startsWith(u"TT"_s)) << "written: " << command.toStdString();
    }
    std::cout << "[ figures ] " << GetParam().name << ": run "
              << (result.outcome == Outcome::Converted ? "converted" : "stopped") << "; "
              << (ui.messages.isEmpty() ? result.updateCommands.join(u' ')
                                        : ui.messages[0].left(70).simplified())
                     .toStdString()
              << "\n";
}

TEST_P(Hostile, EstimateShowsItsDialogOrAMessage)
{
    bool shown = false;
    ASSERT_NO_THROW(shown = app->btnInformPricingClick());
    EXPECT_EQ(shown, ui.ticketImages.size() == 1);
    if (!shown) {
        EXPECT_FALSE(ui.messages.isEmpty()) << "an estimate that shows nothing says why";
    }
    std::cout << "[ figures ] " << GetParam().name << ": estimate "
              << (shown ? "shown" : "not shown") << "; "
              << ui.messages.join(u'|').left(70).simplified().toStdString() << "\n";
    EXPECT_TRUE(host.sent.filter(QRegularExpression(u"^TT"_s)).isEmpty())
        << "the estimate never writes";
}

INSTANTIATE_TEST_SUITE_P(Displays, Hostile, testing::ValuesIn(displays),
                         [](const auto& info) { return std::string(info.param.name); });

// The same 5 MB through the real terminal link: refused by its answer limit, with the
// link's own text.
TEST(HostileTerminal, FiveMegabyteScreenIsRefusedByTheLinkWithItsText)
{
    testsupport::ensureCoreApplication();
    TestDatabase db(TestDatabase::Content::Sample);
    testsupport::VelmoraTerm terminal;
    QString big;
    for (int i = 0; big.size() < 5 * 1024 * 1024; ++i)
        big += u"LINE %1 OF A SCREEN NO HOST WOULD SEND\n"_s.arg(i, 7, 10, QChar(u'0'));
    terminal.start(u"sessions 1\ndisplay big\nscreen big\n"_s + big + u">\n@end\n"_s);
    QTemporaryDir folder;
    host::AutomationRegistry registry;
    testsupport::RecordingInteraction ui;
    auto a = testsupport::makeApplication(folder, db.path(), terminal.socket(), registry, ui);
    a->btnRunClick();
    ASSERT_EQ(ui.messages.size(), 1);
    std::cout << "[ figures ] 5 MB screen through the link: " << ui.messages[0].toStdString()
              << "\n";
    EXPECT_TRUE(ui.messages[0].contains(u"larger than 1 MiB"_s)) << ui.messages[0].toStdString();
    // The estimate's reading ends at the error and keeps what it read: nothing.
    ui.messages.clear();
    EXPECT_FALSE(a->btnInformPricingClick());
    EXPECT_EQ(ui.messages, QStringList{u"This screen is not Ticket Image."_s});
}


// ---------------------------------------------------------------------------------------
// Settings no one should type: the program still starts, and the run names the problem.

struct SettingsCase {
    const char* name;
    QByteArray ini;     // the settings file after its DATABASE line
    QString message;    // a part of the one message the run shows; empty: it converts
};

QByteArray binary(int size, unsigned seed)
{
    std::mt19937 random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& b : bytes)
        b = char(random() % 256);
    return bytes;
}

const SettingsCase settingsCases[] = {
    // Nested repetition over the record's text: backtracking without end, stopped by the
    // matcher's limits.
    {"PatternThatExplodes", "EQUIVREGEXP=(([A-Z ]+)+)+\\d\\d\\d\\d\\d\\d\\d\\d\\d\n",
     u"EQUIVREGEXP"_s},
    {"RejectedTaxPattern", "TAXREGEXP=(\\s*\\s*\\s*)*\\d!\n", u"TAXREGEXP"_s},
    {"RejectedPattern", "EQUIVREGEXP=([EQUIV]{5}\n", u"EQUIVREGEXP"_s},
    {"RejectedCarrierPattern", "ELEMENTFV=[FV\n", u"ELEMENTFV"_s},
    // Matches nothing: the carrier comes from the FV element.
    {"TenThousandCharacterPattern", "SEGMENTFV=" + QByteArray(10000, 'X') + "\n", {}},
    {"TenThousandCharacterCurrency", "CURRENCYTO=" + QByteArray(10000, 'Q') + "\n",
     u"rate not found"_s},
    {"MaskWithThousandsSeparators", "FAREMASK=#,##0.00\n", u"FAREMASK"_s},
    {"MaskWritingAnotherElement", "TAXMASK=0.00/XRUB1\n", u"TAXMASK"_s},
    {"MaskOfControlCharacters", "TAXMASK=\x01\x02\x7f\n", u"TAXMASK"_s},
    {"MaskOfOnlyText", "FAREMASK=RUB\n", u"FAREMASK"_s},
    {"OddButSoundMask", "FAREMASK=#0\nTAXMASK=0.000\n", {}},
    {"BinaryBeforeTheSettings", binary(65536, 7) + "\n[MAIN]\n", {}},
};

class HostileSettings : public testing::TestWithParam<SettingsCase> {
protected:
    static void SetUpTestSuite() { s_db = std::make_unique<TestDatabase>(TestDatabase::Content::Sample); }
    static void TearDownTestSuite() { s_db.reset(); }

    void SetUp() override
    {
        testsupport::ensureCoreApplication();
        host.display = page1 + u")>"_s;
        host.answer = [](const QString& command) {
            return command == u"MD"_s ? page2 + u">"_s : u"SPR00001 UPDATED\n>"_s;
        };
        host.registerIn(registry);
    }

    std::unique_ptr<app::Application> start(const QByteArray& ini)
    {
        testsupport::writeSettingsFile(folder, ini);
        return testsupport::startApplication(folder, registry, ui);
    }

    static std::unique_ptr<TestDatabase> s_db;
    QTemporaryDir folder;
    host::AutomationRegistry registry;
    testsupport::ScriptedHost host;
    testsupport::RecordingInteraction ui;
};
std::unique_ptr<TestDatabase> HostileSettings::s_db;

TEST_P(HostileSettings, RunNamesTheProblemOrConvertsSoundly)
{
    const SettingsCase& c = GetParam();
    auto a = start("[MAIN]\nDATABASE=" + s_db->path().toUtf8() + "\n" + c.ini);
    const pricing::RunResult result = a->btnRunClick();
    std::cout << "[ figures ] " << c.name << ": "
              << (ui.messages.isEmpty() ? u"converted"_s : ui.messages[0].left(110).simplified())
                     .toStdString()
              << "\n";
    if (c.message.isEmpty()) {
        EXPECT_EQ(result.outcome, Outcome::Converted) << ui.messages.join(u'|').toStdString();
        static const QRegularExpression wellFormed(u"^TT[IK]/T01/[A-Z0-9./]{1,120}$"_s);
        for (const QString& command : result.updateCommands)
            EXPECT_TRUE(wellFormed.match(command).hasMatch()) << command.toStdString();
        return;
    }
    EXPECT_NE(result.outcome, Outcome::Converted);
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_TRUE(ui.messages[0].contains(c.message, Qt::CaseInsensitive))
        << ui.messages[0].toStdString();
    EXPECT_TRUE(host.sent.filter(QRegularExpression(u"^TT"_s)).isEmpty())
        << "nothing is written: " << host.sent.join(u' ').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Settings, HostileSettings, testing::ValuesIn(settingsCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A settings file that is all binary: the program starts on its defaults, and the run
// reports the default database it cannot open instead of failing silently.
TEST_F(HostileSettings, BinaryFileStartsOnTheDefaults)
{
    auto a = start(binary(1 << 20, 11));
    EXPECT_EQ(a->settings().currencyTo, u"RUB"_s);
    EXPECT_EQ(a->settings().fareMask, u"0.00"_s);
    try {
        a->btnRunClick();
        ADD_FAILURE() << "the run opened a database that is not there";
    } catch (const refdata::DbError& e) {
        EXPECT_FALSE(e.message().isEmpty());
    }
}

// A server password in a settings file others can read: one warning at start, with the
// fix; the same file made private, or a local database, is started in silence.
TEST_F(HostileSettings, ServerPasswordOthersCanReadIsWarnedOnceAtStart)
{
    const QString ini = folder.filePath(u"sprrate.INI"_s);
    const QByteArray server = "[MAIN]\nDATABASE=office:/srv/sprrate.gdb\nPASSWORD=secret\n";
    for (const auto& [file, mode, warned] :
         {std::tuple{server, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther, true},
          std::tuple{server, QFile::ReadOwner | QFile::WriteOwner, false},
          std::tuple{"[MAIN]\nPASSWORD=secret\n"_ba,
                     QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup, false}}) {
        ui.messages.clear();
        testsupport::writeSettingsFile(folder, file);
        ASSERT_TRUE(QFile::setPermissions(ini, mode));
        auto a = testsupport::startApplication(folder, registry, ui);
        if (!warned) {
            EXPECT_EQ(ui.messages, QStringList{});
            continue;
        }
        ASSERT_EQ(ui.messages.size(), 1) << ui.messages.join(u'\n').toStdString();
        EXPECT_TRUE(ui.messages[0].contains(u"other users of this computer can read it"_s));
        EXPECT_TRUE(ui.messages[0].endsWith(u"chmod 600 "_s + ini)) << ui.messages[0].toStdString();
    }
}

// A settings file that is a folder: said once at start, what is wrong and what to do;
// a save from the setup dialog says why it did not go through.
TEST_F(HostileSettings, FolderAsSettingsFileIsSaidOnceAtStart)
{
    const QString ini = folder.filePath(u"sprrate.INI"_s);
    ASSERT_TRUE(QDir().mkpath(ini));
    auto a = testsupport::startApplication(folder, registry, ui);
    const QString problem =
        u"The settings file \"%1\" is a folder, not a file: remove or rename the folder."_s.arg(ini);
    EXPECT_EQ(ui.messages, QStringList{problem + u" Until then the program runs without its saved settings."_s});
    // The setup dialog shows what saveSetup answers, and stays open.
    const QString refusal = a->saveSetup(a->settings());
    EXPECT_EQ(ui.messages.size(), 1);
    EXPECT_TRUE(refusal.startsWith(u"The settings could not be written to "_s))
        << refusal.toStdString();
    EXPECT_TRUE(refusal.contains(QDir::toNativeSeparators(ini))) << refusal.toStdString();
}

} // namespace
