// The stop request every platform shares; how it is taken from the system is the
// platform's (stopsignals_posix.cpp, stopsignals_win.cpp).
#include "base/stopsignals.h"

namespace base {
namespace {
std::atomic<int> requested{0};
} // namespace

int stopSignal()
{
    return requested.load();
}

bool stopRequested()
{
    return requested.load() != 0;
}

bool StopSignals::record(int signal)
{
    int none = 0;
    if (!requested.compare_exchange_strong(none, signal))
        return false;
    if (m_onStop)
        m_onStop(signal);
    return true;
}

} // namespace base
