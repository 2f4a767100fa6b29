// Stop requests on Windows: the console's control events (Ctrl+C, Ctrl+Break, the console
// closed, logoff, shutdown), which the system delivers on a thread of its own. Ctrl+C is
// recorded as SIGINT, the others as SIGTERM. A program without a console gets none of
// them; the window system's end of session reaches it as a normal shutdown instead.
#include "base/stopsignals.h"

#include <atomic>
#include <csignal>
#include <windows.h>

namespace base {
namespace {

std::atomic<StopSignals*> owner{nullptr};

BOOL WINAPI onControl(DWORD event)
{
    StopSignals* s = owner.load();
    if (!s)
        return FALSE; // the system's default: the process ends
    s->record(event == CTRL_C_EVENT ? SIGINT : SIGTERM);
    return TRUE;
}

} // namespace

StopSignals::StopSignals(std::function<void(int)> onStop) : m_onStop(std::move(onStop))
{
    owner.store(this);
    SetConsoleCtrlHandler(onControl, TRUE);
}

StopSignals::~StopSignals()
{
    SetConsoleCtrlHandler(onControl, FALSE);
    owner.store(nullptr);
}

} // namespace base
