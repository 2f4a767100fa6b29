// The terminal link on Linux: "TermLink.HostSessions" and "TermLink.HostSession" as clients
// of velmora-term's local socket. Creating an object connects at once and fails at once
// when nothing listens; every member waits at most the time limit for its answer.
#pragma once

#include "host/automation.h"
#include "host/termlinkprotocol.h"

#include <chrono>

namespace host {

// A wait for the terminal given up because the program was asked to end.
inline constexpr QStringView StoppedMessage =
    u"The program was asked to end while it waited for the terminal.";

struct TermLinkOptions {
    // Empty: the default socket, which the program always uses; tests pass one of their own.
    QString socketName;
    // How long one request may wait for its answer before the link gives up on it.
    std::chrono::milliseconds timeout{30000};
};

// Registers both object classes of the toolkit as clients of velmora-term.
void registerTermLink(AutomationRegistry& registry, const TermLinkOptions& options = {});

} // namespace host
