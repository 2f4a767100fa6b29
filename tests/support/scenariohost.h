// An in-process host for tests that plays a velmora-term scenario: the same screens, pages,
// rules and "FQC" answers as the real terminal, without a process or a socket. Tests that
// use it link velmora_term_lib.
#pragma once

#include "host/automation.h"
#include "host/hosterror.h"
#include "scenario.h"
#include "terminalsession.h"

#include <QStringList>

#include <memory>

namespace testsupport {

class ScenarioHost {
public:
    explicit ScenarioHost(const QString& scenarioText)
        : session(velmora::parseScenario(scenarioText))
    {
        session.setJournal([this](const QString& c) { journal.append(c); });
    }

    velmora::TerminalSession session;
    QStringList journal; // every command sent, in order

    void registerIn(host::AutomationRegistry& registry)
    {
        registry.registerClass(host::HostSessionsProgId.toString(), [this] {
            return std::unique_ptr<host::AutomationObject>(new Sessions(*this));
        });
        registry.registerClass(host::HostSessionProgId.toString(), [this] {
            return std::unique_ptr<host::AutomationObject>(new Session(*this));
        });
    }

private:
    struct Sessions : host::HostSessions {
        explicit Sessions(ScenarioHost& h) : owner(h) {}
        int Count() override { return owner.session.sessionCount(); }
        ScenarioHost& owner;
    };

    struct Session : host::HostSession {
        explicit Session(ScenarioHost& h) : owner(h) {}
        host::HostResponse Send(const QString& command, int) override
        {
            check();
            return {owner.session.send(command).text};
        }
        host::HostResponse LastResponse() override
        {
            check();
            return {owner.session.display()};
        }
        void check() const
        {
            if (owner.session.sessionCount() == 0)
                throw host::HostError(QStringLiteral("No host session is open."));
        }
        ScenarioHost& owner;
    };
};

} // namespace testsupport
