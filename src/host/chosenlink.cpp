#include "host/chosenlink.h"

#ifdef Q_OS_WIN
#include "host/comautomation.h"
#endif

namespace host {

void registerChosenLink(AutomationRegistry& registry, base::HostLinkKind kind,
                        const TermLinkOptions& options)
{
#ifdef Q_OS_WIN
    if (kind == base::HostLinkKind::Com)
        return registerComLink(registry);
#else
    Q_UNUSED(kind); // the socket is the only link here
#endif
    registerTermLink(registry, options);
}

} // namespace host
