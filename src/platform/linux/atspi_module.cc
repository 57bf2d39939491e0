// The entry point of the accessibility module: the one symbol the executable looks up.

#include "platform/linux/atspi_accessibility.h"

extern "C" __attribute__((visibility("default"))) platform::Accessibility* qc_accessibility() {
    static platform::linux_desktop::AtspiAccessibility accessibility;
    return &accessibility;
}
