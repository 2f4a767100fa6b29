// velmora-term's scenario parser over arbitrary files, then a few commands through the
// session a valid file gives.
#include "scenario.h"
#include "terminalsession.h"

#include <cstdint>
#include <cstdlib>

using namespace Qt::Literals::StringLiterals;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        velmora::Scenario scenario = velmora::parseScenario(text);
        QString firstRule;
        if (!scenario.rules.empty() && !scenario.rules.front().isPattern)
            firstRule = scenario.rules.front().command;
        velmora::TerminalSession session(std::move(scenario));
        QStringList journal;
        session.setJournal([&journal](const QString& c) { journal.append(c); });
        const QStringList commands{
            u"MD"_s, firstRule, u"MD"_s, u"FQC10.00USD/RUB"_s, u"FQC999999999999.999999EUR/RUB"_s,
            u"XYZ"_s};
        for (const QString& c : commands) {
            const auto reply = session.send(c);
            if (reply.waitMs < 0 || reply.waitMs > velmora::MaxWaitMs)
                std::abort();
        }
        if (journal != commands)
            std::abort();
    } catch (const velmora::ScenarioError&) {
    }
    return 0;
}
