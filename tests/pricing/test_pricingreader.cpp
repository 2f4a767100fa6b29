#include "host/hostlink.h"
#include "pricing/pricingreader.h"
#include "scenario.h"
#include "support/qstringprint.h"
#include "support/recordinginteraction.h"
#include "support/screenbuilder.h"
#include "support/scriptedhost.h"

#include <gtest/gtest.h>
#include <vector>

using namespace pricing;
using namespace Qt::Literals::StringLiterals;
using testsupport::ScreenBuilder;

namespace {

// The parts of a priced display, each at the columns the reader takes it from.
QString h5()
{
    return HeaderH5.toString();
}

ScreenBuilder& segment(ScreenBuilder& b, const QString& airline, const QString& date)
{
    return b.at({{2, u"FRA"_s},
                 {6, airline},
                 {9, u"1420"_s},
                 {15, u"Y"_s},
                 {18, u"O"_s},
                 {20, date},
                 {26, u"0720"_s},
                 {32, u"YOWEU"_s}});
}

ScreenBuilder& fare(ScreenBuilder& b, const QString& currency, const QString& amount,
                    const QString& date, const QString& calc)
{
    return b.at({{1, currency}, {4, amount}, {19, date}, {26, calc}});
}

ScreenBuilder& box(ScreenBuilder& b, const QString& currency, const QString& amount,
                   const QString& code = {})
{
    return b.at({{1, currency}, {4, amount}, {13, code}});
}

// Header, the skipped line, one segment of LH, the blank line.
ScreenBuilder priced()
{
    ScreenBuilder b;
    b.line(u"TKT IMAGE 01"_s).line(h5()).at({{2, u"FRA"_s}});
    segment(b, u"LH"_s, u"15MAR"_s);
    b.line(QString());
    return b;
}

// A fare block: fare, equivalent, three tax boxes, total.
ScreenBuilder& block(ScreenBuilder& b, std::initializer_list<std::pair<QString, QString>> boxes)
{
    fare(b, u"EUR"_s, u"   520.00"_s, u"15MAR26"_s, u"FRA LH MOW520.00END"_s);
    box(b, u"USD"_s, u"   566.00"_s);
    for (const auto& [amount, code] : boxes)
        box(b, u"USD"_s, amount, code);
    return box(b, u"USD"_s, u"   614.50"_s);
}

struct Tax {
    QString currency;
    double amount;
    QString code;
    bool present;
};

struct ReaderCase {
    const char* name;
    QString screen;
    int taxCount;
    QString fareCalc;
    QString firstCarrier;
    std::vector<Tax> taxes; // entries 1 to taxCount
    QString fareCurrency = u"EUR"_s;
    double fareAmount = 520;
};

void expectReading(const ReaderCase& c, const ScreenReading& r, const PricingModel& m)
{
    EXPECT_EQ(r.TaxCount, c.taxCount);
    EXPECT_EQ(r.FareCalc, c.fareCalc);
    EXPECT_EQ(m.FirstCarrier, c.firstCarrier);
    EXPECT_EQ(m.FareCurrency, c.fareCurrency);
    EXPECT_EQ(m.FareAmount, c.fareAmount);
    ASSERT_EQ(c.taxes.size(), std::size_t(c.taxCount));
    for (int k = 1; k <= MaxScreenTaxes; ++k) {
        SCOPED_TRACE(k);
        const ScreenTax& t = m.ScreenTaxes[std::size_t(k - 1)];
        const Tax expected = k <= c.taxCount ? c.taxes[std::size_t(k - 1)] : Tax{{}, 0, {}, false};
        EXPECT_EQ(t.Currency, expected.currency);
        EXPECT_EQ(t.Amount, expected.amount);
        EXPECT_EQ(t.Code, expected.code);
        EXPECT_EQ(t.Present, expected.present);
        EXPECT_EQ(t.ConvertedAmount, 0);
    }
    EXPECT_EQ(m.ConvertedFare, 0);
}

class Reader : public testing::TestWithParam<ReaderCase> {};

TEST_P(Reader, ReadsTheScreen)
{
    host::TextBuffer mHostAnswer;
    PricingModel model;
    // a reading starts from a reset model whatever the last one left
    model.ScreenTaxes[29] = {u"XXX"_s, 9, 9, u"ZZ XX"_s, true};
    model.FirstCarrier = u"ZZ"_s;
    model.FareAmount = 7;
    model.ConvertedFare = 7;
    const ScreenReading r = readPricingText(GetParam().screen, mHostAnswer, model);
    expectReading(GetParam(), r, model);
    EXPECT_EQ(mHostAnswer.lines(), host::splitLines(GetParam().screen));
}

const QString FareCalc1 = u"FRA LH MOW520.00END "_s;
const QString FiveEmptyPieces = u"     "_s; // equivalent, three boxes, total: blank columns 19-60

ScreenBuilder withBreakdown(std::initializer_list<QString> xtLines,
                            std::initializer_list<QString> continuation)
{
    ScreenBuilder b = priced();
    block(b, {{u"    13.60"_s, u"YQ"_s}, {u"     4.40"_s, u"DE"_s}, {u"    30.50"_s, u"XT"_s}});
    for (const QString& xt : xtLines)
        b.at({{19, u"XT"_s}, {22, xt}});
    for (const QString& more : continuation)
        b.at({{19, more}});
    b.line(u">"_s);
    return b;
}

const Tax YQ{u"USD"_s, 13.6, u"YQ XX"_s, true};
const Tax DE{u"USD"_s, 4.4, u"DE XX"_s, true};

ScreenBuilder manyTaxes()
{
    // 2 from the boxes, then 6 pairs on each of 5 breakdown lines: 32 in all
    ScreenBuilder b = priced();
    block(b, {{u"    13.60"_s, u"YQ"_s}, {u"     4.40"_s, u"DE"_s}, {u"    30.50"_s, u"XT"_s}});
    int n = 1;
    for (int l = 0; l < 5; ++l) {
        QString pairs;
        for (int p = 0; p < 6; ++p, ++n)
            pairs += u"EUR "_s + QString::number(n) + u".00AB "_s;
        if (l == 0)
            b.at({{19, u"XT"_s}, {22, pairs}});
        else
            b.at({{19, pairs}});
    }
    b.line(u">"_s);
    return b;
}

std::vector<Tax> manyTaxesRead()
{
    std::vector<Tax> taxes{YQ, DE};
    for (int n = 1; n <= 28; ++n)
        taxes.push_back({u"EUR"_s, double(n), u"AB XX"_s, true});
    return taxes;
}

INSTANTIATE_TEST_SUITE_P(
    Screens, Reader,
    testing::Values(
        ReaderCase{"noH5",
                   ScreenBuilder().line(u"X"_s).line(HeaderH0.toString()).text(),
                   0,
                   {},
                   {},
                   {},
                   {},
                   0},
        ReaderCase{"headerOnLineZeroOnly",
                   [] {
                       ScreenBuilder b;
                       b.line(h5()).line(QString());
                       segment(b, u"LH"_s, u"15MAR"_s);
                       b.line(QString());
                       return block(b, {{u"    13.60"_s, u"YQ"_s}}).text();
                   }(),
                   0,
                   u" "_s,
                   {},
                   {},
                   {},
                   0},
        ReaderCase{"segmentTableToTheEnd",
                   [] {
                       ScreenBuilder b;
                       b.line(u"TKT"_s).line(h5()).at({{2, u"FRA"_s}});
                       segment(b, u"SU"_s, u"01APR"_s);
                       return segment(b, u"LH"_s, u"02APR"_s).text();
                   }(),
                   0,
                   u" "_s,
                   u"SU"_s,
                   {},
                   {},
                   0},
        ReaderCase{"undatedSegmentsGiveNoCarrier",
                   [] {
                       ScreenBuilder b;
                       b.line(u"TKT"_s).line(h5()).at({{2, u"FRA"_s}});
                       segment(b, u"AA"_s, u"15Mar"_s); // month not upper case
                       segment(b, u"BB"_s, u"00MAR"_s); // day 0
                       segment(b, u"CC"_s, u"XXMAR"_s); // day no number
                       segment(b, u"DD"_s, u"15MRZ"_s); // no month
                       segment(b, u"EE"_s, u" 5MAR"_s); // one digit: a day
                       return segment(b, u"FF"_s, u"16MAR"_s).text();
                   }(),
                   0,
                   u" "_s,
                   u"EE"_s,
                   {},
                   {},
                   0},
        ReaderCase{"invalidFareDateIsFareCalculation",
                   [] {
                       ScreenBuilder b = priced();
                       fare(b, u"EUR"_s, u"   520.00"_s, u"31JUN26"_s, u"FRA LH MOW"_s);
                       box(b, u"USD"_s, u"    13.60"_s, u"YQ"_s);
                       return b.line(u">"_s).text();
                   }(),
                   0,
                   u"31JUN26FRA LH MOW  "_s,
                   u"LH"_s,
                   {},
                   {},
                   0},
        ReaderCase{"fareLineNeedsColumns15To18Blank",
                   [] {
                       ScreenBuilder b = priced();
                       b.at({{1, u"EUR"_s}, {4, u"   520.00"_s}, {16, u"*"_s}, {19, u"15MAR26"_s}});
                       return block(b, {{u"    13.60"_s, u"YQ"_s}}).text();
                   }(),
                   0,
                   {},
                   u"LH"_s,
                   {},
                   {},
                   0},
        ReaderCase{"blankTaxBoxesAreCounted",
                   [] {
                       ScreenBuilder b = priced();
                       return block(b, {{u"    13.60"_s, u"YQ"_s}, {{}, {}}, {{}, {}}})
                           .line(u">"_s)
                           .text();
                   }(),
                   3,
                   FareCalc1 + FiveEmptyPieces,
                   u"LH"_s,
                   {YQ, {u"USD"_s, 0, {}, false}, {u"USD"_s, 0, {}, false}}},
        ReaderCase{"taxWithoutCode",
                   [] {
                       ScreenBuilder b = priced();
                       return block(b, {{u"    13.60"_s, {}},
                                        {u"  4.40 "_s, u"DE"_s},
                                        {u"12,50"_s, u"UH"_s}})
                           .line(u">"_s)
                           .text();
                   }(),
                   3,
                   FareCalc1 + FiveEmptyPieces,
                   u"LH"_s,
                   {{u"USD"_s, 13.6, {}, true}, DE, {u"USD"_s, 0, {}, false}}},
        ReaderCase{"xtInTheThirdBoxIsNotATax",
                   withBreakdown({}, {}).text(),
                   2,
                   FareCalc1 + FiveEmptyPieces,
                   u"LH"_s,
                   {YQ, DE}},
        ReaderCase{"fareAmountNoNumber",
                   [] {
                       ScreenBuilder b = priced();
                       fare(b, u"EU"_s, u"  5,20.00"_s, u"15MAR26"_s, u"CALC"_s);
                       box(b, u"USD"_s, u"   566.00"_s);
                       box(b, u"USD"_s, u"    13.60"_s, u"YQ"_s);
                       return b.line(u">"_s).text();
                   }(),
                   3,
                   u"CALC   "_s,
                   u"LH"_s,
                   {YQ, {u">"_s, 0, {}, false}, {{}, 0, {}, false}},
                   u"EU "_s,
                   0},
        ReaderCase{"breakdownCurrencyCarriedToTheNextLine",
                   withBreakdown({u"EUR 12.50YQ EUR"_s}, {u"3.00UH"_s}).text(),
                   4,
                   FareCalc1 + FiveEmptyPieces,
                   u"LH"_s,
                   {YQ, DE, {u"EUR"_s, 12.5, u"YQ XX"_s, true}, {u"EUR"_s, 3, u"UH XX"_s, true}}},
        ReaderCase{"breakdownAmountTakesItsCodeFromTheNextLine",
                   withBreakdown({u"EUR 12.50"_s}, {u"YQ EUR 3.00UH"_s}).text(),
                   4,
                   FareCalc1 + FiveEmptyPieces,
                   u"LH"_s,
                   {YQ, DE, {u"EUR"_s, 12.5, u"YQ XX"_s, true}, {u"EUR"_s, 3, u"UH XX"_s, true}}},
        ReaderCase{"twoBlanksEndTheBreakdownLine",
                   withBreakdown({u"EUR 12.50YQ  EUR 3.00UH"_s}, {u"GBP 1.00OY"_s}).text(),
                   4,
                   FareCalc1 + FiveEmptyPieces,
                   u"LH"_s,
                   {YQ, DE, {u"EUR"_s, 12.5, u"YQ XX"_s, true}, {u"GBP"_s, 1, u"OY XX"_s, true}}},
        ReaderCase{"oddFieldLengthSkipsItAndTheNext",
                   withBreakdown({u"EURO 12.50YQ EUR 3.00UH X 1 GBP 1.00OY"_s}, {}).text(),
                   4,
                   FareCalc1 + FiveEmptyPieces,
                   u"LH"_s,
                   {YQ, DE, {u"EUR"_s, 3, u"UH XX"_s, true}, {u"GBP"_s, 1, u"OY XX"_s, true}}},
        ReaderCase{"breakdownAmountNoNumberEndsTheReading",
                   withBreakdown({u"EUR 1.2.3YQ EUR 3.00UH"_s}, {}).text(),
                   3,
                   FareCalc1 + FiveEmptyPieces,
                   u"LH"_s,
                   {YQ, DE, {u"EUR"_s, 0, {}, false}}},
        ReaderCase{"laterXtLinesStartNewBlocks",
                   [] {
                       ScreenBuilder b = priced();
                       block(b, {{u"    13.60"_s, u"YQ"_s},
                                 {u"     4.40"_s, u"DE"_s},
                                 {u"    30.50"_s, u"XT"_s}});
                       b.at({{19, u"XT"_s}, {22, u"EUR 1.00YQ"_s}});
                       b.at({{1, u"EUR"_s}, {22, u"NOT IN A BLOCK"_s}}); // ends the block
                       b.at({{1, u"EUR"_s}, {19, u"MORE CALC"_s}});      // no fare calculation
                       b.at({{19, u"XT"_s}, {22, u"EUR 2.00UH"_s}});
                       return b.line(u">"_s).text();
                   }(),
                   4,
                   FareCalc1 + FiveEmptyPieces,
                   u"LH"_s,
                   {YQ, DE, {u"EUR"_s, 1, u"YQ XX"_s, true}, {u"EUR"_s, 2, u"UH XX"_s, true}}},
        ReaderCase{"moreThanThirtyTaxesKeepsTheFirstThirty", manyTaxes().text(), 30,
                   FareCalc1 + FiveEmptyPieces, u"LH"_s, manyTaxesRead()}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReaderSample, ReadsTheShippedTicketImageWhateverItsLineBreaks)
{
    const velmora::Scenario s =
        velmora::loadScenario(QString::fromUtf8(SPRRATE_SAMPLES_DIR) + u"/ticket-image.scn"_s);
    const QString lf = s.screens.at(u"ticket"_s).pages.at(0);
    for (const QString& text :
         {lf, QString(lf).replace(u'\n', u"\r\n"_s), QString(lf).replace(u'\n', u'\r')}) {
        host::TextBuffer mHostAnswer;
        PricingModel model;
        const ScreenReading r = readPricingText(text, mHostAnswer, model);
        expectReading({"sample",
                       {},
                       5,
                       u"FRA LH MOW260.00LH FRA260.00NUC520.00END ROE1.000000     "_s,
                       u"LH"_s,
                       {YQ,
                        DE,
                        {u"USD"_s, 25.3, u"RI XX"_s, true},
                        {u"USD"_s, 3.1, u"UH XX"_s, true},
                        {u"USD"_s, 2.1, u"OY XX"_s, true}}},
                      r, model);
    }
}

class ReadPricingScreenTest : public testing::Test {
protected:
    ReadPricingScreenTest() { scripted.registerIn(registry); }

    testsupport::ScriptedHost scripted;
    host::AutomationRegistry registry;
    testsupport::RecordingInteraction ui;
    host::HostLink link{registry, ui};
    host::TextBuffer mHostAnswer;
    PricingModel model;
};

TEST_F(ReadPricingScreenTest, ReadsTheCurrentDisplayWithoutSendingCommands)
{
    scripted.display = withBreakdown({u"EUR 12.50YQ"_s}, {}).text();
    const ScreenReading r = ReadPricingScreen(link, mHostAnswer, model);
    EXPECT_EQ(r.TaxCount, 3);
    EXPECT_EQ(model.ScreenTaxes[2].Code, u"YQ XX"_s);
    EXPECT_TRUE(link.HostConnected());
    EXPECT_TRUE(scripted.sent.isEmpty());
    EXPECT_TRUE(ui.messages.isEmpty());
}

TEST_F(ReadPricingScreenTest, NoHostResetsTheModelAndReadsNothing)
{
    model.FareAmount = 5;
    model.ScreenTaxes[0].Present = true;
    mHostAnswer.setText(u"KEPT"_s);
    scripted.count = 0;
    scripted.display = withBreakdown({}, {}).text();
    const ScreenReading r = ReadPricingScreen(link, mHostAnswer, model);
    EXPECT_EQ(r.TaxCount, 0);
    EXPECT_TRUE(r.FareCalc.isEmpty());
    EXPECT_EQ(model.FareAmount, 0);
    EXPECT_FALSE(model.ScreenTaxes[0].Present);
    EXPECT_EQ(mHostAnswer.text(), u"KEPT\r\n"_s);
    EXPECT_EQ(ui.messages, QStringList{host::ConnectionErrorMessage.toString()});
}

TEST_F(ReadPricingScreenTest, AFailingDisplayEndsTheReadingQuietly)
{
    model.FareAmount = 5;
    scripted.failLastResponse = true;
    const ScreenReading r = ReadPricingScreen(link, mHostAnswer, model);
    EXPECT_EQ(r.TaxCount, 0);
    EXPECT_EQ(model.FareAmount, 0);
    EXPECT_TRUE(ui.messages.isEmpty());
}

} // namespace
