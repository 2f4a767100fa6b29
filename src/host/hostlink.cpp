#include "host/hostlink.h"

#include "base/interaction.h"
#include "host/hosterror.h"

using namespace Qt::Literals::StringLiterals;

namespace host {

void HostLink::ConnectHost()
{
    release();
    m_connected = false;
    QStringView message;
    try {
        m_sessions = m_registry.create<HostSessions>(HostSessionsProgId);
        if (m_sessions->Count() == 0) {
            message = ConnectionErrorMessage;
        } else {
            m_session = m_registry.create<HostSession>(HostSessionProgId);
            m_connected = true;
        }
    } catch (const HostTimeout& e) {
        // The terminal is there but does not answer: its own words say more than that
        // the toolkit is missing.
        m_ui.showMessage(e.message());
        return;
    } catch (const std::exception&) {
        message = NotRegisteredMessage;
    }
    if (!message.isEmpty())
        m_ui.showMessage(message.toString());
}

HostSession& HostLink::session() const
{
    if (!m_session)
        throw HostError(u"There is no host session."_s);
    return *m_session;
}

void HostLink::release()
{
    // Destroying a client only closes its socket, or gives a COM object its reference
    // back (whatever the server says to that); nothing here can fail, so each release is
    // its own guard.
    m_session.reset();
    m_sessions.reset();
}

} // namespace host
