// The main window's session with the terminal: the two toolkit objects and HostConnected,
// set up by ConnectHost. The application state owns one.
#pragma once

#include "host/automation.h"

#include <memory>

namespace base {
class UserInteraction;
}

namespace host {

inline constexpr QStringView ConnectionErrorMessage =
    u"Velmora Front Office application connection error.";
inline constexpr QStringView NotRegisteredMessage =
    u"+Script object not installed or not registered.";

class HostLink {
public:
    HostLink(const AutomationRegistry& registry, base::UserInteraction& ui)
        : m_registry(registry), m_ui(ui)
    {}

    // Releases both objects, creates them anew and sets HostConnected; a failure shows
    // one of the two messages (or, for a terminal that does not answer in time, the
    // time-out's own text) and leaves HostConnected false.
    void ConnectHost();
    bool HostConnected() const { return m_connected; }

    // Empty when released or not created.
    HostSessions* hostSessions() const { return m_sessions.get(); }
    HostSession* hostSession() const { return m_session.get(); }

    // The current session; raises HostError when there is none.
    HostSession& session() const;

    // Releases both objects (HostConnected keeps its value, as the toolkit's flag does).
    void release();

private:
    const AutomationRegistry& m_registry;
    base::UserInteraction& m_ui;
    std::unique_ptr<HostSessions> m_sessions;
    std::unique_ptr<HostSession> m_session;
    bool m_connected = false;
};

} // namespace host
