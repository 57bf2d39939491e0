#include "platform/linux/x11/x11_window_frame.h"

#include <X11/Xatom.h>
#include <X11/Xlib-xcb.h>
#include <X11/Xutil.h>
#include <time.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <map>
#include <memory>
#include <set>

#include "platform/linux/x11/x11_display.h"
#include "platform/linux/x11/x11_properties.h"
#include "platform/linux/x11/x11_window_kind.h"

namespace platform::linux_desktop {
namespace {

constexpr double kSettleWaitSeconds = 1.0;
constexpr long kSettlePollNanos = 10'000'000;
// How deep below a root's child its client window is looked for.
constexpr int kClientSearchDepth = 5;

template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

// The first window with WM_STATE at or below `window`, depth first, among the windows that were read.
Window firstMarked(Window window, const std::set<Window>& marked, const std::map<Window, std::vector<Window>>& below) {
    if (marked.contains(window)) return window;
    const auto children = below.find(window);
    if (children == below.end()) return 0;
    for (Window child : children->second)
        if (const Window client = firstMarked(child, marked, below)) return client;
    return 0;
}

// The client window inside each of `tops` (a window manager's frame): the first descendant with WM_STATE,
// depth first, at most kClientSearchDepth levels down. The windows below all of `tops` are read together, a
// tree level at a time, each level in one round trip (WM_STATE and the children of every window of the
// level), instead of two round trips for each window looked at.
std::vector<Window> clientsInside(Display* display, const std::vector<Window>& tops) {
    xcb_connection_t* connection = XGetXCBConnection(display);
    const auto wmState = static_cast<xcb_atom_t>(atom(display, "WM_STATE"));
    std::set<Window> marked;                     // windows with WM_STATE
    std::map<Window, std::vector<Window>> below;  // children of the windows without it
    std::vector<Window> level = tops;
    for (int depth = 0; depth <= kClientSearchDepth && !level.empty(); ++depth) {
        std::vector<xcb_get_property_cookie_t> states;
        std::vector<std::optional<xcb_query_tree_cookie_t>> trees;
        for (Window window : level) {
            const auto id = static_cast<xcb_window_t>(window);
            states.push_back(xcb_get_property(connection, 0, id, wmState, XCB_GET_PROPERTY_TYPE_ANY, 0, 0));
            trees.push_back(depth < kClientSearchDepth ? std::optional(xcb_query_tree(connection, id)) : std::nullopt);
        }
        std::vector<Window> next;
        for (size_t i = 0; i < level.size(); ++i) {
            ReplyPtr<xcb_get_property_reply_t> state(xcb_get_property_reply(connection, states[i], nullptr),
                                                     &std::free);
            ReplyPtr<xcb_query_tree_reply_t> tree(
                trees[i] ? xcb_query_tree_reply(connection, *trees[i], nullptr) : nullptr, &std::free);
            if (state && state->type != XCB_ATOM_NONE) {
                marked.insert(level[i]);
                continue;
            }
            if (!tree) continue;
            const xcb_window_t* children = xcb_query_tree_children(tree.get());
            auto& list = below[level[i]];
            list.assign(children, children + xcb_query_tree_children_length(tree.get()));
            next.insert(next.end(), list.begin(), list.end());
        }
        level = std::move(next);
    }
    std::vector<Window> found;
    for (Window top : tops) found.push_back(firstMarked(top, marked, below));
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
    const Window rootWindow = DefaultRootWindow(display);
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, rootWindow, &root, &parent, &children, &count)) return windows;
    const std::string compositingSelection = "_NET_WM_CM_S" + std::to_string(DefaultScreen(display));
    internAtoms(display, {"WM_STATE", "_NET_WM_PID", "_NET_WM_NAME", "UTF8_STRING", "_GTK_FRAME_EXTENTS",
                          compositingSelection.c_str()});
    xcb_connection_t* connection = XGetXCBConnection(display);

    // Every child's attributes, asked at once (one round trip, whatever their number), top-most first.
    std::vector<Window> topFirst(children, children + count);
    if (children) XFree(children);
    std::reverse(topFirst.begin(), topFirst.end());
    std::vector<xcb_get_window_attributes_cookie_t> attributeRequests;
    for (Window window : topFirst)
        attributeRequests.push_back(xcb_get_window_attributes(connection, static_cast<xcb_window_t>(window)));
    std::vector<ClientWindow> viewable;
    for (size_t i = 0; i < topFirst.size(); ++i) {
        ReplyPtr<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(connection, attributeRequests[i], nullptr), &std::free);
        if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE ||
            attributes->_class == XCB_WINDOW_CLASS_INPUT_ONLY)
            continue;
        ClientWindow window;
        window.outermost = topFirst[i];
        window.overrideRedirect = attributes->override_redirect;
        viewable.push_back(window);
    }

    std::vector<Window> outermost;
    for (const ClientWindow& window : viewable) outermost.push_back(window.outermost);
    const std::vector<Window> clients = clientsInside(display, outermost);
    std::vector<ClientWindow> held;
    for (size_t i = 0; i < viewable.size(); ++i) {
        ClientWindow& window = viewable[i];
        window.client = clients[i];
        if (!window.client) {
            if (!window.overrideRedirect) continue;  // a window manager's own window
            window.client = window.outermost;
        }
        held.push_back(window);
    }

    // Where each outermost and client window lies on the root, asked at once: their geometry and the root
    // position of their corner (as rootRect reads them one by one).
    struct Placement {
        xcb_get_geometry_cookie_t geometry;
        xcb_translate_coordinates_cookie_t corner;
    };
    const auto ask = [&](Window window) {
        const auto id = static_cast<xcb_window_t>(window);
        return Placement{xcb_get_geometry(connection, id),
                         xcb_translate_coordinates(connection, id, static_cast<xcb_window_t>(rootWindow), 0, 0)};
    };
    const auto rectOf = [&](const Placement& placement) -> std::optional<Rect> {
        ReplyPtr<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(connection, placement.geometry, nullptr),
                                                    &std::free);
        ReplyPtr<xcb_translate_coordinates_reply_t> corner(
            xcb_translate_coordinates_reply(connection, placement.corner, nullptr), &std::free);
        if (!geometry || !corner || !corner->same_screen) return std::nullopt;
        const double border = geometry->border_width;
        return Rect{corner->dst_x - border, corner->dst_y - border, geometry->width + 2 * border,
                    geometry->height + 2 * border};
    };
    std::vector<std::pair<Placement, Placement>> placements;
    for (const ClientWindow& window : held) placements.emplace_back(ask(window.outermost), ask(window.client));

    // What each client says of itself, asked at once. A declared shadow counts only while a compositing
    // manager runs (declaredShadow), which is asked once for all windows.
    const bool compositing = compositingManagerRuns(display);
    const Atom pidAtom = atom(display, "_NET_WM_PID"), netName = atom(display, "_NET_WM_NAME");
    const Atom frameExtents = atom(display, "_GTK_FRAME_EXTENTS");
    std::vector<Window> clientWindows;
    for (const ClientWindow& window : held) clientWindows.push_back(window.client);
    std::vector<Atom> asked{pidAtom, netName, XA_WM_NAME};
    if (compositing) asked.push_back(frameExtents);
    for (Atom kind : windowKindProperties(display)) asked.push_back(kind);
    // Sent after the placements, whose answers have come by the time these have: one round trip for both.
    const WindowProperties properties(display, clientWindows, asked);
    std::vector<std::pair<std::optional<Rect>, std::optional<Rect>>> rects;
    for (const auto& [outer, client] : placements) {
        auto outerRect = rectOf(outer);
        rects.emplace_back(outerRect, rectOf(client));
    }

    for (size_t i = 0; i < held.size(); ++i) {
        ClientWindow& window = held[i];
        const auto& [outer, client] = rects[i];
        if (!outer || !client) continue;  // gone meanwhile
        window.outer = *outer;
        window.clientArea = *client;
        window.invisibleMargins =
            compositing ? shadowOf(properties.longs(window.client, frameExtents, XA_CARDINAL)) : std::nullopt;
        window.frame = visiblePart(*outer, *client, window.invisibleMargins);
        const auto pid = properties.longs(window.client, pidAtom, XA_CARDINAL);
        if (!pid.empty() && pid[0] > 0 && pid[0] <= 0x7fffffff)
            window.pid = static_cast<int32_t>(pid[0]);
        else
            window.pid = windowProcess(display, window.client);
        auto title = properties.utf8(window.client, netName);
        if (!title || title->empty()) title = properties.text(window.client, XA_WM_NAME);
        window.splash = isSplashWindow(display, properties, window.client, window.overrideRedirect);
        window.title = title.value_or("");
        windows.push_back(std::move(window));
    }
    return windows;
}

std::optional<ClientWindow> clientWindowAt(Display* display, Point point) {
    for (ClientWindow& window : clientWindowsTopFirst(display))
        if (window.frame.contains(point)) return std::move(window);
    return std::nullopt;
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
