// The user-action tap on a real X server: which presses count as the user's primary (left) clicks.

#include <gtest/gtest.h>
// Xlib after GoogleTest: Xlib's macros clash with names in GoogleTest's headers.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <glib.h>

#include <chrono>
#include <vector>

#include "platform/linux/x11_io/xinput_user_events.h"

namespace {

// Serves GLib's default main context (where the tap's connection is a source) for `seconds`.
void serveMainLoop(double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        g_main_context_iteration(nullptr, FALSE);
        g_usleep(5000);
    }
}

// Presses and releases physical `button` at (x, y) through XTEST, which applies the pointer mapping as a
// real device does.
void pressPhysical(Display* display, int button, int x, int y) {
    XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
    XTestFakeButtonEvent(display, button, True, CurrentTime);
    XTestFakeButtonEvent(display, button, False, CurrentTime);
    XSync(display, False);
}

TEST(UserTap, TheLogicalPrimaryButtonIsTheOneLoggedUnderALeftHandedMapping) {
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    unsigned char original[256];
    const int buttons = XGetPointerMapping(display, original, sizeof original);
    ASSERT_GE(buttons, 3);
    std::vector<unsigned char> leftHanded(original, original + buttons);
    std::swap(leftHanded[0], leftHanded[2]);  // xmodmap -e "pointer = 3 2 1"

    std::vector<std::pair<double, double>> presses;
    platform::linux_desktop::XInputUserEvents events;
    auto tap = events.tapLeftPresses([&](double x, double y, std::optional<double>) { presses.emplace_back(x, y); }, {});
    ASSERT_TRUE(tap);

    // Right-handed: physical button 1 is the primary one.
    // (The position is the pointer's when the press is handled: each press is handled before the next.)
    pressPhysical(display, 1, 101, 102);
    serveMainLoop(0.3);
    pressPhysical(display, 3, 103, 104);
    serveMainLoop(0.5);
    EXPECT_EQ(presses, (std::vector<std::pair<double, double>>{{101, 102}}));

    presses.clear();
    ASSERT_EQ(XSetPointerMapping(display, leftHanded.data(), buttons), MappingSuccess);
    XSync(display, False);
    pressPhysical(display, 1, 201, 202);  // the user's secondary click
    serveMainLoop(0.3);
    pressPhysical(display, 3, 203, 204);  // the user's primary click
    serveMainLoop(0.5);
    XSetPointerMapping(display, original, buttons);
    XSync(display, False);
    EXPECT_EQ(presses, (std::vector<std::pair<double, double>>{{203, 204}}));
    tap.reset();
    XCloseDisplay(display);
}

}  // namespace
