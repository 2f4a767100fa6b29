// The terminal link on Windows: "TermLink.HostSessions" and "TermLink.HostSession" as the
// terminal's own COM objects (win/comlink.h), behind the program's host session
// interfaces. COM must be set up on the user-interface thread (comlink::Apartment) before
// the first object is created and until the last is released. Windows builds only.
#pragma once

#include "host/automation.h"

namespace host {

// Registers both object classes of the toolkit as COM objects created by their ProgIDs.
void registerComLink(AutomationRegistry& registry);

} // namespace host
