// The entry point of the accessibility module: the accessibility service.

#include <X11/Xlib.h>

#include "platform/linux/atspi/atspi_accessibility.h"
#include "platform/linux/atspi/atspi_session.h"
#include "platform/linux/module_entry.h"

namespace {

// Window moves and raises go through Xlib, which other threads may use too: it must know before any call.
__attribute__((constructor)) void xlibThreadsFirst() { XInitThreads(); }

}  // namespace

QC_MODULE_ENTRY(context) {
    using namespace platform::linux_desktop;
    useModuleContext(context);
    static AtspiAccessibility accessibility;
    static const ModuleTable table{.services = {.accessibility = &accessibility}};
    return &table;
}
