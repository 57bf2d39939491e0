#pragma once
// The accessibility permission as the session bus answers it, the part that is the same on every desktop;
// the desktop module adds whether the tool's input reaches applications (module_entry.h, PermissionChecks).

namespace platform::linux_desktop {

/// True when the session bus answers, desktop accessibility is on (org.a11y.Status IsEnabled) and the
/// accessibility bus can be connected to.
bool desktopAccessibilityOn();

/// Asks for desktop accessibility to be turned on (IsEnabled true), when the session bus answers.
void turnDesktopAccessibilityOn();

}  // namespace platform::linux_desktop
