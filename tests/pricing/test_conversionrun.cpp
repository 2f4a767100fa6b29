// The conversion run end to end: a real velmora-term plays the host, a fresh embedded
// database holds the rates, and each case checks the exact commands the terminal
// received and the messages the user saw.
#include "app/application.h"
#include "host/termlinkclient.h"
#include "pricing/conversionrun.h"
#include "pricing/journal.h"
#include "refdata/referencedb.h"

#include "support/qstringprint.h"
#include "support/qtapp.h"
#include "support/recordinginteraction.h"
#include "support/testapplication.h"
#include "support/testdatabase.h"
#include "support/velmoraterm.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace Qt::Literals::StringLiterals;
using Outcome = pricing::RunResult::Outcome;

namespace {

// The record of most cases: fare in EUR, equivalent and taxes in USD, carrier LH.
const QString sprHeader = u"SPR00001               PRICED 09DEC26   AGENT 4567AB\n"
                          u"  1.PETROV/IVAN MR\n"_s;
const QString segment = u"  1   FRA LH 1420 Y 15MAR  FRASVO HK1  0720  1125\n"_s;
const QString fareEur = u"FARE  F EUR    520.00\n"_s;
const QString equivUsd = u"EQUIV   USD    566.00\n"_s;
const QString twoTaxes = u"TX001 X USD    13.60YQ  TX002 X USD     4.40DE\n"_s;
const QString fvLh = u"  6.FV LH\n"_s;

QString spr(const QString& pricingCommand, const QString& body)
{
    return sprHeader + pricingCommand + u"\n"_s + body + u">"_s;
}

QString standardRecord()
{
    return spr(u"FXP/R,FC-EUR"_s, segment + fareEur + equivUsd + twoTaxes +
                                      u"TOTAL   USD    584.00\n"_s + fvLh);
}

// A record over `pages` pages (velmora-term's "@page"): the fare lines on the first, taxes
// 1-3 on the second and, when there are three pages or more, taxes 4-5 and the FV element
// of carrier SU (not the segment's LH) on the last; pages in between hold remarks.
QString pagedRecord(int pages)
{
    QString text = sprHeader + u"FXP/R,FC-EUR\n"_s + segment + fareEur + equivUsd;
    text += u"@page\nTX001 X USD    13.60YQ  TX002 X USD     4.40DE  TX003 X USD    25.30RI\n"_s;
    for (int page = 3; page < pages; ++page)
        text += u"@page\n  %1.RM PAGE %1 OF THE RECORD\n"_s.arg(page);
    if (pages >= 3)
        text += u"@page\nTX004 X USD     3.10UH  TX005 X USD     2.10OY\n"_s;
    return text + u"TOTAL   USD    614.50\n  6.FV SU\n>"_s;
}

QStringList mdTimes(int n)
{
    QStringList md;
    for (int i = 0; i < n; ++i)
        md << u"MD"_s;
    return md;
}

// What the user typed into the settings, changed by a case.
using SettingsChange = std::function<void(base::Settings&)>;

struct RunCase {
    const char* name;
    QString display;       // the screen the terminal shows, pages split by "@page"
    QString scenario;      // further scenario lines: rules, rates, screens
    SettingsChange change; // may be empty
    QStringList sql;       // run on the reference data before the run
    QStringList journal;   // every command the terminal received
    QStringList messages;  // every message shown, exactly
    Outcome outcome;
};

const QStringList standardTaxes = {u"TTK/T01/XRUB1262.00YQ/XRUB409.00DE"_s};

class RunFixture : public testing::Test {
protected:
    static void SetUpTestSuite() { s_db = std::make_unique<TestDatabase>(); }
    static void TearDownTestSuite() { s_db.reset(); }

    void SetUp() override
    {
        testsupport::ensureCoreApplication();
        resetReferenceData();
    }

    void exec(const QString& sql) { s_db->exec(sql); }

    void resetReferenceData()
    {
        s_db->clearLookupData();
        for (const char16_t* code : {u"RUB", u"USD", u"EUR", u"GBP"}) {
            exec(u"insert into FARE_CURRENCY values ('"_s + QString::fromUtf16(code) +
                 u"', 'X', 'CEIL(VALUE/5)*5', 'CEIL(INT(VALUE*10)/10)')"_s);
        }
        addRate(u"USD"_s, u"RUB"_s, u"LH"_s, 92.8);
        addRate(u"EUR"_s, u"RUB"_s, u"LH"_s, 100.35);
    }

    void addRate(const QString& from, const QString& to, const QString& carrier, double rate)
    {
        exec(u"insert into FARE_CURRENCY_RATE (CURRENCY_FROM, CURRENCY_TO, CARRIER_CODE, "
             u"RATE_AMOUNT, RATE_VALID_FROM, RATE_VALID_TO) values ('%1', '%2', '%3', %4, "
             u"CURRENT_DATE - 1, CURRENT_DATE + 1)"_s.arg(from, to, carrier)
                 .arg(rate, 0, 'g', 17));
    }

    // Starts the terminal on a display and the case's scenario lines; update commands
    // are acknowledged.
    void startTerminal(const RunCase& c)
    {
        terminal.start(u"sessions 1\ndisplay spr\n"_s + c.scenario +
                       u"\nmatch TT[IK]/T01/.* => ok\nscreen ok\nDONE\n>\n@end\n"
                       u"screen spr\n"_s +
                       c.display + u"\n@end\n"_s);
    }

    // An application as the program has it, its settings file in a folder of its own.
    std::unique_ptr<app::Application> application(std::chrono::milliseconds timeout =
                                                      std::chrono::seconds(30))
    {
        return testsupport::makeApplication(folder, s_db->path(), terminal.socket(), registry,
                                            ui, timeout);
    }

    static std::unique_ptr<TestDatabase> s_db;
    QTemporaryDir folder;
    testsupport::VelmoraTerm terminal;
    host::AutomationRegistry registry;
    testsupport::RecordingInteraction ui;
};

std::unique_ptr<TestDatabase> RunFixture::s_db;

class ConversionRun : public RunFixture, public testing::WithParamInterface<RunCase> {};

TEST_P(ConversionRun, SendsExactlyTheseCommands)
{
    const RunCase& c = GetParam();
    for (const QString& sql : c.sql)
        exec(sql);
    startTerminal(c);
    auto a = application();
    if (c.change)
        c.change(a->settings());

    const pricing::RunResult result = a->btnRunClick();

    EXPECT_EQ(terminal.journal(), c.journal);
    EXPECT_EQ(ui.messages, c.messages);
    EXPECT_EQ(result.outcome, c.outcome);
    // Every update command the terminal got, in the order sent.
    QStringList updates;
    for (const QString& command : c.journal) {
        if (command.startsWith(u"TT"_s))
            updates << command;
    }
    EXPECT_EQ(result.updateCommands, updates);
    EXPECT_EQ(a->hostLink().hostSession(), nullptr) << "the toolkit objects are released";

    // The run's one entry in the journal tells what the agent saw and what went out.
    const pricing::History history = pricing::readHistory(a->journalFile(), {});
    ASSERT_EQ(history.entries.size(), 1u);
    const pricing::JournalEntry& entry = history.entries.front();
    EXPECT_EQ(entry.job, pricing::journal::Run);
    EXPECT_EQ(entry.outcome, c.outcome == Outcome::Converted ? pricing::journal::Converted
                             : c.outcome == Outcome::Failed  ? pricing::journal::Failed
                                                             : pricing::journal::Stopped);
    EXPECT_EQ(entry.sent, updates);
    EXPECT_EQ(entry.planned.mid(0, updates.size()), updates) << "sent in the order planned";
    if (c.outcome == Outcome::Converted) {
        EXPECT_EQ(entry.planned, updates);
        EXPECT_EQ(entry.messages,
                  c.messages + QStringList{pricing::convertedSummary(result, a->pricing().FareRate)});
    } else {
        EXPECT_EQ(entry.messages, c.messages);
    }
}

const QString rateNotFoundUsd = u"Currency rate not found !\r\n\r\nBefore convert SPR please type\r\n"
                                u"rate from USD to RUB on the LH airline."_s;

// The re-pricing in the taxes' own currency EUR: a fare summary holding the fare basis
// header, and the ticket image "FXT01" then shows, with the taxes in EUR.
const QString repricingScreens = uR"(on FXX/R,FC-EUR => summary then summary
on FXT01 => repriced then repriced
screen summary
 * FARE BASIS *  DISC    *  PSGR      * FARE<
>
@end
screen repriced
TKT IMAGE 01 PETROV/IVAN MR
     AL FLGT  BK T DATE  TIME  FARE BASIS      NVB  NVA   BG
 FRA
 SVO LH 1420  Y  O 15MAR 0720  YOWEU           15MAR15MAR 1P

EUR   520.00      15MAR26FRA LH MOW520.00END
EUR   520.00
EUR    12.50YQ
EUR     4.00YR
EUR     1.85DE
EUR   538.35
>
@end
)"_s;

INSTANTIATE_TEST_SUITE_P(
    Cases, ConversionRun,
    testing::Values(
        RunCase{"EquivalentAndFare", standardRecord(), {}, {}, {},
                QStringList{u"TTI/T01/K2USD92.8000"_s, u"TTK/T01/ERUB52525.00/X"_s} + standardTaxes,
                {}, Outcome::Converted},
        RunCase{"NoEquivalentLine",
                spr(u"FXP/R,FC-USD"_s, segment + u"FARE  F USD    566.00\n"_s + twoTaxes + fvLh), {},
                {}, {},
                QStringList{u"TTI/T01/K1"_s + u"92.8000"_s, u"TTK/T01/ERUB52525.00/X"_s} +
                    standardTaxes,
                {}, Outcome::Converted},
        RunCase{"FareInTargetCurrencyReplacesTheFare",
                spr(u"FXP"_s, segment + u"FARE  F RUB  52000.00\n"_s + equivUsd + twoTaxes + fvLh),
                {}, {}, {},
                QStringList{u"TTI/T01/K1"_s, u"TTI/T01/K2"_s, u"TTK/T01/O"_s, u"TTK/T01/X"_s,
                            u"TTK/T01/E"_s, u"TTK/T01/FRUB52000.00/X"_s} +
                    standardTaxes,
                {}, Outcome::Converted},
        RunCase{"FareInTargetCurrencyWithoutReplaceFare",
                spr(u"FXP"_s, segment + u"FARE  F RUB  52000.00\n"_s + equivUsd + twoTaxes + fvLh),
                {}, [](base::Settings& s) { s.replaceFare = false; }, {},
                QStringList{u"TTI/T01/K1"_s, u"TTI/T01/K2"_s, u"TTK/T01/O"_s, u"TTK/T01/X"_s,
                            u"TTK/T01/E"_s} +
                    standardTaxes,
                {}, Outcome::Converted},
        RunCase{"ConvertedFareNotPositive",
                spr(u"FXP"_s, segment + u"FARE  F USD      0.00\n"_s + twoTaxes + fvLh), {}, {}, {},
                QStringList{u"TTI/T01/K192.8000"_s, u"TTK/T01/O"_s, u"TTK/T01/X"_s, u"TTK/T01/E"_s} +
                    standardTaxes,
                {}, Outcome::Converted},
        RunCase{"EquivalentOfZeroCountsAsAbsent",
                spr(u"FXP"_s, segment + u"FARE  F USD    566.00\nEQUIV   EUR      0.00\n"_s +
                                  twoTaxes + fvLh),
                {}, {}, {},
                QStringList{u"TTI/T01/K192.8000"_s, u"TTK/T01/ERUB52525.00/X"_s} + standardTaxes, {},
                Outcome::Converted},
        RunCase{"FvElementWinsOverTheSegment",
                spr(u"FXP"_s, u"  1   FRA SU 1420 Y 15MAR  FRASVO HK1  0720  1125\n"_s + fareEur +
                                  equivUsd + twoTaxes + fvLh),
                {}, {}, {}, QStringList{u"TTI/T01/K2USD92.8000"_s, u"TTK/T01/ERUB52525.00/X"_s} +
                                standardTaxes,
                {}, Outcome::Converted},
        RunCase{"SegmentCarrierWithoutFvElement",
                spr(u"FXP"_s, u"  1   FRA SU 1420 Y 15MAR  FRASVO HK1  0720  1125\n"_s + fareEur +
                                  equivUsd + twoTaxes),
                {}, {}, {}, {},
                {u"Currency rate not found !\r\n\r\nBefore convert SPR please type\r\n"
                 u"rate from USD to RUB on the SU airline."_s},
                Outcome::Stopped},
        RunCase{"NoTaxLinesTakesTheBaseCurrency",
                spr(u"FXP"_s, segment + fareEur + equivUsd + fvLh), {}, {}, {},
                {u"TTI/T01/K2USD92.8000"_s, u"TTK/T01/ERUB52525.00/X"_s}, {}, Outcome::Converted},
        RunCase{"SevenTaxesInTwoCommands",
                spr(u"FXP"_s, segment + fareEur + equivUsd +
                                  u"TX001 X USD     1.00AA  TX002 X USD     1.00BB  TX003 X USD     1.00CC\n"
                                  u"TX004 X USD     1.00DD  TX005 X USD     1.00EE  TX006 X USD     1.00FF\n"
                                  u"TX007 X USD     1.00GG\n"_s +
                                  fvLh),
                {}, {}, {},
                {u"TTI/T01/K2USD92.8000"_s, u"TTK/T01/ERUB52525.00/X"_s,
                 u"TTK/T01/XRUB93.00AA/XRUB93.00BB/XRUB93.00CC/XRUB93.00DD"_s,
                 u"TTK/T01/XRUB93.00EE/XRUB93.00FF/XRUB93.00GG"_s},
                {}, Outcome::Converted},
        RunCase{"TaxesOneTwoThreeFiveInOneCommand",
                spr(u"FXP"_s, segment + fareEur + equivUsd +
                                  u"TX001 X USD     1.00AA  TX002 P USD     1.00BB  TX003 X USD     1.00CC\n"
                                  u"TX005 X USD     1.00EE  TX006 X RUB    50.00FF\n"_s +
                                  fvLh),
                {}, {}, {},
                {u"TTI/T01/K2USD92.8000"_s, u"TTK/T01/ERUB52525.00/X"_s,
                 u"TTK/T01/XRUB93.00AA/PRUB93.00BB/XRUB93.00CC/XRUB93.00EE"_s},
                {}, Outcome::Converted},
        // Mended: every page of the record is read, not only the first two.
        RunCase{"TwoPagesOneMd", pagedRecord(2), {}, {}, {u"update FARE_CURRENCY_RATE set CARRIER_CODE = 'SU'"_s},
                {u"MD"_s, u"TTI/T01/K2USD92.8000"_s, u"TTK/T01/ERUB52525.00/X"_s,
                 u"TTK/T01/XRUB1262.00YQ/XRUB409.00DE/XRUB2348.00RI"_s},
                {}, Outcome::Converted},
        RunCase{"ThreePagesEveryTaxAndTheFvElement", pagedRecord(3), {}, {},
                {u"update FARE_CURRENCY_RATE set CARRIER_CODE = 'SU'"_s},
                {u"MD"_s, u"MD"_s, u"TTI/T01/K2USD92.8000"_s, u"TTK/T01/ERUB52525.00/X"_s,
                 u"TTK/T01/XRUB1262.00YQ/XRUB409.00DE/XRUB2348.00RI/XRUB288.00UH"_s,
                 u"TTK/T01/XRUB195.00OY"_s},
                {}, Outcome::Converted},
        RunCase{"TwentyPagesAreRead", pagedRecord(pricing::MaxRecordPages), {}, {},
                {u"update FARE_CURRENCY_RATE set CARRIER_CODE = 'SU'"_s},
                mdTimes(pricing::MaxRecordPages - 1) +
                    QStringList{u"TTI/T01/K2USD92.8000"_s, u"TTK/T01/ERUB52525.00/X"_s,
                                u"TTK/T01/XRUB1262.00YQ/XRUB409.00DE/XRUB2348.00RI/XRUB288.00UH"_s,
                                u"TTK/T01/XRUB195.00OY"_s},
                {}, Outcome::Converted},
        RunCase{"MoreThanTwentyPagesStopBeforeWriting", pagedRecord(pricing::MaxRecordPages + 1), {},
                {}, {u"update FARE_CURRENCY_RATE set CARRIER_CODE = 'SU'"_s},
                mdTimes(pricing::MaxRecordPages - 1),
                {u"The SPR was not converted: the record continues beyond 20 pages (\"MD\" was sent "
                 u"19 times), so it cannot be read whole\r\n\r\nNothing was written to the record."_s},
                Outcome::Failed},
        // Mended: an update command the host refuses stops the run at once, and the
        // message says so; the run used to report the record as converted.
        RunCase{"RefusedRateCommandStopsAtOnce", // velmora-term knows no record 02
                QString(standardRecord()).replace(u"SPR00001"_s, u"SPR00002"_s), {}, {}, {},
                {u"TTI/T02/K2USD92.8000"_s},
                {u"The SPR was not converted: the host refused the command TTI/T02/K2USD92.8000 "
                 u"with the answer \"INVALID ENTRY - CHECK FORMAT\" (setting REFUSALREGEXP)"
                 u"\r\n\r\nThe record may be partly converted. These commands were sent:\r\n"
                 u"TTI/T02/K2USD92.8000\r\n\r\nCheck the record before ticketing."_s},
                Outcome::Failed},
        RunCase{"RefusedTaxCommandSendsNoFurtherTaxes",
                spr(u"FXP"_s, segment + fareEur + equivUsd +
                                  u"TX001 X USD     1.00AA  TX002 X USD     1.00BB  TX003 X USD     1.00CC\n"
                                  u"TX004 X USD     1.00DD  TX005 X USD     1.00EE\n"_s +
                                  fvLh),
                u"match TTK/T01/X.* => refused\nscreen refused\n\nTAX ELEMENT NOT ALLOWED\n>\n@end\n"_s,
                {}, {},
                {u"TTI/T01/K2USD92.8000"_s, u"TTK/T01/ERUB52525.00/X"_s,
                 u"TTK/T01/XRUB93.00AA/XRUB93.00BB/XRUB93.00CC/XRUB93.00DD"_s},
                {u"The SPR was not converted: the host refused the command "
                 u"TTK/T01/XRUB93.00AA/XRUB93.00BB/XRUB93.00CC/XRUB93.00DD with the answer "
                 u"\"TAX ELEMENT NOT ALLOWED\" (setting REFUSALREGEXP)\r\n\r\n"
                 u"The record may be partly converted. These commands were sent:\r\n"
                 u"TTI/T01/K2USD92.8000\r\nTTK/T01/ERUB52525.00/X\r\n"
                 u"TTK/T01/XRUB93.00AA/XRUB93.00BB/XRUB93.00CC/XRUB93.00DD\r\n\r\n"
                 u"Check the record before ticketing."_s},
                Outcome::Failed},
        RunCase{"RefusalPatternOfTheSiteDecides",
                QString(standardRecord()).replace(u"SPR00001"_s, u"SPR00002"_s),
                u"match TT[IK]/T02/.* => nosuch\nscreen nosuch\nNO SUCH RECORD\n>\n@end\n"_s,
                [](base::Settings& s) { s.refusalRegExp = u"(NO SUCH)"_s; }, {},
                {u"TTI/T02/K2USD92.8000"_s},
                {u"The SPR was not converted: the host refused the command TTI/T02/K2USD92.8000 "
                 u"with the answer \"NO SUCH RECORD\" (setting REFUSALREGEXP)"
                 u"\r\n\r\nThe record may be partly converted. These commands were sent:\r\n"
                 u"TTI/T02/K2USD92.8000\r\n\r\nCheck the record before ticketing."_s},
                Outcome::Failed},
        RunCase{"EmptyRefusalPatternTakesEveryAnswer",
                QString(standardRecord()).replace(u"SPR00001"_s, u"SPR00002"_s), {},
                [](base::Settings& s) { s.refusalRegExp.clear(); }, {},
                QStringList{u"TTI/T02/K2USD92.8000"_s, u"TTK/T02/ERUB52525.00/X"_s,
                            u"TTK/T02/XRUB1262.00YQ/XRUB409.00DE"_s},
                {}, Outcome::Converted},
        // Mended: a character inside the fare or equivalent amount stops the run; the
        // pattern used to end at it and the run wrote a tenth of the fare.
        RunCase{"StrayCharacterInsideTheEquivalentAmount",
                spr(u"FXP"_s, segment + fareEur + u"EQUIV   USD    56\u00ff6.00\n"_s + twoTaxes + fvLh),
                {}, {}, {}, {},
                {u"The SPR was not converted: the amount \"56\u00ff6.00\" of the EQUIV line "
                 u"\"EQUIV USD 56\u00ff6.00\" cannot be read\r\n\r\nNothing was written to the record."_s},
                Outcome::Failed},
        RunCase{"StrayCharacterAfterThePointOfTheEquivalent",
                spr(u"FXP"_s, segment + fareEur + u"EQUIV   USD    566.\u00ff50\n"_s + twoTaxes + fvLh),
                {}, {}, {}, {},
                {u"The SPR was not converted: the amount \"566.\u00ff50\" of the EQUIV line "
                 u"\"EQUIV USD 566.\u00ff50\" cannot be read\r\n\r\nNothing was written to the record."_s},
                Outcome::Failed},
        RunCase{"TabInsideTheEquivalentAmount",
                spr(u"FXP"_s, segment + fareEur + u"EQUIV   USD    5\t66.00\n"_s + twoTaxes + fvLh),
                {}, {}, {}, {},
                {u"The SPR was not converted: the amount \"5?66.00\" of the EQUIV line "
                 u"\"EQUIV USD 5?66.00\" cannot be read\r\n\r\nNothing was written to the record."_s},
                Outcome::Failed},
        RunCase{"ControlCharacterInsideTheFareAmount",
                spr(u"FXP"_s, segment + u"FARE  F EUR    52\u00010.00\n"_s + equivUsd + twoTaxes + fvLh),
                {}, {}, {}, {},
                {u"The SPR was not converted: the amount \"52?0.00\" of the FARE line "
                 u"\"FARE F EUR 52?0.00\" cannot be read\r\n\r\nNothing was written to the record."_s},
                Outcome::Failed},
        // Mended: Run on the host's acknowledgement of the last run (it holds the record
        // header) asks for the record; it used to send the agent to the fare patterns.
        RunCase{"HostsAcknowledgementAsksForTheRecord", u"SPR00001 UPDATED\n>"_s, {}, {}, {}, {},
                {u"The SPR was not converted: the screen shows no fare, equivalent or tax line; "
                 u"display the stored pricing record first\r\n\r\nNothing was written to the record."_s},
                Outcome::Failed},
        // The record's lines are there and the patterns miss them: the settings are named.
        RunCase{"FareAndEquivalentPatternsMissTheirLines", standardRecord(), {},
                [](base::Settings& s) {
                    s.fareRegExp = u"(FARE\\s{9}[A-Z]{3})"_s;
                    s.equivRegExp = u"(EQUIV\\s{9}[A-Z]{3})"_s;
                },
                {}, {},
                {u"The SPR was not converted: no fare or equivalent amount was recognised on the "
                 u"screen (settings FAREREGEXP and EQUIVREGEXP)\r\n\r\nNothing was written to the record."_s},
                Outcome::Failed},
        RunCase{"OnlyTaxLinesStillNameThePatterns",
                spr(u"FXP"_s, segment + twoTaxes + fvLh), {}, {}, {}, {},
                {u"The SPR was not converted: no fare or equivalent amount was recognised on the "
                 u"screen (settings FAREREGEXP and EQUIVREGEXP)\r\n\r\nNothing was written to the record."_s},
                Outcome::Failed},
        // Mended: without a carrier the message says so and names the settings that find
        // it; it used to ask for a rate "on the  airline".
        RunCase{"NoCarrierRecognised", spr(u"FXP"_s, fareEur + equivUsd + twoTaxes), {}, {}, {}, {},
                {u"Currency rate not found !\r\n\r\nNo carrier was recognised on the screen "
                 u"(settings SEGMENTFV and ELEMENTFV),\r\nand the rate from USD to RUB is kept per "
                 u"carrier."_s},
                Outcome::Stopped},
        RunCase{"NoSprHeader", u"TKT IMAGE 01 PETROV/IVAN MR\n>"_s, {}, {}, {}, {},
                {u"No cryptic SPR mask on screen"_s}, Outcome::Stopped},
        RunCase{"NoPromptEmptiesTheDisplay", spr(u"FXP"_s, segment).chopped(1), {}, {}, {}, {},
                {u"No cryptic SPR mask on screen"_s}, Outcome::Stopped},
        RunCase{"TargetEqualToSource", standardRecord(), {},
                [](base::Settings& s) { s.currencyTo = u"USD"_s; }, {}, {},
                {u"Source currency USD must be different from destination currency USD"_s},
                Outcome::Stopped},
        RunCase{"FareCurrencyDifferentFromTaxCurrency",
                spr(u"FXP"_s, segment + fareEur + equivUsd + u"TX001 X EUR    12.00YQ\n"_s + fvLh), {},
                {}, {}, {}, {u"Fare currency USD different from TAX currency EUR"_s},
                Outcome::Stopped},
        RunCase{"MissingRate", standardRecord(), {}, {},
                {u"delete from FARE_CURRENCY_RATE where CURRENCY_FROM = 'USD'"_s}, {},
                {rateNotFoundUsd}, Outcome::Stopped},
        RunCase{"TaxesThroughTheHost", standardRecord(), u"rate USD RUB 92.5"_s,
                [](base::Settings& s) { s.getTaxBsr = true; }, {},
                {u"FQC13.60USD/RUB"_s, u"FQC14USD/RUB"_s, u"FQC4.40USD/RUB"_s, u"FQC4USD/RUB"_s,
                 u"TTI/T01/K2USD92.8000"_s, u"TTK/T01/ERUB52525.00/X"_s,
                 u"TTK/T01/XRUB1295.00YQ/XRUB370.00DE"_s},
                {}, Outcome::Converted},
        RunCase{"TaxesThroughTheHostTruncated", standardRecord(), u"rate USD RUB 92.5 truncated"_s,
                [](base::Settings& s) { s.getTaxBsr = true; }, {},
                {u"FQC13.60USD/RUB"_s, u"FQC4.40USD/RUB"_s, u"TTI/T01/K2USD92.8000"_s,
                 u"TTK/T01/ERUB52525.00/X"_s, u"TTK/T01/XRUB1258.00YQ/XRUB407.00DE"_s},
                {}, Outcome::Converted},
        RunCase{"HostAnswerWithoutAmountFallsBackToTheRate", standardRecord(),
                u"on FQC14USD/RUB => norate\nscreen norate\nNO RATE AVAILABLE\n>\n@end\n"
                u"rate USD RUB 92.5"_s,
                [](base::Settings& s) { s.getTaxBsr = true; }, {},
                {u"FQC13.60USD/RUB"_s, u"FQC14USD/RUB"_s, u"FQC4.40USD/RUB"_s, u"FQC4USD/RUB"_s,
                 u"TTI/T01/K2USD92.8000"_s, u"TTK/T01/ERUB52525.00/X"_s,
                 u"TTK/T01/XRUB1262.00YQ/XRUB370.00DE"_s},
                {}, Outcome::Converted},
        RunCase{"OwnCurrencyOneRepricingForTwoTaxes",
                spr(u"FXP/R"_s, segment + fareEur + equivUsd +
                                    u"TX001 X USD    13.60YQ  TX002 X USD     4.40YR  TX003 X USD     2.00DE\n"_s +
                                    fvLh),
                repricingScreens, [](base::Settings& s) { s.getTaxOrgCurrency = true; },
                {u"insert into APPLIED_TAXES (TAX_CODE, CURRENCY_CODE, CARRIER_CODE) values ('YQ', 'EUR', '')"_s,
                 u"insert into APPLIED_TAXES (TAX_CODE, CURRENCY_CODE, CARRIER_CODE) values ('YR', 'EUR', 'LH')"_s},
                {u"FXX/R,FC-EUR"_s, u"FXT01"_s, u"TTI/T01/K2USD92.8000"_s, u"TTK/T01/ERUB52525.00/X"_s,
                 u"TTK/T01/XRUB1255.00YQ/XRUB402.00YR/XRUB186.00DE"_s},
                {}, Outcome::Converted},
        RunCase{"BothTaxFlagsTakeTheOwnCurrency",
                spr(u"FXP/R"_s, segment + fareEur + equivUsd +
                                    u"TX001 X USD    13.60YQ  TX002 X USD     4.40YR  TX003 X USD     2.00DE\n"_s +
                                    fvLh),
                repricingScreens + u"rate USD RUB 92.5"_s,
                [](base::Settings& s) {
                    s.getTaxOrgCurrency = true;
                    s.getTaxBsr = true;
                },
                {u"insert into APPLIED_TAXES (TAX_CODE, CURRENCY_CODE, CARRIER_CODE) values ('YQ', 'EUR', '')"_s,
                 u"insert into APPLIED_TAXES (TAX_CODE, CURRENCY_CODE, CARRIER_CODE) values ('YR', 'EUR', 'LH')"_s},
                {u"FXX/R,FC-EUR"_s, u"FXT01"_s, u"TTI/T01/K2USD92.8000"_s, u"TTK/T01/ERUB52525.00/X"_s,
                 u"TTK/T01/XRUB1255.00YQ/XRUB402.00YR/XRUB186.00DE"_s},
                {}, Outcome::Converted},
        RunCase{"PricingCommandWithoutFareCalculationCurrency",
                spr(u"FXP"_s, segment + fareEur + equivUsd + u"TX001 X USD    13.60YQ\n"_s + fvLh),
                repricingScreens, [](base::Settings& s) { s.getTaxOrgCurrency = true; },
                {u"insert into APPLIED_TAXES (TAX_CODE, CURRENCY_CODE, CARRIER_CODE) values ('YQ', 'EUR', '')"_s},
                {u"FXX/R,FC-EUR"_s, u"FXT01"_s, u"TTI/T01/K2USD92.8000"_s, u"TTK/T01/ERUB52525.00/X"_s,
                 u"TTK/T01/XRUB1255.00YQ"_s},
                {}, Outcome::Converted},
        RunCase{"PricingCommandNotFx",
                spr(u"PQ1"_s, segment + fareEur + equivUsd + u"TX001 X USD    13.60YQ\n"_s + fvLh),
                repricingScreens, [](base::Settings& s) { s.getTaxOrgCurrency = true; },
                {u"insert into APPLIED_TAXES (TAX_CODE, CURRENCY_CODE, CARRIER_CODE) values ('YQ', 'EUR', '')"_s},
                {u"FXX/R,FC-EUR"_s, u"FXT01"_s, u"TTI/T01/K2USD92.8000"_s, u"TTK/T01/ERUB52525.00/X"_s,
                 u"TTK/T01/XRUB1255.00YQ"_s},
                {}, Outcome::Converted},
        RunCase{"PricingCommandWithItsOwnFareCalculationCurrency",
                spr(u"FXP/R,FC-GBP/S1"_s, segment + fareEur + equivUsd +
                                              u"TX001 X USD    13.60YQ\n"_s + fvLh),
                u"on FXX/R,FC-EUR/S1 => summary then summary\n"_s + repricingScreens.mid(repricingScreens.indexOf(u"on FXT01"_s)),
                [](base::Settings& s) { s.getTaxOrgCurrency = true; },
                {u"insert into APPLIED_TAXES (TAX_CODE, CURRENCY_CODE, CARRIER_CODE) values ('YQ', 'EUR', '')"_s},
                {u"FXX/R,FC-EUR/S1"_s, u"FXT01"_s, u"TTI/T01/K2USD92.8000"_s,
                 u"TTK/T01/ERUB52525.00/X"_s, u"TTK/T01/XRUB1255.00YQ"_s},
                {}, Outcome::Converted},
        // Mended: a tax levied in the target currency converts at 1; the run used to ask
        // the host for a rate from RUB to RUB and stop without one.
        RunCase{"OwnCurrencyEqualToTheTargetConvertsAtOne",
                spr(u"FXP/R,FC-EUR"_s, segment + fareEur + equivUsd + u"TX001 X USD    25.30RI\n"_s + fvLh),
                uR"(on FXX/R,FC-RUB => summary then summary
on FXT01 => repriced then repriced
screen summary
 * FARE BASIS *  DISC    *  PSGR      * FARE<
>
@end
screen repriced
TKT IMAGE 01 PETROV/IVAN MR
     AL FLGT  BK T DATE  TIME  FARE BASIS      NVB  NVA   BG
 FRA
 SVO LH 1420  Y  O 15MAR 0720  YOWEU           15MAR15MAR 1P

RUB 52185.00      15MAR26FRA LH MOW52185.00END
RUB 52185.00
RUB  2350.00RI


RUB 54535.00
>
@end
)"_s,
                [](base::Settings& s) { s.getTaxOrgCurrency = true; },
                {u"insert into APPLIED_TAXES (TAX_CODE, CURRENCY_CODE, CARRIER_CODE) values ('RI', 'RUB', '')"_s},
                {u"FXX/R,FC-RUB"_s, u"FXT01"_s, u"TTI/T01/K2USD92.8000"_s, u"TTK/T01/ERUB52525.00/X"_s,
                 u"TTK/T01/XRUB2350.00RI"_s},
                {}, Outcome::Converted},
        // Mended: an own currency without any rate stops the run before the update
        // commands; it used to write those taxes as 0.
        RunCase{"OwnCurrencyWithoutRateStopsBeforeWriting",
                spr(u"FXP/R"_s, segment + fareEur + equivUsd + u"TX001 X USD    13.60YQ\n"_s + fvLh),
                {}, [](base::Settings& s) { s.getTaxOrgCurrency = true; },
                {u"insert into APPLIED_TAXES (TAX_CODE, CURRENCY_CODE, CARRIER_CODE) values ('YQ', 'GBP', '')"_s},
                {u"FQC10.00GBP/RUB"_s, u"FQC10GBP/RUB"_s, u"FQC10000.00GBP/RUB"_s,
                 u"FQC10000GBP/RUB"_s},
                {u"Currency rate not found !\r\n\r\nBefore convert SPR please type\r\n"
                 u"rate from GBP to RUB on the LH airline."_s},
                Outcome::Stopped},
        // Mended: a fare rule that fails stops the run with a message, and nothing is
        // written; the run used to end silently.
        RunCase{"FailingFareRuleSendsNothing", standardRecord(), {}, {},
                {u"update FARE_CURRENCY set CURRENCY_FARE_RULE = 'VALUE/0' where CURRENCY_CODE = 'RUB'"_s},
                {},
                {u"The SPR was not converted: The fare rounding rule \"VALUE/0\" of RUB could not be "
                 u"evaluated: Floating point division by zero\r\n\r\nNothing was written to the record."_s},
                Outcome::Failed},
        // Mended: a tax rule that fails stops the run before anything is written; it used
        // to leave that tax out and convert the others.
        RunCase{"FailingTaxRuleSendsNothing", standardRecord(), {}, {},
                {u"update FARE_CURRENCY set CURRENCY_TAX_RULE = 'SQRT(0-VALUE)' where CURRENCY_CODE = 'RUB'"_s},
                {},
                {u"The SPR was not converted: The tax rounding rule \"SQRT(0-VALUE)\" of RUB could not be "
                 u"evaluated for tax 1 (YQ): Invalid floating point operation\r\n\r\n"
                 u"Nothing was written to the record."_s},
                Outcome::Failed}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RunFixture, RejectedPatternNamesItsSetting)
{
    startTerminal({"", standardRecord(), {}, {}, {}, {}, {}, Outcome::Failed});
    const struct {
        QString* (*setting)(base::Settings&);
        QString message;
    } cases[] = {
        {[](base::Settings& s) { return &s.equivRegExp; },
         u"The SPR was not converted: the pattern EQUIVREGEXP \"(INVALID\" cannot be used: "_s},
        // Checked before the first update command goes out.
        {[](base::Settings& s) { return &s.refusalRegExp; },
         u"The SPR was not converted: the pattern REFUSALREGEXP \"(INVALID\" cannot be used: "_s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        ui.messages.clear();
        auto a = application();
        *c.setting(a->settings()) = u"(INVALID"_s;
        EXPECT_EQ(a->btnRunClick().outcome, Outcome::Failed);
        ASSERT_EQ(ui.messages.size(), 1);
        EXPECT_TRUE(ui.messages[0].startsWith(c.message)) << ui.messages[0].toStdString();
        EXPECT_TRUE(ui.messages[0].endsWith(u"Nothing was written to the record."_s));
        EXPECT_FALSE(terminal.journal().contains(u"TTI/T01/K2USD92.8000"_s));
    }
}

TEST_F(RunFixture, SecondPageIsMergedOnce)
{
    // velmora-term ends every page but the last with ")>".
    const QString page1 = sprHeader + u"FXP/R,FC-EUR\n\n"_s + segment + fareEur + equivUsd.chopped(1);
    const QString page2 = u"\n"_s                          // blank, first, already there: dropped
                          u"fare  f eur    520.00\n"_s      // there already, in another case
                          + twoTaxes +                     // new
                          u"\n"_s                          // blank but not the first: kept
                          u"TX003 X USD     2.00UH >\n"_s   // holds ">": dropped
                          + fvLh + u">"_s;
    startTerminal({"", page1 + u"\n@page\n"_s + page2, {}, {}, {}, {}, {}, Outcome::Converted});
    auto a = application();
    EXPECT_EQ(a->btnRunClick().outcome, Outcome::Converted);
    EXPECT_EQ(terminal.journal(),
              QStringList({u"MD"_s, u"TTI/T01/K2USD92.8000"_s, u"TTK/T01/ERUB52525.00/X"_s}) +
                  standardTaxes);
    EXPECT_EQ(a->pricing().mHostAnswer.lines(),
              QStringList({sprHeader.section(u'\n', 0, 0), sprHeader.section(u'\n', 1, 1),
                           u"FXP/R,FC-EUR"_s, QString(), segment.chopped(1), fareEur.chopped(1),
                           equivUsd.chopped(1), twoTaxes.chopped(1), QString(), fvLh.chopped(1)}));
}

TEST_F(RunFixture, HostFailureWhileSendingListsWhatWasSent)
{
    // The tax command gets no answer within the link's time limit.
    startTerminal({"", standardRecord(),
                   u"match TTK/T01/X.* => ok wait 5000\n"_s, {}, {}, {}, {}, Outcome::Failed});
    auto a = application(std::chrono::milliseconds(500));
    EXPECT_EQ(a->btnRunClick().outcome, Outcome::Failed);
    ASSERT_EQ(ui.messages.size(), 1);
    const QString& m = ui.messages[0];
    EXPECT_TRUE(m.startsWith(u"The SPR was not converted: the host terminal failed: "_s)) << m.toStdString();
    // The tax command is listed too: the host got it and may have acted on it.
    EXPECT_TRUE(m.endsWith(u"\r\n\r\nThe record may be partly converted. These commands were sent:\r\n"
                           u"TTI/T01/K2USD92.8000\r\nTTK/T01/ERUB52525.00/X\r\n"
                           u"TTK/T01/XRUB1262.00YQ/XRUB409.00DE\r\n\r\n"
                           u"Check the record before ticketing."_s))
        << m.toStdString();
}

TEST_F(RunFixture, TerminalNotRunning)
{
    auto a = application();
    EXPECT_EQ(a->btnRunClick().outcome, Outcome::Stopped);
    EXPECT_EQ(ui.messages, QStringList{u"+Script object not installed or not registered."_s});
}

TEST_F(RunFixture, DatabaseThatCannotOpenReachesTheCaller)
{
    startTerminal({"", standardRecord(), {}, {}, {}, {}, {}, Outcome::Stopped});
    auto a = application();
    a->database().setLocation(folder.filePath(u"missing/none.gdb"_s), u"sysdba"_s, u"x"_s);
    EXPECT_THROW(a->btnRunClick(), refdata::DbError);
    EXPECT_TRUE(terminal.journal().isEmpty());
    // The run is in the conversion journal with the error the caller reports.
    const pricing::History history = pricing::readHistory(a->journalFile(), {});
    ASSERT_EQ(history.entries.size(), 1u);
    EXPECT_EQ(history.entries[0].outcome, pricing::journal::Failed);
    ASSERT_EQ(history.entries[0].messages.size(), 1);
    EXPECT_TRUE(history.entries[0].messages[0].contains(u"none.gdb"_s))
        << history.entries[0].messages[0].toStdString();
}

// --- the conversion journal ---------------------------------------------------------

TEST_F(RunFixture, JournalTellsTheRecordItsRatesRulesAndCommands)
{
    startTerminal({"", standardRecord(), {}, {}, {}, {}, {}, Outcome::Converted});
    auto a = application();
    ASSERT_EQ(a->btnRunClick().outcome, Outcome::Converted);
    const pricing::History history = pricing::readHistory(a->journalFile(), {});
    ASSERT_EQ(history.entries.size(), 1u);
    const pricing::JournalEntry& e = history.entries[0];
    EXPECT_EQ(e.user, base::systemUserName());
    EXPECT_LE(std::abs(e.time.secsTo(QDateTime::currentDateTime())), 120);
    EXPECT_EQ((QStringList{e.record, e.carrier, e.from, e.to}),
              (QStringList{u"01"_s, u"LH"_s, u"USD"_s, u"RUB"_s}));
    ASSERT_EQ(e.rates.size(), 1u);
    EXPECT_EQ(e.rates[0].source, rates::RateUse::Source::Database);
    EXPECT_EQ(e.rates[0].rate, 92.8);
    EXPECT_EQ(e.rates[0].validFrom, QDate::currentDate().addDays(-1));
    EXPECT_EQ(e.rates[0].fareRule, u"CEIL(VALUE/5)*5"_s);
    // The fare's equivalent and each tax, with the amount each rule rounded.
    ASSERT_EQ(e.rules.size(), 3u);
    const struct {
        QString use, rule;
        double amount, result;
    } rules[] = {{u"fare"_s, u"CEIL(VALUE/5)*5"_s, 566.0 * 92.8, 52525},
                 {u"tax 1 YQ"_s, u"CEIL(INT(VALUE*10)/10)"_s, 13.6 * 92.8, 1262},
                 {u"tax 2 DE"_s, u"CEIL(INT(VALUE*10)/10)"_s, 4.4 * 92.8, 409}};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(e.rules[i].use, rules[i].use);
        EXPECT_EQ(e.rules[i].rule, rules[i].rule);
        EXPECT_EQ(e.rules[i].amount, rules[i].amount);
        EXPECT_EQ(e.rules[i].result, rules[i].result);
    }
    EXPECT_EQ(e.sent, QStringList({u"TTI/T01/K2USD92.8000"_s, u"TTK/T01/ERUB52525.00/X"_s}) +
                          standardTaxes);
}

TEST_F(RunFixture, JournalTellsTheRateTheAgentChose)
{
    addRate(u"USD"_s, u"RUB"_s, u"LH"_s, 93.25);
    ui.rateAnswers.push_back(u"93.2500"_s);
    startTerminal({"", standardRecord(), {}, {}, {}, {}, {}, Outcome::Converted});
    auto a = application();
    ASSERT_EQ(a->btnRunClick().outcome, Outcome::Converted);
    const pricing::History history = pricing::readHistory(a->journalFile(), {});
    ASSERT_EQ(history.entries.size(), 1u);
    ASSERT_EQ(history.entries[0].rates.size(), 1u);
    const rates::RateUse& use = history.entries[0].rates[0];
    EXPECT_EQ(use.source, rates::RateUse::Source::Choice);
    EXPECT_EQ(use.offered, 2);
    EXPECT_EQ(use.rate, 93.25);
}

// A terminal on which the record is converted twice: the answer to each update command
// shows the record again.
const RunCase twoRuns{"", standardRecord(), u"match TT[IK]/T01/.* => spr"_s, {}, {}, {}, {},
                      Outcome::Converted};

// A journal that cannot be written never stops a run, and the agent is told once.
TEST_F(RunFixture, JournalThatCannotBeWrittenIsSaidOnceAndRunsGoOn)
{
    if (!QFile::exists(u"/dev/full"_s))
        GTEST_SKIP() << "this machine has no /dev/full";
    // Every write to /dev/full fails as on a full disk.
    ASSERT_TRUE(QFile::link(u"/dev/full"_s, folder.filePath(u"sprrate-journal.jsonl"_s)));
    startTerminal(twoRuns);
    auto a = application();
    EXPECT_EQ(a->btnRunClick().outcome, Outcome::Converted);
    EXPECT_EQ(a->btnRunClick().outcome, Outcome::Converted);
    ASSERT_EQ(ui.messages.size(), 1) << ui.messages.join(u"\n"_s).toStdString();
    EXPECT_TRUE(ui.messages[0].startsWith(u"The conversion journal \""_s +
                                          QDir::toNativeSeparators(a->journalFile().path()) +
                                          u"\" could not be written: "_s))
        << ui.messages[0].toStdString();
    EXPECT_EQ(terminal.journal().count(u"TTI/T01/K2USD92.8000"_s), 2);
}

// JOURNALSIZE in megabytes: a journal beyond it starts anew, the full one kept as the old.
TEST_F(RunFixture, JournalStartsAnewAtTheSizeOfTheSettings)
{
    const QString path = folder.filePath(u"sprrate-journal.jsonl"_s);
    const QByteArray line = QByteArray(1023, 'x') + '\n';
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        for (int i = 0; i < 2048; ++i) // 2 MB of earlier lines
            f.write(line);
    }
    startTerminal(twoRuns);
    testsupport::writeSettingsFile(folder, "[MAIN]\nDATABASE=" + s_db->path().toUtf8() +
                                               "\nJOURNALSIZE=3\n");
    host::registerTermLink(registry, {terminal.socket(), std::chrono::seconds(30)});
    auto a = testsupport::startApplication(folder, registry, ui);
    ASSERT_EQ(a->journalFile().path(), path);
    ASSERT_EQ(a->btnRunClick().outcome, Outcome::Converted);
    EXPECT_FALSE(QFile::exists(a->journalFile().oldPath())) << "3 MB are not reached";
    testsupport::writeSettingsFile(folder, "[MAIN]\nDATABASE=" + s_db->path().toUtf8() +
                                               "\nJOURNALSIZE=2\n");
    a->readSettings();
    ASSERT_EQ(a->btnRunClick().outcome, Outcome::Converted);
    // The old file: the earlier lines and the first run's entry; the new: the second's.
    QFile old(a->journalFile().oldPath());
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    const QList<QByteArray> oldLines = old.readAll().split('\n');
    ASSERT_EQ(oldLines.size(), 2048 + 2);
    EXPECT_TRUE(pricing::journalEntry(oldLines[2048]));
    const pricing::History history = pricing::readHistory(a->journalFile(), {});
    EXPECT_EQ(history.unreadable, 2048) << "the earlier lines are no entries";
    ASSERT_EQ(history.entries.size(), 2u);
    EXPECT_EQ(QFile(path).size(), pricing::journalLine(history.entries[0]).size() + 1)
        << "the new file holds the one entry";
}

} // namespace
