// The terminal's automation toolkit reached through COM: "TermLink.HostSessions" and
// "TermLink.HostSession" created by their ProgIDs and driven late-bound through IDispatch.
// Plain C++ and Win32 without Qt, so that it builds and is tested on its own (with
// mingw-w64 under Wine); the program wraps it as its host session objects. Text is
// UTF-16 (std::wstring). Every object is used on the thread that created it, inside the
// apartment of that thread.
#pragma once

#include <string>
#include <utility>

struct IDispatch;
struct tagVARIANT;

namespace comlink {

// What the user is told when the toolkit's objects cannot be created.
inline constexpr wchar_t NotRegisteredText[] = L"+Script object not installed or not registered.";

inline constexpr wchar_t HostSessionsProgId[] = L"TermLink.HostSessions";
inline constexpr wchar_t HostSessionProgId[] = L"TermLink.HostSession";

// A failure of the link. message() is what the user may read: NotRegisteredText for an
// object that cannot be created, the server's own text for a call it refused (its
// EXCEPINFO description), else the system's text for the error code. detail() names the
// object or member and the code, for a developer.
class Error {
public:
    enum class Kind {
        NotRegistered, // the ProgID is unknown, or its server cannot be loaded or started
        CallFailed,    // a property or method raised an error or is missing
        BadResult,     // a result of the wrong kind (no object, no text, no number)
    };
    Error(Kind kind, long code, std::wstring message, std::wstring detail)
        : m_kind(kind), m_code(code), m_message(std::move(message)), m_detail(std::move(detail))
    {}
    Kind kind() const { return m_kind; }
    long code() const { return m_code; } // the HRESULT
    const std::wstring& message() const { return m_message; }
    const std::wstring& detail() const { return m_detail; }

private:
    Kind m_kind;
    long m_code;
    std::wstring m_message;
    std::wstring m_detail;
};

// COM on the calling thread, single-threaded apartment, for as long as this lives. The
// program makes one on its user-interface thread before any object is created; a thread
// whose COM was already set up by someone else (the window system) keeps that.
class Apartment {
public:
    Apartment();
    ~Apartment();
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;

private:
    bool m_owned = false;
};

// One late-bound object: an IDispatch reference, released when this goes (an empty
// object holds none).
class Object {
public:
    Object() = default;
    // Takes over the reference; name says in error texts which object it is.
    Object(IDispatch* adopted, std::wstring name) : m_dispatch(adopted), m_name(std::move(name)) {}
    ~Object() { reset(); }
    Object(Object&& other) noexcept
        : m_dispatch(std::exchange(other.m_dispatch, nullptr)), m_name(std::move(other.m_name))
    {}
    Object& operator=(Object&& other) noexcept;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    // Creates the object registered under progId; Error::Kind::NotRegistered when that fails.
    static Object create(const wchar_t* progId);

    explicit operator bool() const { return m_dispatch != nullptr; }
    // Releases the reference; never fails.
    void reset() noexcept;

    // Property reads.
    long getInteger(const wchar_t* name) const;
    std::wstring getText(const wchar_t* name) const;
    Object getObject(const wchar_t* name) const;
    // A method with a text and an integer argument that returns an object.
    Object callObject(const wchar_t* name, const std::wstring& text, long number) const;

private:
    // Calls the member; result is an initialised VARIANT that the caller clears.
    void invoke(const wchar_t* name, unsigned short flags, const std::wstring* text, long number,
                tagVARIANT* result) const;

    IDispatch* m_dispatch = nullptr;
    std::wstring m_name; // the ProgID, or the member that gave the object
};

// The terminal's open sessions.
class HostSessions {
public:
    HostSessions() : m_object(Object::create(HostSessionsProgId)) {}
    long Count() const { return m_object.getInteger(L"Count"); }

private:
    Object m_object;
};

// One session of the terminal. A response's Text is read at once.
class HostSession {
public:
    HostSession() : m_object(Object::create(HostSessionProgId)) {}
    // Send(command, mode).Text
    std::wstring Send(const std::wstring& command, long mode) const;
    // LastResponse.Text
    std::wstring LastResponse() const;

private:
    Object m_object;
};

} // namespace comlink
