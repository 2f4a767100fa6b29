// An in-process host for tests: registers "TermLink.HostSessions" and "TermLink.HostSession"
// in a registry, answers commands from a function, keeps every command sent, and fails on
// request.
#pragma once

#include "host/automation.h"
#include "host/hosterror.h"

#include <QStringList>

#include <functional>
#include <memory>

namespace testsupport {

class ScriptedHost {
public:
    int count = 1;
    QString display;                               // LastResponse
    std::function<QString(const QString&)> answer; // Send; empty: answers the display
    bool failCreateSessions = false;
    bool failCreateSession = false;
    bool failCount = false;
    bool failSend = false;
    bool failLastResponse = false;

    QStringList sent;
    int sessionsCreated = 0;
    int sessionCreated = 0;
    int alive = 0; // objects not yet released

    void registerIn(host::AutomationRegistry& registry)
    {
        registry.registerClass(host::HostSessionsProgId.toString(), [this] {
            if (failCreateSessions)
                throw host::HostError(QStringLiteral("not registered"));
            ++sessionsCreated;
            return std::unique_ptr<host::AutomationObject>(new Sessions(*this));
        });
        registry.registerClass(host::HostSessionProgId.toString(), [this] {
            if (failCreateSession)
                throw host::HostError(QStringLiteral("not registered"));
            ++sessionCreated;
            return std::unique_ptr<host::AutomationObject>(new Session(*this));
        });
    }

private:
    struct Tracked {
        explicit Tracked(ScriptedHost& h) : owner(h) { ++owner.alive; }
        ~Tracked() { --owner.alive; }
        ScriptedHost& owner;
    };

    struct Sessions : host::HostSessions, Tracked {
        explicit Sessions(ScriptedHost& h) : Tracked(h) {}
        int Count() override
        {
            if (owner.failCount)
                throw host::HostError(QStringLiteral("Count failed"));
            return owner.count;
        }
    };

    struct Session : host::HostSession, Tracked {
        explicit Session(ScriptedHost& h) : Tracked(h) {}
        host::HostResponse Send(const QString& command, int) override
        {
            if (owner.failSend)
                throw host::HostError(QStringLiteral("Send failed"));
            owner.sent.append(command);
            if (owner.answer)
                owner.display = owner.answer(command);
            return {owner.display};
        }
        host::HostResponse LastResponse() override
        {
            if (owner.failLastResponse)
                throw host::HostError(QStringLiteral("LastResponse failed"));
            return {owner.display};
        }
    };
};

} // namespace testsupport
