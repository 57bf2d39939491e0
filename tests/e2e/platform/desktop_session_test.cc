// The kind of desktop session, decided from the environment at start, which chooses the desktop module: a
// Plasma Wayland session must get the KWin module (before it had mutter's, and every request failed), a
// GNOME one mutter's, and an X11 session the X11 module whatever its desktop.

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/linux/desktop/desktop_session.h"

namespace {

using platform::linux_desktop::DesktopSession;
using platform::linux_desktop::desktopSessionFromEnvironment;

DesktopSession sessionWith(const char* waylandDisplay, const char* sessionType, const char* currentDesktop) {
    const auto set = [](const char* name, const char* value) {
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    };
    set("WAYLAND_DISPLAY", waylandDisplay);
    set("XDG_SESSION_TYPE", sessionType);
    set("XDG_CURRENT_DESKTOP", currentDesktop);
    return desktopSessionFromEnvironment();
}

TEST(DesktopSession, TheCompositorOfAWaylandSessionIsToldByTheCurrentDesktop) {
    EXPECT_EQ(sessionWith("wayland-0", "wayland", "KDE"), DesktopSession::kwinWayland);
    EXPECT_EQ(sessionWith(nullptr, "wayland", "KDE"), DesktopSession::kwinWayland);
    // A list of names, as some distributions give it; a name that only contains "KDE" is another desktop.
    EXPECT_EQ(sessionWith("wayland-0", nullptr, "Plasma:KDE"), DesktopSession::kwinWayland);
    EXPECT_EQ(sessionWith("wayland-0", "wayland", "KDEX"), DesktopSession::gnomeWayland);
    EXPECT_EQ(sessionWith("wayland-0", "wayland", "ubuntu:GNOME"), DesktopSession::gnomeWayland);
    EXPECT_EQ(sessionWith("wayland-0", "wayland", nullptr), DesktopSession::gnomeWayland);
    // Plasma on X11 is served by the X11 module.
    EXPECT_EQ(sessionWith(nullptr, "x11", "KDE"), DesktopSession::x11);
    EXPECT_EQ(sessionWith("", nullptr, "KDE"), DesktopSession::x11);
}

}  // namespace
