// The terminal's automation toolkit as the program sees it: the objects "TermLink.HostSessions"
// and "TermLink.HostSession", created by name through a registry of object classes. On Linux
// the registry holds the local-socket client of velmora-term (termlinkclient.h); tests
// register an in-process host of their own.
#pragma once

#include <QString>
#include <QStringView>

#include <functional>
#include <map>
#include <memory>

namespace host {

inline constexpr QStringView HostSessionsProgId = u"TermLink.HostSessions";
inline constexpr QStringView HostSessionProgId = u"TermLink.HostSession";

// A response object: the response as one string of lines separated by line breaks.
struct HostResponse {
    QString Text;
};

// Any object the registry creates.
class AutomationObject {
public:
    virtual ~AutomationObject() = default;
};

// The terminal's open sessions.
class HostSessions : public AutomationObject {
public:
    virtual int Count() = 0;
};

// One host session of the terminal. Every member raises HostError when the terminal
// cannot be reached or does not answer.
class HostSession : public AutomationObject {
public:
    // Runs one host command; mode is always 1.
    virtual HostResponse Send(const QString& command, int mode) = 0;
    // What the terminal shows now.
    virtual HostResponse LastResponse() = 0;
};

// Another session's commands, each shown to an observer before it goes out (sprrate-cli
// prints them; tests look at the program while it waits for the host).
class ObservedSession : public HostSession {
public:
    ObservedSession(std::unique_ptr<HostSession> inner,
                    std::function<void(const QString& command)> observer)
        : m_inner(std::move(inner)), m_observer(std::move(observer))
    {
    }
    HostResponse Send(const QString& command, int mode) override
    {
        m_observer(command);
        return m_inner->Send(command, mode);
    }
    HostResponse LastResponse() override { return m_inner->LastResponse(); }

private:
    std::unique_ptr<HostSession> m_inner;
    std::function<void(const QString&)> m_observer;
};

// Object classes by name. Creating an object whose name is not registered, or whose
// creator fails, raises HostError.
class AutomationRegistry {
public:
    using Creator = std::function<std::unique_ptr<AutomationObject>()>;

    void registerClass(const QString& progId, Creator creator);
    std::unique_ptr<AutomationObject> createObject(const QString& progId) const;

    // createObject, checked to be of the interface T.
    template <class T> std::unique_ptr<T> create(QStringView progId) const
    {
        auto object = createObject(progId.toString());
        auto* typed = dynamic_cast<T*>(object.get());
        if (!typed)
            throwWrongInterface(progId);
        object.release();
        return std::unique_ptr<T>(typed);
    }

private:
    [[noreturn]] static void throwWrongInterface(QStringView progId);

    std::map<QString, Creator> m_creators;
};

} // namespace host
