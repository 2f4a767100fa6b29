#include "host/comautomation.h"

#include "host/hosterror.h"
#include "host/hostlink.h"
#include "host/win/comlink.h"

#include <QString>

namespace host {
namespace {

// A failure of the link as the host link's error: the toolkit missing is the message the
// user is shown for it, a refused call is the server's own text.
[[noreturn]] void raise(const comlink::Error& e)
{
    if (e.kind() == comlink::Error::Kind::NotRegistered)
        throw HostError(NotRegisteredMessage.toString());
    throw HostError(QString::fromStdWString(e.message()));
}

class ComHostSessions : public HostSessions {
public:
    int Count() override
    {
        try {
            return int(m_object.Count());
        } catch (const comlink::Error& e) {
            raise(e);
        }
    }

private:
    comlink::HostSessions m_object;
};

class ComHostSession : public HostSession {
public:
    HostResponse Send(const QString& command, int mode) override
    {
        try {
            return {QString::fromStdWString(m_object.Send(command.toStdWString(), mode))};
        } catch (const comlink::Error& e) {
            raise(e);
        }
    }
    HostResponse LastResponse() override
    {
        try {
            return {QString::fromStdWString(m_object.LastResponse())};
        } catch (const comlink::Error& e) {
            raise(e);
        }
    }

private:
    comlink::HostSession m_object;
};

template <class T> std::unique_ptr<AutomationObject> create()
{
    try {
        return std::make_unique<T>();
    } catch (const comlink::Error& e) {
        raise(e);
    }
}

} // namespace

void registerComLink(AutomationRegistry& registry)
{
    // The COM link keeps a copy of the message for its own tests; it is the host link's.
    Q_ASSERT(NotRegisteredMessage == QStringView(comlink::NotRegisteredText));
    registry.registerClass(HostSessionsProgId.toString(), create<ComHostSessions>);
    registry.registerClass(HostSessionProgId.toString(), create<ComHostSession>);
}

} // namespace host
