// velmora-term's scenario files and the session it plays, in-process.
#include "base/numbers.h"
#include "base/settings.h"
#include "host/hostlink.h"
#include "scenario.h"
#include "support/recordinginteraction.h"
#include "support/scenariohost.h"
#include "terminalsession.h"

#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace velmora;
using namespace Qt::Literals::StringLiterals;

namespace {

QString samplePath(const char16_t* name)
{
    return QString::fromUtf8(SPRRATE_SAMPLES_DIR) + u"/"_s + QString::fromUtf16(name);
}

struct BadScenario {
    const char* name;
    QString text;
    QString error; // the start of the message
};

class ScenarioErrors : public testing::TestWithParam<BadScenario> {};

TEST_P(ScenarioErrors, NameTheLineOfTheFault)
{
    try {
        parseScenario(GetParam().text);
        FAIL() << "accepted";
    } catch (const ScenarioError& e) {
        EXPECT_TRUE(e.message().startsWith(GetParam().error)) << e.message().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, ScenarioErrors,
    testing::Values(
        BadScenario{"unknownDirective", u"# x\nsesions 1\n"_s, u"line 2: unknown directive"_s},
        BadScenario{"negativeSessions", u"sessions -1\n"_s, u"line 1: sessions must be"_s},
        BadScenario{"tooManySessions", u"sessions 100\n"_s, u"line 1: sessions must be"_s},
        BadScenario{"sessionsNotANumber", u"sessions one\n"_s, u"line 1: sessions must be"_s},
        BadScenario{"ruleWithoutArrow", u"on MD ok\n"_s, u"line 1: expected COMMAND"_s},
        BadScenario{"ruleWithoutScreen", u"on MD =>  \n"_s, u"line 1: expected COMMAND"_s},
        BadScenario{"badPattern", u"match FX( => a\n"_s, u"line 1: bad pattern"_s},
        BadScenario{"unknownScreen", u"\non X => nowhere\n"_s, u"line 2: no screen \"nowhere\""_s},
        BadScenario{"unknownThen", u"screen a\n@end\non X => a then b\n"_s,
                    u"line 3: no screen \"b\""_s},
        BadScenario{"waitWithoutValue", u"screen a\n@end\non X => a wait\n"_s,
                    u"line 3: \"wait\" needs"_s},
        BadScenario{"unknownRuleOption", u"screen a\n@end\non X => a after 5\n"_s,
                    u"line 3: unknown rule option"_s},
        BadScenario{"unterminatedScreen", u"\nscreen a\nTEXT\n"_s,
                    u"line 2: screen \"a\" has no @end"_s},
        BadScenario{"secondScreen", u"screen a\n@end\nscreen a\n@end\n"_s,
                    u"line 3: a second screen"_s},
        BadScenario{"startUnknown", u"display spr\n"_s, u"display: no screen \"spr\""_s},
        BadScenario{"rateCodes", u"rate usd RUB 1\n"_s, u"line 1: currencies are"_s},
        BadScenario{"rateZero", u"rate USD RUB 0\n"_s, u"line 1: the rate must be"_s},
        BadScenario{"rateMissing", u"rate USD RUB\n"_s, u"line 1: expected rate"_s},
        BadScenario{"rateTwice", u"rate USD RUB 1\nrate USD RUB 2\n"_s, u"line 2: a second rate"_s},
        BadScenario{"rateDecimals", u"rate USD RUB 1 decimals 7\n"_s, u"line 1: decimals must"_s}),
    [](const auto& info) { return std::string(info.param.name); });

const QString Paged = u"sessions 2\r\n"
                      "display long\r\n"
                      "on FXP => priced then long\r\n"
                      "match TTK/T\\d\\d/.* => ok wait 250\r\n"
                      "on FQC1.00USD/RUB => odd\r\n"
                      "rate USD RUB 38.24\r\n"
                      "rate EUR RUB 100.255 decimals 0 truncated\r\n"
                      "screen long\r\n"
                      "PAGE ONE\r\n"
                      "@page\r\n"
                      "PAGE TWO   \r\n"
                      ")>\r\n"
                      "@page\r\n"
                      "PAGE THREE\r\n"
                      ">\r\n"
                      "@end\r\n"
                      "screen priced\r\n"
                      "PRICED\r\n"
                      ">\r\n"
                      "@end\r\n"
                      "screen ok\r\n"
                      "OK\r\n"
                      "@end\r\n"
                      "screen odd\r\n"
                      "RUB 1.2.3 - ROUNDED AS OTHER CHARGES\r\n"
                      ">\r\n"
                      "@end\r\n"_s;

TEST(Scenario, ReadsScreensWithPagesRulesAndRates)
{
    const Scenario s = parseScenario(Paged);
    EXPECT_EQ(s.sessions, 2);
    const Screen& long_ = s.screens.at(u"long"_s);
    // every page but the last ends in the continuation prompt, added when missing;
    // screen lines keep their blanks
    EXPECT_EQ(long_.pages,
              (QStringList{u"PAGE ONE\n)>"_s, u"PAGE TWO   \n)>"_s, u"PAGE THREE\n>"_s}));
    ASSERT_EQ(s.rules.size(), 3u);
    EXPECT_EQ(s.rules[0].then, u"long"_s);
    EXPECT_EQ(s.rules[1].waitMs, 250);
    EXPECT_TRUE(s.rules[1].matches(u"TTK/T01/ERUB100"_s));
    EXPECT_FALSE(s.rules[1].matches(u"XTTK/T01/E"_s)); // the whole command must match
    const Rate* eur = s.rateFor(u"EUR"_s, u"RUB"_s);
    ASSERT_NE(eur, nullptr);
    EXPECT_TRUE(eur->truncated);
    EXPECT_EQ(eur->decimals, 0);
    EXPECT_EQ(s.rateFor(u"RUB"_s, u"EUR"_s), nullptr);
}

class Session : public testing::Test {
protected:
    Session() : session(parseScenario(Paged))
    {
        session.setJournal([this](const QString& c) { journal.append(c); });
    }
    TerminalSession session;
    QStringList journal;
};

TEST_F(Session, PagesThroughALongDisplayWithMD)
{
    EXPECT_EQ(session.display(), u"PAGE ONE\n)>"_s);
    EXPECT_EQ(session.send(u"MD"_s).text, u"PAGE TWO   \n)>"_s);
    EXPECT_EQ(session.send(u"MD"_s).text, u"PAGE THREE\n>"_s);
    EXPECT_EQ(session.send(u"MD"_s).text, NoMorePagesReply.toString());
    EXPECT_EQ(session.display(), NoMorePagesReply.toString());
    EXPECT_EQ(journal, (QStringList{u"MD"_s, u"MD"_s, u"MD"_s}));
}

TEST_F(Session, AnswersRulesAndShowsTheScreenTheyName)
{
    const auto priced = session.send(u"FXP"_s);
    EXPECT_EQ(priced.text, u"PRICED\n>"_s);
    EXPECT_EQ(priced.waitMs, 0);
    EXPECT_EQ(session.display(), u"PAGE ONE\n)>"_s); // "then long"
    const auto ok = session.send(u"TTK/T01/X"_s);
    EXPECT_EQ(ok.text, u"OK"_s);
    EXPECT_EQ(ok.waitMs, 250);
    EXPECT_EQ(session.display(), u"OK"_s);
    EXPECT_EQ(session.send(u"fxp"_s).text, UnknownCommandReply.toString()); // exact, case too
    EXPECT_EQ(journal, (QStringList{u"FXP"_s, u"TTK/T01/X"_s, u"fxp"_s}));
}

// The answer as ConvertViaHost reads it: the fixed amount pattern, then the number in it.
QString convertedAmount(const QString& answer)
{
    static const QRegularExpression amountPattern(
        u"([A-Z]{3}[ ]{1}[\\d.]{1,20}[- ]{3}[ROUNDED AS OTHER CHARGES]{24})"_s);
    static const QRegularExpression numberPattern(u"([\\d.]{1,20})"_s);
    const auto amount = amountPattern.match(answer);
    if (!amount.hasMatch())
        return {};
    return numberPattern.match(amount.captured(0)).captured(0);
}

struct FqcCase {
    const char* name;
    QString command;
    QString amount; // as the fixed patterns find it; empty: none
    bool truncated;
};

class Fqc : public Session, public testing::WithParamInterface<FqcCase> {};

TEST_P(Fqc, AnswersInTheFormTheConversionReads)
{
    const QString answer = session.send(GetParam().command).text;
    EXPECT_EQ(convertedAmount(answer), GetParam().amount) << answer.toStdString();
    EXPECT_EQ(answer.contains(u"AMOUNT TRUNCATED"_s), GetParam().truncated);
    EXPECT_TRUE(answer.endsWith(u"\n>"_s));
}

INSTANTIATE_TEST_SUITE_P(
    Commands, Fqc,
    testing::Values(FqcCase{"twoDecimals", u"FQC10.00USD/RUB"_s, u"382.40"_s, false},
                    FqcCase{"wholeAmount", u"FQC13USD/RUB"_s, u"497.12"_s, false},
                    FqcCase{"roundsHalfAway", u"FQC12.50USD/RUB"_s, u"478.00"_s, false},
                    FqcCase{"noDecimalsTruncated", u"FQC10.00EUR/RUB"_s, u"1003"_s, true},
                    FqcCase{"ruleBeforeTheTable", u"FQC1.00USD/RUB"_s, u"1.2.3"_s, false},
                    FqcCase{"noRate", u"FQC10.00RUB/USD"_s, u""_s, false},
                    FqcCase{"lowerCase", u"FQC10.00usd/RUB"_s, u""_s, false},
                    FqcCase{"noAmount", u"FQCUSD/RUB"_s, u""_s, false},
                    FqcCase{"trailingText", u"FQC10USD/RUBX"_s, u""_s, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EmptySession, WithoutAStartScreenShowsThePrompt)
{
    TerminalSession s(parseScenario(u"sessions 0\n"_s));
    EXPECT_EQ(s.sessionCount(), 0);
    EXPECT_EQ(s.display(), EmptyDisplay.toString());
    EXPECT_EQ(s.send(u"MD"_s).text, NoMorePagesReply.toString());
}

// The stored pricing record sample is found by the shipped recognition patterns, at the
// character positions the conversion run takes its values from.
TEST(Samples, PricingRecordMatchesTheShippedPatterns)
{
    TerminalSession s(loadScenario(samplePath(u"spr-record.scn")));
    const QString page1 = s.display();
    ASSERT_TRUE(page1.endsWith(u"\n)>"_s));
    const QString text = page1 + u"\n"_s + s.send(u"MD"_s).text;
    ASSERT_TRUE(text.endsWith(u"\n>"_s));

    const auto first = [&](QStringView pattern) {
        return QRegularExpression(pattern.toString()).match(text).captured(0);
    };
    const QString fare = first(base::defaults::FareRegExp);
    EXPECT_EQ(fare.mid(8, 3), u"EUR"_s);
    EXPECT_EQ(base::numbers::parseDecimal(fare.mid(11, 12).trimmed().left(10)), 520.0);
    const QString equiv = first(base::defaults::EquivRegExp);
    EXPECT_EQ(equiv.mid(8, 3), u"USD"_s);
    EXPECT_EQ(base::numbers::parseDecimal(equiv.mid(11, 12).trimmed().left(10)), 566.0);
    const QString segment = first(base::defaults::SegmentFv);
    EXPECT_EQ(segment.mid(segment.size() - 3, 2), u"LH"_s);
    const QString element = first(base::defaults::ElementFv);
    EXPECT_EQ(element.right(2), u"LH"_s);

    const int header = text.indexOf(u"SPR000"_s);
    EXPECT_EQ(text.mid(header + 6, 2), u"01"_s);
    const QStringList lines = text.split(u'\n');
    EXPECT_EQ(lines.at(2), u"FXP/R,FC-EUR"_s); // two lines below the header line

    QStringList taxes;
    const QRegularExpression tax(base::defaults::TaxRegExp.toString());
    for (const QString& line : lines) {
        for (auto it = tax.globalMatch(line); it.hasNext();) {
            const QString t = it.next().captured(0);
            taxes.append(t.mid(2, 3) + u"|"_s + t.mid(6, 1) + u"|"_s + t.mid(8, 3) + u"|"_s +
                         t.mid(11, 9).trimmed() + u"|"_s + t.mid(20, 4));
        }
    }
    EXPECT_EQ(taxes,
              (QStringList{u"001|X|USD|13.60|YQ"_s, u"002|X|USD|4.40|DE"_s, u"003|X|USD|25.30|RI"_s,
                           u"004|X|USD|3.10|UH"_s, u"005|X|USD|2.10|OY"_s}));
}

TEST(Samples, EveryScenarioLoads)
{
    for (const char16_t* name : {u"spr-record.scn", u"ticket-image.scn", u"no-session.scn"})
        EXPECT_NO_THROW(loadScenario(samplePath(name))) << QString::fromUtf16(name).toStdString();
}

} // namespace

// The same scenario in-process, through the toolkit's objects, as the program's tests use it.
TEST(ScenarioHost, ServesTheSampleRecordThroughTheToolkitObjects)
{
    QFile file(samplePath(u"spr-record.scn"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    testsupport::ScenarioHost scenario(QString::fromUtf8(file.readAll()));
    host::AutomationRegistry registry;
    scenario.registerIn(registry);
    testsupport::RecordingInteraction ui;
    host::HostLink link(registry, ui);
    link.ConnectHost();
    ASSERT_TRUE(link.HostConnected());
    EXPECT_TRUE(link.session().LastResponse().Text.endsWith(u")>"_s));
    EXPECT_TRUE(link.session().Send(u"MD"_s, 1).Text.startsWith(u"TX001"_s));
    EXPECT_TRUE(link.session()
                    .Send(u"FQC12.50USD/RUB"_s, 1)
                    .Text.contains(u"RUB 1156.25 - ROUNDED AS OTHER CHARGES"_s));
    EXPECT_EQ(scenario.journal, (QStringList{u"MD"_s, u"FQC12.50USD/RUB"_s}));
}
