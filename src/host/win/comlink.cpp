#include "host/win/comlink.h"

// windows.h first: the other Windows headers build on it.
// clang-format off
#include <windows.h>
#include <oleauto.h>
// clang-format on

#include <cstdio>

namespace comlink {
namespace {

// A VARIANT cleared on every path.
struct Variant {
    VARIANT v;
    Variant() { VariantInit(&v); }
    ~Variant() { VariantClear(&v); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
};

// A BSTR freed on every path.
struct Bstr {
    BSTR s = nullptr;
    Bstr() = default;
    ~Bstr() { SysFreeString(s); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
};

// The EXCEPINFO of one call, its strings freed on every path.
struct ExceptionInfo {
    EXCEPINFO e{};
    ~ExceptionInfo()
    {
        SysFreeString(e.bstrSource);
        SysFreeString(e.bstrDescription);
        SysFreeString(e.bstrHelpFile);
    }
    // The server's description of its error (filled in now when it deferred that); empty
    // when it gave none.
    std::wstring description()
    {
        if (e.pfnDeferredFillIn)
            std::exchange(e.pfnDeferredFillIn, nullptr)(&e);
        return text(e.bstrDescription);
    }
    std::wstring source() const { return text(e.bstrSource); }
    static std::wstring text(BSTR s)
    {
        return s ? std::wstring(s, SysStringLen(s)) : std::wstring();
    }
    // The error's code: scode, or wCode as an interface error, or the exception itself.
    HRESULT code() const
    {
        if (e.scode)
            return e.scode;
        return e.wCode ? MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, e.wCode) : DISP_E_EXCEPTION;
    }
};

std::wstring hex(HRESULT code)
{
    wchar_t text[16];
    std::swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(code));
    return text;
}

// The system's text for an error code, without its line break; the code itself when the
// system has none.
std::wstring systemText(HRESULT code)
{
    wchar_t* buffer = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = n && buffer ? std::wstring(buffer, n) : std::wstring();
    LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return text.empty() ? L"Error " + hex(code) : text;
}

[[noreturn]] void notRegistered(const wchar_t* progId, const wchar_t* step, HRESULT code)
{
    throw Error(Error::Kind::NotRegistered, code, NotRegisteredText,
                std::wstring(progId) + L": " + step + L" failed, " + hex(code) + L" " +
                    systemText(code));
}

} // namespace

Apartment::Apartment()
{
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // S_FALSE: already initialised on this thread, still to be balanced. RPC_E_CHANGED_MODE:
    // someone else chose the multi-threaded apartment; that stays and is not ours to end.
    m_owned = SUCCEEDED(hr);
}

Apartment::~Apartment()
{
    if (m_owned)
        CoUninitialize();
}

Object& Object::operator=(Object&& other) noexcept
{
    if (this != &other) {
        reset();
        m_dispatch = std::exchange(other.m_dispatch, nullptr);
        m_name = std::move(other.m_name);
    }
    return *this;
}

void Object::reset() noexcept
{
    if (m_dispatch)
        std::exchange(m_dispatch, nullptr)->Release();
}

Object Object::create(const wchar_t* progId)
{
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(progId, &clsid);
    if (FAILED(hr))
        notRegistered(progId, L"CLSIDFromProgID", hr);
    IDispatch* dispatch = nullptr;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                          reinterpret_cast<void**>(&dispatch));
    if (FAILED(hr) || !dispatch)
        notRegistered(progId, L"CoCreateInstance", FAILED(hr) ? hr : E_NOINTERFACE);
    return Object(dispatch, progId);
}

void Object::invoke(const wchar_t* name, unsigned short flags, const std::wstring* text,
                    long number, VARIANT* result) const
{
    const std::wstring member = m_name + L"." + name;
    if (!m_dispatch)
        throw Error(Error::Kind::CallFailed, E_POINTER, L"There is no host session.",
                    member + L": the object was released");
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = m_dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr))
        throw Error(Error::Kind::CallFailed, hr, systemText(hr),
                    member + L": GetIDsOfNames failed, " + hex(hr));

    // Arguments go in reverse order: the last one first.
    VARIANTARG args[2];
    Bstr command;
    DISPPARAMS params{};
    if (text) {
        command.s = SysAllocStringLen(text->data(), static_cast<UINT>(text->size()));
        if (!command.s)
            throw Error(Error::Kind::CallFailed, E_OUTOFMEMORY, systemText(E_OUTOFMEMORY),
                        member + L": no memory for the argument");
        VariantInit(&args[0]);
        args[0].vt = VT_I4;
        args[0].lVal = number;
        VariantInit(&args[1]);
        args[1].vt = VT_BSTR;
        args[1].bstrVal = command.s; // still owned by command
        params.rgvarg = args;
        params.cArgs = 2;
    }

    ExceptionInfo exception;
    UINT argError = 0;
    hr = m_dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &exception.e,
                            &argError);
    if (hr == DISP_E_EXCEPTION) {
        std::wstring description = exception.description();
        const HRESULT code = exception.code();
        if (description.empty())
            description = systemText(code);
        const std::wstring source = exception.source();
        throw Error(Error::Kind::CallFailed, code, description,
                    member + L" raised " + hex(code) +
                        (source.empty() ? std::wstring() : L" in " + source));
    }
    if (FAILED(hr))
        throw Error(Error::Kind::CallFailed, hr, systemText(hr),
                    member + L": Invoke failed, " + hex(hr));
}

long Object::getInteger(const wchar_t* name) const
{
    Variant r;
    invoke(name, DISPATCH_PROPERTYGET | DISPATCH_METHOD, nullptr, 0, &r.v);
    const HRESULT hr = VariantChangeType(&r.v, &r.v, 0, VT_I4);
    if (FAILED(hr))
        throw Error(Error::Kind::BadResult, hr, systemText(hr),
                    m_name + L"." + name + L" is no number");
    return r.v.lVal;
}

std::wstring Object::getText(const wchar_t* name) const
{
    Variant r;
    invoke(name, DISPATCH_PROPERTYGET | DISPATCH_METHOD, nullptr, 0, &r.v);
    const HRESULT hr = VariantChangeType(&r.v, &r.v, 0, VT_BSTR);
    if (FAILED(hr))
        throw Error(Error::Kind::BadResult, hr, systemText(hr),
                    m_name + L"." + name + L" is no text");
    const BSTR s = r.v.bstrVal;
    return s ? std::wstring(s, SysStringLen(s)) : std::wstring();
}

namespace {
// The object a call returned, taken over from its VARIANT.
IDispatch* takeObject(VARIANT& v)
{
    IDispatch* d = nullptr;
    if (v.vt == VT_DISPATCH) {
        d = v.pdispVal;
        v.vt = VT_EMPTY; // the reference is the caller's now
    } else if (v.vt == VT_UNKNOWN && v.punkVal) {
        v.punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&d));
    } else if (v.vt == (VT_DISPATCH | VT_BYREF) && v.ppdispVal && *v.ppdispVal) {
        d = *v.ppdispVal;
        d->AddRef();
    }
    return d;
}
} // namespace

Object Object::getObject(const wchar_t* name) const
{
    Variant r;
    invoke(name, DISPATCH_PROPERTYGET | DISPATCH_METHOD, nullptr, 0, &r.v);
    IDispatch* d = takeObject(r.v);
    if (!d)
        throw Error(Error::Kind::BadResult, E_NOINTERFACE, systemText(E_NOINTERFACE),
                    m_name + L"." + name + L" gave no object");
    return Object(d, m_name + L"." + name);
}

Object Object::callObject(const wchar_t* name, const std::wstring& text, long number) const
{
    Variant r;
    invoke(name, DISPATCH_METHOD, &text, number, &r.v);
    IDispatch* d = takeObject(r.v);
    if (!d)
        throw Error(Error::Kind::BadResult, E_NOINTERFACE, systemText(E_NOINTERFACE),
                    m_name + L"." + name + L" gave no object");
    return Object(d, m_name + L"." + name);
}

std::wstring HostSession::Send(const std::wstring& command, long mode) const
{
    return m_object.callObject(L"Send", command, mode).getText(L"Text");
}

std::wstring HostSession::LastResponse() const
{
    return m_object.getObject(L"LastResponse").getText(L"Text");
}

} // namespace comlink
