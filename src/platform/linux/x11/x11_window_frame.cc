#include "platform/linux/x11/x11_window_frame.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <time.h>

#include <cmath>
#include <limits>

#include "platform/linux/x11/x11_display.h"
#include "platform/linux/x11/x11_properties.h"

namespace platform::linux_desktop {
namespace {

constexpr double kSettleWaitSeconds = 1.0;
constexpr long kSettlePollNanos = 10'000'000;

bool hasWmState(Display* display, Window window) {
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    const Atom wmState = atom(display, "WM_STATE");
    XGetWindowProperty(display, window, wmState, 0, 0, False, AnyPropertyType, &actualType, &format, &count,
                       &remaining, &data);
    if (data) XFree(data);
    return actualType != None;
}

// The client window inside a window manager's frame: the first descendant with WM_STATE.
Window clientInside(Display* display, Window window, int depth = 0) {
    if (hasWmState(display, window)) return window;
    if (depth > 4) return 0;
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count)) return 0;
    Window found = 0;
    for (unsigned int i = 0; i < count && !found; ++i) found = clientInside(display, children[i], depth + 1);
    if (children) XFree(children);
    return found;
}

std::optional<Rect> rootRect(Display* display, Window window) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes)) return std::nullopt;
    int x = 0, y = 0;
    Window child = 0;
    if (!XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child))
        return std::nullopt;
    return Rect{static_cast<double>(x - attributes.border_width), static_cast<double>(y - attributes.border_width),
                static_cast<double>(attributes.width + 2 * attributes.border_width),
                static_cast<double>(attributes.height + 2 * attributes.border_width)};
}

void sendRootMessage(Display* display, Window window, const char* type, const long (&data)[5]) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = atom(display, type);
    event.xclient.format = 32;
    for (int i = 0; i < 5; ++i) event.xclient.data.l[i] = data[i];
    XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask,
               &event);
}

// Polls `done` until it holds or about a second has passed.
template <typename Done>
bool waitUntil(Done done) {
    const int polls = static_cast<int>(kSettleWaitSeconds * 1e9 / kSettlePollNanos);
    for (int i = 0; i < polls; ++i) {
        if (done()) return true;
        timespec pause{0, kSettlePollNanos};
        nanosleep(&pause, nullptr);
    }
    return done();
}

double distance(const Rect& a, const Rect& b) {
    return std::abs(a.x - b.x) + std::abs(a.y - b.y) +
           std::abs(a.width - b.width) + std::abs(a.height - b.height);
}

}  // namespace

bool compositingManagerRuns(Display* display) {
    const std::string manager = "_NET_WM_CM_S" + std::to_string(DefaultScreen(display));
    return XGetSelectionOwner(display, atom(display, manager.c_str())) != None;
}

std::optional<Margins> declaredShadow(Display* display, Window client) {
    // Without a compositing manager nothing is see-through: what a client declares there is drawn where the
    // user sees it (Chromium 156 declares 4, 4, 0, 4 under openbox alone and paints its frame's border
    // there).
    if (!compositingManagerRuns(display)) return std::nullopt;
    return shadowOf(longProperty(display, client, "_GTK_FRAME_EXTENTS", XA_CARDINAL));
}

std::optional<Margins> shadowOf(const std::vector<unsigned long>& extents) {
    if (extents.size() != 4) return std::nullopt;
    Margins margins{static_cast<double>(extents[0]), static_cast<double>(extents[1]), static_cast<double>(extents[2]),
                    static_cast<double>(extents[3])};
    if (margins.left == 0 && margins.right == 0 && margins.top == 0 && margins.bottom == 0) return std::nullopt;
    return margins;
}

Rect visiblePart(const Rect& outer, const Rect& clientArea, const std::optional<Margins>& shadow) {
    if (!shadow) return outer;
    const double left = std::max(outer.x, clientArea.x + shadow->left);
    const double top = std::max(outer.y, clientArea.y + shadow->top);
    const double right = std::min(outer.x + outer.width,
                                  clientArea.x + clientArea.width - shadow->right);
    const double bottom = std::min(outer.y + outer.height,
                                   clientArea.y + clientArea.height - shadow->bottom);
    if (right - left < 1 || bottom - top < 1) return outer;  // a shadow larger than the window is no shadow
    return {left, top, right - left, bottom - top};
}

namespace {

// Reads the window's outer rectangle, client area, declared shadow and visible frame; false when it is gone.
bool readFrames(Display* display, ClientWindow& window) {
    const auto outer = rootRect(display, window.outermost);
    const auto client = rootRect(display, window.client);
    if (!outer || !client) return false;
    window.outer = *outer;
    window.clientArea = *client;
    window.invisibleMargins = declaredShadow(display, window.client);
    window.frame = visiblePart(*outer, *client, window.invisibleMargins);
    return true;
}

}  // namespace

std::vector<ClientWindow> clientWindowsTopFirst(Display* display) {
    std::vector<ClientWindow> windows;
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) return windows;
    for (unsigned int i = count; i-- > 0;) {
        const Window outermost = children[i];
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display, outermost, &attributes) || attributes.map_state != IsViewable ||
            attributes.c_class == InputOnly)
            continue;
        ClientWindow window;
        window.outermost = outermost;
        window.overrideRedirect = attributes.override_redirect;
        window.client = clientInside(display, outermost);
        if (!window.client) {
            if (!attributes.override_redirect) continue;  // a window manager's own window
            window.client = outermost;
        }
        if (!readFrames(display, window)) continue;
        window.pid = windowProcess(display, window.client);
        auto title = utf8Property(display, window.client, atom(display, "_NET_WM_NAME"));
        if (!title || title->empty()) title = textProperty(display, window.client, XA_WM_NAME);
        window.title = title.value_or("");
        windows.push_back(std::move(window));
    }
    if (children) XFree(children);
    return windows;
}

std::optional<ClientWindow> findClientWindow(Display* display, int pid, const std::string& title,
                                             const std::optional<Rect>& frame) {
    std::optional<ClientWindow> best;
    double bestScore = std::numeric_limits<double>::infinity();
    for (ClientWindow& window : clientWindowsTopFirst(display)) {
        if (window.pid != pid || window.overrideRedirect) continue;
        double score = window.title == title ? 0 : 1e7;
        if (frame) score += std::min(distance(window.frame, *frame), distance(window.clientArea, *frame));
        if (score < bestScore) {
            bestScore = score;
            best = std::move(window);
        }
    }
    return best;
}

namespace {

// The states under which a window manager keeps a window's size and place to itself.
constexpr const char* kFillingStates[] = {"_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ",
                                          "_NET_WM_STATE_FULLSCREEN"};

bool fillsScreen(Display* display, Window client) {
    for (unsigned long state : longProperty(display, client, "_NET_WM_STATE", XA_ATOM))
        for (const char* name : kFillingStates)
            if (state == atom(display, name)) return true;
    return false;
}

// Asks the window manager to take a maximised or full-screen window back to its normal state, and waits (at
// most about a second each) until the state is gone and the frame has stopped changing. The window's
// frame and client area are read again afterwards, since the decorations may differ between the states.
// False when the window was in neither state.
bool restoreToNormal(Display* display, ClientWindow& window) {
    if (!fillsScreen(display, window.client)) return false;
    constexpr long kRemove = 0, kSourcePager = 2;
    sendRootMessage(display, window.client, "_NET_WM_STATE",
                    {kRemove, static_cast<long>(atom(display, kFillingStates[0])),
                     static_cast<long>(atom(display, kFillingStates[1])), kSourcePager, 0});
    sendRootMessage(display, window.client, "_NET_WM_STATE",
                    {kRemove, static_cast<long>(atom(display, kFillingStates[2])), 0, kSourcePager, 0});
    XFlush(display);
    waitUntil([&] { return !fillsScreen(display, window.client); });
    std::optional<Rect> last;
    int unchanged = 0;
    waitUntil([&] {
        const auto now = rootRect(display, window.outermost);
        unchanged = now && last && distance(*now, *last) == 0 ? unchanged + 1 : 0;
        last = now;
        return unchanged >= 3;
    });
    readFrames(display, window);
    return true;
}

}  // namespace

bool moveResizeFrame(Display* display, const ClientWindow& placed, const std::optional<Point>& origin,
                     const std::optional<Size>& size) {
    if (!origin && !size) return false;
    // A maximised or full-screen window ignores moves and resizes until it is back to normal.
    ClientWindow window = placed;
    if (windowManagerRuns(display)) restoreToNormal(display, window);
    // Decorations around the client: what the frame adds on each side (less than nothing where the client
    // declares a shadow, which lies outside the frame).
    const double left = window.clientArea.x - window.frame.x;
    const double top = window.clientArea.y - window.frame.y;
    const double horizontal = window.frame.width - window.clientArea.width;
    const double vertical = window.frame.height - window.clientArea.height;
    long x = std::lround(window.clientArea.x), y = std::lround(window.clientArea.y);
    long width = std::lround(window.clientArea.width), height = std::lround(window.clientArea.height);
    if (origin) {
        x = std::lround(origin->x + left);
        y = std::lround(origin->y + top);
    }
    if (size) {
        width = std::max(1L, std::lround(size->width - horizontal));
        height = std::max(1L, std::lround(size->height - vertical));
    }
    const bool managed = windowManagerRuns(display);
    // Where the outermost window's top-left corner must end up, in root coordinates: the frame's corner,
    // less the shadow that lies around it.
    const double shadowLeft = window.frame.x - window.outer.x;
    const double shadowTop = window.frame.y - window.outer.y;
    const long frameX = std::lround(origin ? origin->x - shadowLeft : window.outer.x);
    const long frameY = std::lround(origin ? origin->y - shadowTop : window.outer.y);
    if (managed) {
        // North-west gravity: the position is the frame's outer top-left corner, whatever border the client
        // had before the window manager took it (static gravity would measure from inside that original
        // border, which X toolkits' shells set to one pixel: the frame would land a pixel off). Bits 8-11
        // say which values are given; source 2 is a pager, whose requests window managers honour.
        constexpr long kNorthWestGravity = 1;
        const long flags = kNorthWestGravity | (origin ? (1L << 8) | (1L << 9) : 0) |
                           (size ? (1L << 10) | (1L << 11) : 0) | (2L << 12);
        sendRootMessage(display, window.client, "_NET_MOVERESIZE_WINDOW", {flags, frameX, frameY, width, height});
    } else if (origin && size) {
        XMoveResizeWindow(display, window.client, static_cast<int>(x), static_cast<int>(y),
                          static_cast<unsigned>(width), static_cast<unsigned>(height));
    } else if (origin) {
        XMoveWindow(display, window.client, static_cast<int>(x), static_cast<int>(y));
    } else {
        XResizeWindow(display, window.client, static_cast<unsigned>(width), static_cast<unsigned>(height));
    }
    XFlush(display);
    waitUntil([&] {
        const auto now = rootRect(display, window.client);
        const auto frame = managed ? rootRect(display, window.outermost) : now;
        return now && frame && std::lround(frame->x) == (managed ? frameX : x) &&
               std::lround(frame->y) == (managed ? frameY : y) && std::lround(now->width) == width &&
               std::lround(now->height) == height;
    });
    return true;
}

bool raiseAndActivate(Display* display, const ClientWindow& window) {
    if (windowManagerRuns(display)) {
        // Source 2 (a pager) with the current time: the window manager raises and focuses it.
        sendRootMessage(display, window.client, "_NET_ACTIVE_WINDOW", {2, CurrentTime, 0, 0, 0});
        XFlush(display);
        const Window root = DefaultRootWindow(display);
        waitUntil([&] {
            const auto active = longProperty(display, root, "_NET_ACTIVE_WINDOW", XA_WINDOW);
            return !active.empty() && active[0] == window.client;
        });
        return true;
    }
    withoutXErrors(display, [&] {
        XRaiseWindow(display, window.outermost);
        XSetInputFocus(display, window.client, RevertToParent, CurrentTime);
    });
    return true;
}

}  // namespace platform::linux_desktop
