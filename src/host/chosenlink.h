// The terminal link the settings choose (HOSTLINK): velmora-term's local socket, or on
// Windows the terminal's own COM toolkit. On Windows the caller keeps a comlink::Apartment
// on the user-interface thread for as long as objects of the toolkit may live.
#pragma once

#include "base/settings.h"
#include "host/termlinkclient.h"

namespace host {

// Registers the two object classes of the chosen link; options are the socket link's.
void registerChosenLink(AutomationRegistry& registry, base::HostLinkKind kind,
                        const TermLinkOptions& options);

} // namespace host
