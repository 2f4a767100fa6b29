// The core's stop requests on Windows (base/stopsignals_win.cpp): a console's Ctrl+C
// reaches the owner once as SIGINT and is recorded; a second request changes nothing.
// Exit code: the number of failed checks.
#include "base/stopsignals.h"

#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <windows.h>

namespace {
int failures = 0;
void check(bool ok, const char* what)
{
    std::printf("stopsignals %s: %s\n", what, ok ? "ok" : "FAILED");
    if (!ok)
        ++failures;
}
} // namespace

int main()
{
    std::mutex m;
    std::condition_variable told;
    int calls = 0;
    int signal = 0;
    {
        base::StopSignals stop([&](int s) {
            std::lock_guard lock(m);
            ++calls;
            signal = s;
            told.notify_all();
        });
        check(!base::stopRequested(), "NothingRecordedAtStart");
        // A console of its own, so that the event goes to this process only.
        FreeConsole();
        const bool console = AllocConsole() != 0;
        check(console, "ConsoleCreated");
        if (console) {
            check(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) != 0, "CtrlCSent");
            std::unique_lock lock(m);
            // The system delivers the event on a thread of its own.
            told.wait_for(lock, std::chrono::seconds(20), [&] { return calls > 0; });
        }
        check(calls == 1 && signal == SIGINT, "CtrlCIsSigint");
        check(base::stopSignal() == SIGINT, "CtrlCRecorded");
        check(!stop.record(SIGTERM), "SecondRequestIgnored");
        check(calls == 1 && base::stopSignal() == SIGINT, "FirstRequestKept");
    }
    std::printf("stopsignals: %d checks failed\n", failures);
    return failures;
}
