#pragma once
// What the executable and a module exchange as the module is opened: the context the executable decided
// once at start, and the table of what the module hands over. Every module exports one entry point,
// defined with QC_MODULE_ENTRY, that returns its table; the executable's registration (linux_services.cc)
// says which of its services each module gives. Nothing forwards a service by hand.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/geometry.h"
#include "platform/linux/desktop/desktop_session.h"
#include "platform/services.h"

namespace platform::linux_desktop {

/// Where a desktop module sees a top-level window: the screen point its accessible coordinates start at
/// (the corner the toolkit measures from) and its frame as a person sees it, both in screen points.
struct TopLevelPlacement {
    Point contentOrigin;
    Rect visibleFrame;
};

/// A top-level window a desktop module sees at a point: its process, its title and its frame as a person sees
/// it, in screen points.
struct TopLevelAtPoint {
    int32_t pid = 0;
    std::string title;
    Rect visibleFrame;
};

/// Window geometry a desktop module knows better than the accessibility bus (a Wayland compositor).
struct DesktopGeometry {
    /// The placement of the top-level window of process `pid` whose accessible title is `title` and whose
    /// accessible extents have size `accessibleSize`; nothing when the module does not know it.
    std::optional<TopLevelPlacement> (*placementOf)(int32_t pid, const std::string& title, Size accessibleSize) = nullptr;
    /// The window a person sees at the screen point `point`, the front one where windows overlap (what a hit
    /// test starts from); nothing when there is none or the module does not know. Null when the module cannot
    /// tell the order of its windows.
    std::optional<TopLevelAtPoint> (*topLevelAt)(Point point) = nullptr;
};

/// Requests on a top-level window that only a desktop module can make (a Wayland compositor places and
/// raises windows; no client can), for the accessibility module's writes to window elements. The window is
/// found as `DesktopGeometry::placementOf` finds it. Each answers false when the window was not found or the
/// compositor refused.
struct DesktopWindowRequests {
    /// Moves the window's frame as a person sees it to `origin` and sizes it to `size` (either may be
    /// absent: that part is kept), in screen points; returns once the window has it (or a bounded wait ends).
    bool (*setVisibleFrame)(int32_t pid, const std::string& title, Size accessibleSize, std::optional<Point> origin,
                            std::optional<Size> size) = nullptr;
    /// Raises the window and gives it the keyboard focus.
    bool (*raise)(int32_t pid, const std::string& title, Size accessibleSize) = nullptr;
};

struct ModuleTable;

/// What a module is told as it is opened.
struct ModuleContext {
    DesktopSession session = DesktopSession::x11;
    /// The desktop module's window geometry (its module opened on first call), or null when it knows none.
    const DesktopGeometry* (*desktopGeometry)() = nullptr;
    /// The desktop module's window requests (its module opened on first call), or null when it makes none.
    const DesktopWindowRequests* (*desktopWindowRequests)() = nullptr;
    /// The table of the desktop's companion module, for a desktop whose streams and input live apart from
    /// what lists its windows (X11), opened on first call; null when there is none. Throws CaptureError, as
    /// any module's loading does, when it cannot be opened.
    const ModuleTable* (*desktopCompanion)() = nullptr;
};

/// The checks behind the permissions (platform/permission_probe.h), each answered by the module that knows:
/// the desktop module says whether the screen can be read and whether input it makes reaches applications,
/// the bus library whether desktop accessibility is on. Asking for accessibility is the bus library's
/// `turnAccessibilityOn`, and a desktop module's too where it has a part of its own (GNOME Shell's extension).
struct PermissionChecks {
    bool (*screenPixelsReadable)() = nullptr;
    bool (*takesSyntheticInput)() = nullptr;
    bool (*accessibilityOn)() = nullptr;
    void (*turnAccessibilityOn)() = nullptr;
};

/// What a module hands over: the contract's services it offers (the others left empty), the permission
/// checks it answers (the others left null), and for a desktop module the window geometry and requests it
/// makes for the accessibility module (left empty by modules that know none). Owned by the module for the
/// process's life.
struct ModuleTable {
    Services services{};
    PermissionChecks checks{};
    DesktopGeometry geometry{};
    DesktopWindowRequests windowRequests{};
};

/// The name every module's entry point has, and its type.
inline constexpr const char* kModuleEntrySymbol = "qc_module_services";
using ModuleEntryPoint = const ModuleTable* (*)(const ModuleContext& context);

}  // namespace platform::linux_desktop

/// Defines a module's entry point: `QC_MODULE_ENTRY(context) { static ... table{...}; return &table; }`.
#define QC_MODULE_ENTRY(context)                                                                 \
    extern "C" __attribute__((visibility("default"))) const platform::linux_desktop::ModuleTable* \
    qc_module_services([[maybe_unused]] const platform::linux_desktop::ModuleContext& context)
