#include "rates/hostconversion.h"

#include "host/automation.h"
#include "rates/pattern/patternmatcher.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <map>

using namespace Qt::Literals::StringLiterals;

namespace {

// A host session that answers commands from a table and keeps what it was sent.
class ScriptedSession : public host::HostSession {
public:
    host::HostResponse Send(const QString& command, int mode) override
    {
        sent.append(command);
        modes.push_back(mode);
        const auto it = answers.find(command);
        return {it == answers.end() ? u"INVALID FORMAT"_s : it->second};
    }
    host::HostResponse LastResponse() override { return {}; }

    std::map<QString, QString> answers;
    QStringList sent;
    std::vector<int> modes;
};

const QString rub382 = u"FQC 13.00 USD/RUB\r\nRUB 382.40 - ROUNDED AS OTHER CHARGES\r\n>"_s;

} // namespace

struct ConversionCase {
    const char* name;
    double amount;
    bool keepDecimals;
    std::map<QString, QString> answers;
    QStringList expectedCommands;
    double expected;
};

class ConvertViaHostTest : public testing::TestWithParam<ConversionCase> {};

TEST_P(ConvertViaHostTest, SendsAndReads)
{
    const ConversionCase& c = GetParam();
    ScriptedSession session;
    session.answers = c.answers;
    pattern::PatternMatcher matcher;
    EXPECT_DOUBLE_EQ(
        rates::ConvertViaHost(session, matcher, u"USD"_s, u"RUB"_s, c.amount, c.keepDecimals),
        c.expected);
    EXPECT_EQ(session.sent, c.expectedCommands);
    for (int mode : session.modes)
        EXPECT_EQ(mode, 1);
    EXPECT_EQ(matcher.pattern(), pattern::ConversionAmountPattern) << "the matcher keeps it";
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ConvertViaHostTest,
    testing::Values(
        ConversionCase{"SecondCommandIsRead", 12.5, true,
                       {{u"FQC12.50USD/RUB"_s, u"RUB 999.99 - ROUNDED AS OTHER CHARGES"_s},
                        {u"FQC13USD/RUB"_s, rub382}},
                       {u"FQC12.50USD/RUB"_s, u"FQC13USD/RUB"_s}, 382.4},
        ConversionCase{"TruncatedAnswerIsKept", 12.5, true,
                       {{u"FQC12.50USD/RUB"_s,
                         u"AMOUNT TRUNCATED\r\nRUB 370.10 - ROUNDED AS OTHER CHARGES"_s}},
                       {u"FQC12.50USD/RUB"_s}, 370.1},
        ConversionCase{"WholeNumberWithoutDecimals", 13, false, {{u"FQC13USD/RUB"_s, rub382}},
                       {u"FQC13.00USD/RUB"_s, u"FQC13USD/RUB"_s}, 382},
        ConversionCase{"BelowOneKeepsItsDecimals", 10, false,
                       {{u"FQC10USD/RUB"_s, u"RUB 0.75 - ROUNDED AS OTHER CHARGES"_s}},
                       {u"FQC10.00USD/RUB"_s, u"FQC10USD/RUB"_s}, 0.75},
        ConversionCase{"NoAmountInTheAnswer", 10, true, {{u"FQC10USD/RUB"_s, u"NO RATE\r\n>"_s}},
                       {u"FQC10.00USD/RUB"_s, u"FQC10USD/RUB"_s}, 0},
        ConversionCase{"AmountWithTwoPoints", 10, true,
                       {{u"FQC10USD/RUB"_s, u"RUB 1.2.3 - ROUNDED AS OTHER CHARGES"_s}},
                       {u"FQC10.00USD/RUB"_s, u"FQC10USD/RUB"_s}, -1},
        ConversionCase{"HyphensInTheNote", 10000, false,
                       {{u"FQC10000USD/RUB"_s, u"RUB 925000.00---ROUNDED AS OTHER CHARGES"_s}},
                       {u"FQC10000.00USD/RUB"_s, u"FQC10000USD/RUB"_s}, 925000}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ConvertViaHost, HostErrorsReachTheCaller)
{
    class FailingSession : public host::HostSession {
    public:
        host::HostResponse Send(const QString&, int) override
        {
            throw std::runtime_error("terminal gone");
        }
        host::HostResponse LastResponse() override { return {}; }
    } session;
    pattern::PatternMatcher matcher;
    EXPECT_THROW(rates::ConvertViaHost(session, matcher, u"USD"_s, u"RUB"_s, 10, true),
                 std::runtime_error);
}
