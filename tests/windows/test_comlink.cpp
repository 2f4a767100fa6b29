// The COM link against the terminal stand-in (faketerm.dll) under Wine or Windows.
// Usage: test_comlink unregistered   before the stand-in is registered
//        test_comlink registered     after it is (regsvr32 faketerm.dll)
// Each case is printed with its result; the exit code is the number of failed cases.
#include "host/win/comlink.h"

#include <cstdio>
#include <functional>
#include <string>
#include <vector>
#include <windows.h>

namespace {

struct Failure {
    std::wstring what;
};

std::string utf8(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(std::size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

// A text for a failure message: long texts by their size and first characters.
std::wstring shown(const std::wstring& text)
{
    if (text.size() <= 200)
        return L"\"" + text + L"\"";
    return std::to_wstring(text.size()) + L" characters beginning \"" + text.substr(0, 80) + L"\"";
}

void expectText(const std::wstring& actual, const std::wstring& expected, const wchar_t* what)
{
    if (actual == expected)
        return;
    std::size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at])
        ++at;
    throw Failure{std::wstring(what) + L": got " + shown(actual) + L", expected " +
                  shown(expected) + L" (first difference at " + std::to_wstring(at) + L")"};
}

void expectNumber(long actual, long expected, const wchar_t* what)
{
    if (actual != expected)
        throw Failure{std::wstring(what) + L": got " + std::to_wstring(actual) + L", expected " +
                      std::to_wstring(expected)};
}

// Runs f, which must fail with kind and message.
void expectError(const std::function<void()>& f, comlink::Error::Kind kind,
                 const std::wstring& message, const wchar_t* what)
{
    try {
        f();
    } catch (const comlink::Error& e) {
        if (e.kind() != kind)
            throw Failure{std::wstring(what) + L": an error of another kind: " + e.detail()};
        expectText(e.message(), message, what);
        if (e.detail().empty())
            throw Failure{std::wstring(what) + L": the error names nothing for a developer"};
        return;
    }
    throw Failure{std::wstring(what) + L": no error"};
}

const std::wstring NotRegistered = L"+Script object not installed or not registered.";
const std::wstring FirstDisplay = L"SPR000 ЗАПИСЬ ЦЕНЫ 1\r\nFARE  F EUR   100.00\r\n>";
const std::wstring PassengerDisplay =
    L"1.1ИВАНОВ/ИВАН МР\r\n 1 SU 100Y 15MAR SVOLED HK1  1000 1130\r\n>";
const std::wstring BusyText = L"Сеанс занят: команда не выполнена (FAIL).";
const std::wstring SignedOutText = L"Сеанс не открыт: войдите в систему (SI).";

// The stand-in's long answer, built here on its own: 16,384 lines of "LINE nnnnn ", then
// Cyrillic letters in turn from letter n to column 62, then CR LF.
std::wstring expectedLongAnswer()
{
    const std::wstring letters = L"АБВГДЕЖЗИКЛМНОПРСТУФХЦЧШЩЭЮЯ";
    std::wstring text;
    for (int n = 1; n <= 16384; ++n) {
        std::wstring number = std::to_wstring(n);
        std::wstring line = L"LINE " + std::wstring(5 - number.size(), L'0') + number + L" ";
        std::size_t next = std::size_t(n) % letters.size();
        while (line.size() < 62)
            line += letters[next++ % letters.size()];
        text += line + L"\r\n";
    }
    return text;
}

// A function of the stand-in loaded in this process; null while it is not loaded.
template <class F> F standIn(const char* name)
{
    const HMODULE server = GetModuleHandleW(L"faketerm.dll");
    return server ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(server, name)))
                  : nullptr;
}

// The stand-in's count of its objects alive in this process.
long liveObjects()
{
    const auto count = standIn<long(WINAPI*)()>("FakeTermLiveObjects");
    if (!count)
        throw Failure{L"faketerm.dll with FakeTermLiveObjects is not loaded in this process"};
    return count();
}

// Each case starts from the terminal as the stand-in starts (before the first object it
// is not loaded, and so as it starts).
void resetTerminal()
{
    if (const auto reset = standIn<void(WINAPI*)()>("FakeTermReset"))
        reset();
}

struct Case {
    const char* name;
    std::function<void()> run;
};

using Kind = comlink::Error::Kind;

// Before the stand-in is registered: the toolkit is not installed.
const std::vector<Case> unregisteredCases = {
    {"SessionsNotRegistered",
     [] {
         expectError([] { comlink::HostSessions sessions; }, Kind::NotRegistered, NotRegistered,
                     L"creating TermLink.HostSessions");
     }},
    {"SessionNotRegistered",
     [] {
         expectError([] { comlink::HostSession session; }, Kind::NotRegistered, NotRegistered,
                     L"creating TermLink.HostSession");
     }},
};

const std::vector<Case> registeredCases = {
    {"UnknownProgIdIsNotRegistered",
     [] {
         expectError([] { comlink::Object::create(L"TermLink.NoSuchObject"); }, Kind::NotRegistered,
                     NotRegistered, L"creating TermLink.NoSuchObject");
     }},
    {"CountOfASignedInTerminalIsOne",
     [] { expectNumber(comlink::HostSessions().Count(), 1, L"Count"); }},
    {"LastResponseIsTheDisplayWithItsCyrillicText",
     [] { expectText(comlink::HostSession().LastResponse(), FirstDisplay, L"LastResponse.Text"); }},
    {"SendAnswersAndTheDisplayFollows",
     [] {
         comlink::HostSession session;
         expectText(session.Send(L"*R", 1), PassengerDisplay, L"Send(\"*R\", 1).Text");
         expectText(session.LastResponse(), PassengerDisplay, L"LastResponse.Text after *R");
         // A new session object shows the same terminal.
         expectText(comlink::HostSession().LastResponse(), PassengerDisplay,
                    L"LastResponse.Text of a new session");
     }},
    {"CyrillicCommandReachesTheTerminal",
     [] {
         // An unknown command, Cyrillic included, is the terminal's own refusal line.
         expectText(comlink::HostSession().Send(L"ФОРМА", 1), L"INVALID ENTRY - CHECK FORMAT\r\n>",
                    L"Send(\"ФОРМА\", 1).Text");
     }},
    {"FailingCallCarriesTheServersText",
     [] {
         comlink::HostSession session;
         expectError([&] { session.Send(L"FAIL", 1); }, Kind::CallFailed, BusyText,
                     L"Send(\"FAIL\", 1)");
         // The session is still usable after the refusal.
         expectText(session.Send(L"*R", 1), PassengerDisplay, L"Send(\"*R\", 1) after FAIL");
     }},
    {"SecondArgumentReachesTheTerminal",
     [] {
         expectError([] { comlink::HostSession().Send(L"*R", 2); }, Kind::CallFailed,
                     L"Send: the second argument must be 1.", L"Send(\"*R\", 2)");
     }},
    {"LongAnswerArrivesWhole",
     [] {
         const std::wstring expected = expectedLongAnswer();
         expectNumber(long(expected.size()), 1024 * 1024, L"size of the expected answer");
         comlink::HostSession session;
         expectText(session.Send(L"BIG", 1), expected, L"Send(\"BIG\", 1).Text");
         expectText(session.LastResponse(), expected, L"LastResponse.Text after BIG");
     }},
    {"CountZeroAfterSignOut",
     [] {
         comlink::HostSession session;
         expectText(session.Send(L"SO", 1), L"SIGNED OUT\r\n>", L"Send(\"SO\", 1).Text");
         expectNumber(comlink::HostSessions().Count(), 0, L"Count after sign-out");
         expectError([&] { session.Send(L"*R", 1); }, Kind::CallFailed, SignedOutText,
                     L"Send(\"*R\", 1) signed out");
         expectText(session.Send(L"SI", 1), L"SIGNED IN\r\n>", L"Send(\"SI\", 1).Text");
         expectNumber(comlink::HostSessions().Count(), 1, L"Count after sign-in");
     }},
    {"ReleasedObjectsAreGoneAndCreatedAgain",
     [] {
         {
             comlink::HostSessions sessions;
             comlink::HostSession session;
             expectNumber(sessions.Count(), 1, L"Count");
             session.Send(L"*R", 1);
             session.LastResponse();
             // The response objects went with their text; the two objects remain.
             expectNumber(liveObjects(), 2, L"objects alive while both are held");
         }
         expectNumber(liveObjects(), 0, L"objects alive after both were released");
         comlink::HostSessions sessions;
         comlink::HostSession session;
         expectNumber(sessions.Count(), 1, L"Count of the new object");
         expectText(session.LastResponse(), PassengerDisplay,
                    L"LastResponse.Text of the new object");
     }},
    {"ResetObjectRefusesCallsAndReleasesOnce",
     [] {
         comlink::Object object = comlink::Object::create(L"TermLink.HostSessions");
         expectNumber(liveObjects(), 1, L"objects alive while held");
         object.reset();
         object.reset();
         expectNumber(liveObjects(), 0, L"objects alive after reset");
         expectError([&] { object.getInteger(L"Count"); }, Kind::CallFailed,
                     L"There is no host session.", L"Count of a released object");
     }},
    {"UnknownMemberIsACallFailure",
     [] {
         comlink::Object object = comlink::Object::create(L"TermLink.HostSessions");
         try {
             object.getInteger(L"Sessions");
         } catch (const comlink::Error& e) {
             expectNumber(long(e.kind()), long(Kind::CallFailed), L"kind");
             expectNumber(e.code(), long(DISP_E_UNKNOWNNAME), L"code");
             return;
         }
         throw Failure{L"no error for an unknown member"};
     }},
};

} // namespace

int main(int argc, char** argv)
{
    const std::string phase = argc > 1 ? argv[1] : "";
    if (phase != "unregistered" && phase != "registered") {
        std::fprintf(stderr, "usage: test_comlink unregistered|registered\n");
        return 2;
    }
    comlink::Apartment apartment;
    const auto& cases = phase == "unregistered" ? unregisteredCases : registeredCases;
    int failed = 0;
    for (const Case& c : cases) {
        std::string result = "ok";
        try {
            resetTerminal();
            c.run();
        } catch (const Failure& f) {
            result = "FAILED: " + utf8(f.what);
        } catch (const comlink::Error& e) {
            result =
                "FAILED: unexpected error: " + utf8(e.message()) + " (" + utf8(e.detail()) + ")";
        }
        if (result != "ok")
            ++failed;
        std::printf("%s %s: %s\n", phase.c_str(), c.name, result.c_str());
    }
    std::printf("%s: %d of %d cases failed\n", phase.c_str(), failed, int(cases.size()));
    std::fflush(stdout);
    return failed;
}
