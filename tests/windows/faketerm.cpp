// A stand-in for the terminal's automation toolkit on Windows: an in-process COM server
// that registers "TermLink.HostSessions" and "TermLink.HostSession" and plays one terminal
// session the way velmora-term does (a display, answers from a small table, sign-out and
// sign-in that make the session count 0 and 1, a command the terminal refuses with an
// error text, a long answer). Built with mingw-w64 for the link's tests under Wine.
// windows.h first: the other Windows headers build on it.
// clang-format off
#include <windows.h>
#include <oleauto.h>
#include <olectl.h>
// clang-format on

#include <atomic>
#include <string>

namespace fake {

// What the terminal shows when the server starts.
const wchar_t FirstDisplay[] = L"SPR000 ЗАПИСЬ ЦЕНЫ 1\r\n"
                               L"FARE  F EUR   100.00\r\n"
                               L">";
const wchar_t WrongModeText[] = L"Send: the second argument must be 1.";

// The answer to one command: a text, or a refusal with the terminal's error text; a
// sign-out or sign-in changes the session count.
struct Answer {
    enum Signs { Stay, SignOut, SignIn };
    std::wstring text;
    bool refused = false;
    Signs signs = Stay;
};

// The long answer: 16,384 lines of 64 characters with their line break (1 MiB of
// characters); line n (from 1) is "LINE nnnnn ", Cyrillic letters to column 62, CR LF.
std::wstring longAnswer()
{
    std::wstring text;
    text.reserve(1024 * 1024);
    const std::wstring letters = L"АБВГДЕЖЗИКЛМНОПРСТУФХЦЧШЩЭЮЯ";
    for (int n = 1; n <= 16384; ++n) {
        wchar_t head[16];
        wsprintfW(head, L"LINE %05d ", n);
        std::wstring line = head;
        for (std::size_t i = 0; line.size() < 62; ++i)
            line += letters[(n + i) % letters.size()];
        text += line + L"\r\n";
    }
    return text;
}

Answer answer(const std::wstring& command, bool signedIn)
{
    if (!signedIn && command != L"SI")
        return {L"Сеанс не открыт: войдите в систему (SI).", true};
    if (command == L"*R")
        return {L"1.1ИВАНОВ/ИВАН МР\r\n"
                L" 1 SU 100Y 15MAR SVOLED HK1  1000 1130\r\n"
                L">"};
    if (command == L"FAIL")
        return {L"Сеанс занят: команда не выполнена (FAIL).", true};
    if (command == L"BIG")
        return {longAnswer()};
    if (command == L"SO")
        return {L"SIGNED OUT\r\n>", false, Answer::SignOut};
    if (command == L"SI")
        return {L"SIGNED IN\r\n>", false, Answer::SignIn};
    return {L"INVALID ENTRY - CHECK FORMAT\r\n>"};
}

} // namespace fake

namespace {

// {468435A3-B460-4A29-8660-A5C2513BB295}
const CLSID SessionsClass = {
    0x468435a3, 0xb460, 0x4a29, {0x86, 0x60, 0xa5, 0xc2, 0x51, 0x3b, 0xb2, 0x95}};
// {F6D184B5-ACF5-4E4B-82DB-D3D773962FD3}
const CLSID SessionClass = {
    0xf6d184b5, 0xacf5, 0x4e4b, {0x82, 0xdb, 0xd3, 0xd7, 0x73, 0x96, 0x2f, 0xd3}};
const wchar_t SessionsClassText[] = L"{468435A3-B460-4A29-8660-A5C2513BB295}";
const wchar_t SessionClassText[] = L"{F6D184B5-ACF5-4E4B-82DB-D3D773962FD3}";

HMODULE module = nullptr;
std::atomic<long> liveObjects{0};
std::atomic<long> serverLocks{0};

// The terminal: one session, signed in, showing its display. Every object of the server
// sees the same terminal, as every object of the real toolkit sees the same program.
bool signedIn = true;
std::wstring display = fake::FirstDisplay;

enum Member : DISPID { Count = 1, Send, LastResponse, Text };

struct Name {
    const wchar_t* name;
    DISPID id;
};

// An IDispatch with its reference count and a table of member names (compared without
// regard to case, as automation clients expect).
class Dispatch : public IDispatch {
public:
    Dispatch(const Name* names, int count) : m_names(names), m_count(count) { ++liveObjects; }
    virtual ~Dispatch() { --liveObjects; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (count)
            *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override
    {
        if (info)
            *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override
    {
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            for (int k = 0; k < m_count; ++k)
                if (i == 0 && lstrcmpiW(names[i], m_names[k].name) == 0)
                    ids[i] = m_names[k].id;
            if (ids[i] == DISPID_UNKNOWN)
                hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT*) override
    {
        if (result)
            VariantInit(result);
        return call(id, flags, params, result, exception);
    }

protected:
    virtual HRESULT call(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                         EXCEPINFO* exception) = 0;

    static bool isGet(WORD flags) { return (flags & DISPATCH_PROPERTYGET) != 0; }
    static HRESULT noArguments(const DISPPARAMS* params)
    {
        return params && params->cArgs != 0 ? DISP_E_BADPARAMCOUNT : S_OK;
    }
    static HRESULT returnText(VARIANT* result, const std::wstring& text)
    {
        if (!result)
            return S_OK;
        result->vt = VT_BSTR;
        result->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        return result->bstrVal ? S_OK : E_OUTOFMEMORY;
    }
    static HRESULT returnObject(VARIANT* result, IDispatch* object)
    {
        if (!result) {
            object->Release();
            return S_OK;
        }
        result->vt = VT_DISPATCH;
        result->pdispVal = object;
        return S_OK;
    }
    // The terminal refuses: DISP_E_EXCEPTION with its text in the EXCEPINFO.
    static HRESULT raise(EXCEPINFO* exception, const std::wstring& text)
    {
        if (exception) {
            ZeroMemory(exception, sizeof *exception);
            exception->wCode = 1001;
            exception->bstrSource = SysAllocString(L"TermLink.HostSession");
            exception->bstrDescription =
                SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        }
        return DISP_E_EXCEPTION;
    }

private:
    std::atomic<ULONG> m_refs{1};
    const Name* m_names;
    int m_count;
};

const Name responseNames[] = {{L"Text", Text}};

class Response : public Dispatch {
public:
    explicit Response(std::wstring text) : Dispatch(responseNames, 1), m_text(std::move(text)) {}

protected:
    HRESULT call(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*) override
    {
        if (id != Text)
            return DISP_E_MEMBERNOTFOUND;
        if (!isGet(flags))
            return DISP_E_MEMBERNOTFOUND;
        if (HRESULT hr = noArguments(params); FAILED(hr))
            return hr;
        return returnText(result, m_text);
    }

private:
    std::wstring m_text;
};

const Name sessionsNames[] = {{L"Count", Count}};

class Sessions : public Dispatch {
public:
    Sessions() : Dispatch(sessionsNames, 1) {}

protected:
    HRESULT call(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*) override
    {
        if (id != Count || !isGet(flags))
            return DISP_E_MEMBERNOTFOUND;
        if (HRESULT hr = noArguments(params); FAILED(hr))
            return hr;
        if (result) {
            result->vt = VT_I4;
            result->lVal = signedIn ? 1 : 0;
        }
        return S_OK;
    }
};

const Name sessionNames[] = {{L"Send", Send}, {L"LastResponse", LastResponse}};

class Session : public Dispatch {
public:
    Session() : Dispatch(sessionNames, 2) {}

protected:
    HRESULT call(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* exception) override
    {
        if (id == LastResponse) {
            if (!isGet(flags))
                return DISP_E_MEMBERNOTFOUND;
            if (HRESULT hr = noArguments(params); FAILED(hr))
                return hr;
            return returnObject(result, new Response(display));
        }
        if (id != Send || !(flags & DISPATCH_METHOD))
            return DISP_E_MEMBERNOTFOUND;
        if (!params || params->cArgs != 2)
            return DISP_E_BADPARAMCOUNT;
        if (params->cNamedArgs != 0)
            return DISP_E_NONAMEDARGS;
        // The last argument comes first.
        VARIANT command, mode;
        VariantInit(&command);
        VariantInit(&mode);
        HRESULT hr = VariantChangeType(&command, &params->rgvarg[1], 0, VT_BSTR);
        if (SUCCEEDED(hr))
            hr = VariantChangeType(&mode, &params->rgvarg[0], 0, VT_I4);
        if (FAILED(hr)) {
            VariantClear(&command);
            return DISP_E_TYPEMISMATCH;
        }
        const std::wstring text(command.bstrVal, SysStringLen(command.bstrVal));
        VariantClear(&command);
        if (mode.lVal != 1)
            return raise(exception, fake::WrongModeText);
        const fake::Answer answer = fake::answer(text, signedIn);
        if (answer.refused)
            return raise(exception, answer.text);
        if (answer.signs == fake::Answer::SignOut)
            signedIn = false;
        else if (answer.signs == fake::Answer::SignIn)
            signedIn = true;
        display = answer.text;
        return returnObject(result, new Response(display));
    }
};

class Factory : public IClassFactory {
public:
    explicit Factory(bool sessions) : m_sessions(sessions) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // The two factories are static: counted as locks of the server while handed out.
    ULONG STDMETHODCALLTYPE AddRef() override { return ++serverLocks; }
    ULONG STDMETHODCALLTYPE Release() override { return --serverLocks; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        Dispatch* object =
            m_sessions ? static_cast<Dispatch*>(new Sessions) : static_cast<Dispatch*>(new Session);
        const HRESULT hr = object->QueryInterface(riid, out);
        object->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override
    {
        if (lock)
            ++serverLocks;
        else
            --serverLocks;
        return S_OK;
    }

private:
    bool m_sessions;
};

Factory sessionsFactory(true);
Factory sessionFactory(false);

// HKEY_CLASSES_ROOT as the machine's classes.
bool setValue(const std::wstring& key, const wchar_t* name, const std::wstring& value)
{
    HKEY h = nullptr;
    const std::wstring path = L"Software\\Classes\\" + key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h,
                        nullptr) != ERROR_SUCCESS)
        return false;
    const LONG rc = RegSetValueExW(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(h);
    return rc == ERROR_SUCCESS;
}

bool registerClass(const wchar_t* progId, const wchar_t* clsid, const std::wstring& file)
{
    const std::wstring classKey = std::wstring(L"CLSID\\") + clsid;
    return setValue(progId, nullptr, L"Velmora terminal stand-in") &&
           setValue(std::wstring(progId) + L"\\CLSID", nullptr, clsid) &&
           setValue(classKey, nullptr, progId) &&
           setValue(classKey + L"\\ProgID", nullptr, progId) &&
           setValue(classKey + L"\\InprocServer32", nullptr, file) &&
           setValue(classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
}

void unregisterClass(const wchar_t* progId, const wchar_t* clsid)
{
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(L"Software\\Classes\\") + progId).c_str());
    RegDeleteTreeW(HKEY_LOCAL_MACHINE,
                   (std::wstring(L"Software\\Classes\\CLSID\\") + clsid).c_str());
}

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out)
{
    if (IsEqualCLSID(clsid, SessionsClass))
        return sessionsFactory.QueryInterface(riid, out);
    if (IsEqualCLSID(clsid, SessionClass))
        return sessionFactory.QueryInterface(riid, out);
    if (out)
        *out = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT WINAPI DllCanUnloadNow()
{
    return liveObjects == 0 && serverLocks == 0 ? S_OK : S_FALSE;
}

HRESULT WINAPI DllRegisterServer()
{
    wchar_t file[MAX_PATH];
    const DWORD n = GetModuleFileNameW(module, file, MAX_PATH);
    if (n == 0 || n == MAX_PATH)
        return SELFREG_E_CLASS;
    if (!registerClass(L"TermLink.HostSessions", SessionsClassText, file) ||
        !registerClass(L"TermLink.HostSession", SessionClassText, file))
        return SELFREG_E_CLASS;
    return S_OK;
}

HRESULT WINAPI DllUnregisterServer()
{
    unregisterClass(L"TermLink.HostSessions", SessionsClassText);
    unregisterClass(L"TermLink.HostSession", SessionClassText);
    return S_OK;
}

// For the tests in the same process: how many objects of the server are alive (sessions,
// session and response objects), so that a test sees every reference given back.
long WINAPI FakeTermLiveObjects()
{
    return liveObjects.load();
}

// For the tests in the same process: the terminal as it was when the server started
// (signed in, the first display), so that each case starts from there.
void WINAPI FakeTermReset()
{
    signedIn = true;
    display = fake::FirstDisplay;
}

} // extern "C"
