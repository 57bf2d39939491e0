#pragma once
// Turning the project's GNOME Shell extension on for the user: what `permissions --request` does in a GNOME
// Shell session, where the tool drives only the focused window without it.

namespace platform::linux_desktop {

/// In a GNOME Shell session whose shell has not loaded the extension, adds it to the user's
/// org.gnome.shell enabled-extensions setting (and takes it out of disabled-extensions). A shell that found the
/// extension installed when it started turns it on at once (this waits a moment for it); otherwise one line on
/// standard error says that it takes effect at the next log-in, or that it is not installed. Does nothing
/// elsewhere.
void turnShellExtensionOn();

}  // namespace platform::linux_desktop
