// Stop requests on POSIX systems: SIGINT and SIGTERM, blocked in every thread and taken
// by one listening thread.
#include "base/stopsignals.h"

#include <csignal>
#include <pthread.h>

namespace base {
namespace {

// SIGUSR2 only wakes the listener when its owner ends.
sigset_t listenedSet()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGUSR2);
    return set;
}

} // namespace

StopSignals::StopSignals(std::function<void(int)> onStop) : m_onStop(std::move(onStop))
{
    const sigset_t set = listenedSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    m_listener = std::thread([this] { listen(); });
}

StopSignals::~StopSignals()
{
    pthread_kill(m_listener.native_handle(), SIGUSR2);
    m_listener.join();
}

void StopSignals::listen()
{
    const sigset_t set = listenedSet();
    for (;;) {
        int signal = 0;
        if (sigwait(&set, &signal) != 0 || signal == SIGUSR2)
            return;
        record(signal);
    }
}

} // namespace base
