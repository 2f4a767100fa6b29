// The end of the program asked for from outside: SIGINT (Ctrl+C) and SIGTERM (a logout,
// a service manager). The database client library installs handlers of its own for
// them, after which they would no longer end the program; so they are blocked in every
// thread and taken by one thread of this program, which records the request and tells
// its owner. On Windows the console's control events take their place (Ctrl+C as SIGINT,
// the others as SIGTERM). This and its two sources are the platform seam of the core.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace base {

// Whether the program was asked to end, and by which signal (0: it was not). Work that
// takes a while (waiting for the host, sending update commands) looks here and stops.
int stopSignal();
bool stopRequested();

class StopSignals {
public:
    // Call before any other thread starts (the blocked set is inherited). onStop runs on
    // the listening thread, once, after the request is recorded.
    explicit StopSignals(std::function<void(int signal)> onStop);
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Records a request (only the first counts) and tells the owner; false when one was
    // recorded before. The platform's source of requests calls it.
    bool record(int signal);

private:
#ifndef _WIN32
    void listen();
#endif

    std::function<void(int)> m_onStop;
    std::thread m_listener;
};

} // namespace base
