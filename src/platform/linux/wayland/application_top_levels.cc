#include "platform/linux/wayland/application_top_levels.h"

#include <algorithm>

#include "platform/linux/wayland/mutter_bus.h"

namespace platform::linux_desktop {

std::vector<TopLevel> applicationTopLevels() {
    std::vector<TopLevel> windows = atspiTopLevels();
    if (windows.empty()) return windows;
    if (const auto compositor = compositorProcessId())
        std::erase_if(windows, [&](const TopLevel& window) { return window.pid == *compositor; });
    return windows;
}

}  // namespace platform::linux_desktop
