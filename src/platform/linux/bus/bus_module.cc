// The entry point of the bus library, for the one question a command asks of it alone: whether desktop
// accessibility is on. `permissions` opens this library, not the accessibility module that links it, so it
// maps and relocates no accessibility code. The modules that link the library find their own entry point
// first, as each is opened by its own handle.

#include "platform/linux/bus/accessibility_permission.h"
#include "platform/linux/module_entry.h"

QC_MODULE_ENTRY(context) {
    using namespace platform::linux_desktop;
    static const ModuleTable table{
        .checks = {.accessibilityOn = desktopAccessibilityOn, .turnAccessibilityOn = turnDesktopAccessibilityOn}};
    return &table;
}
