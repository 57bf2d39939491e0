#include "run/window_placement.h"

#include "platform/services.h"

namespace run {
namespace {

// Half the room left over, or nothing when there is none (or it is not a number).
double halfSlack(double room, double wanted) {
    const double slack = (room - wanted) * 0.5;
    return slack > 0 ? slack : 0;
}

}  // namespace

platform::Point placementOrigin(const std::optional<platform::ScreenFrames>& screen, double width, double height) {
    const platform::Rect visible = screen ? screen->visibleFrame : platform::Rect{};
    const platform::Rect frame = screen ? screen->frame : platform::Rect{};
    const double dx = halfSlack(visible.width, width);
    const double dy = halfSlack(visible.height, height);
    const double visibleTop = visible.y + visible.height;  // maximum y in bottom-left coordinates
    return {visible.x + dx, (frame.height - visibleTop) + dy};
}

std::optional<platform::Rect> placeWindowByProcess(const platform::ApplicationProcess& process,
                                                          const platform::ShareableWindow& window,
                                                          const jobs::Size& size) {
    platform::Applications& applications = *platform::services().applications;
    const platform::Point origin = placementOrigin(applications.mainScreen(), size.width, size.height);
    const platform::Rect frame{origin.x, origin.y, size.width, size.height};
    if (!applications.placeWindow(process, window.windowID, frame)) return std::nullopt;
    return frame;
}

}  // namespace run
