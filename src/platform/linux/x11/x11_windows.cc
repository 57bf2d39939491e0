#include "platform/linux/x11/x11_windows.h"

#include <X11/Xatom.h>
#include <X11/Xlib-xcb.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>
#include <X11/extensions/Xrandr.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <future>
#include <map>
#include <memory>
#include <set>
#include <system_error>

#include "platform/linux/x11/x11_properties.h"
#include "platform/linux/x11/x11_window_frame.h"
#include "platform/linux/x11/x11_window_kind.h"

namespace platform::linux_desktop {
namespace {

template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

// How deep below a top-level its client window is looked for: window managers put it one or two levels down.
constexpr int kClientSearchDepth = 3;

// Window levels of the other kinds of windows, on the same scale as the layer numbers of other desktops.
constexpr int kDesktopLayer = -2147483623;
constexpr int kFloatingLayer = 3;
constexpr int kDockLayer = 20;
constexpr int kNotificationLayer = 25;
constexpr int kPopUpMenuLayer = 101;
constexpr int kTooltipLayer = 200;

const std::pair<const char*, int> kLayers[] = {
    {"_NET_WM_WINDOW_TYPE_NORMAL", 0},
    {"_NET_WM_WINDOW_TYPE_DIALOG", 0},
    {"_NET_WM_WINDOW_TYPE_DESKTOP", kDesktopLayer},
    {"_NET_WM_WINDOW_TYPE_DOCK", kDockLayer},
    {"_NET_WM_WINDOW_TYPE_TOOLBAR", kFloatingLayer},
    {"_NET_WM_WINDOW_TYPE_UTILITY", kFloatingLayer},
    {"_NET_WM_WINDOW_TYPE_SPLASH", kFloatingLayer},
    {"_NET_WM_WINDOW_TYPE_MENU", kPopUpMenuLayer},
    {"_NET_WM_WINDOW_TYPE_DROPDOWN_MENU", kPopUpMenuLayer},
    {"_NET_WM_WINDOW_TYPE_POPUP_MENU", kPopUpMenuLayer},
    {"_NET_WM_WINDOW_TYPE_COMBO", kPopUpMenuLayer},
    {"_NET_WM_WINDOW_TYPE_DND", kPopUpMenuLayer},
    {"_NET_WM_WINDOW_TYPE_TOOLTIP", kTooltipLayer},
    {"_NET_WM_WINDOW_TYPE_NOTIFICATION", kNotificationLayer},
};

bool hasWMState(Display* display, Window window) {
    const Atom wmState = atom(display, "WM_STATE");
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const bool found = XGetWindowProperty(display, window, wmState, 0, 0, False, AnyPropertyType, &type, &format,
                                          &count, &after, &data) == Success &&
                       type != None;
    if (data) XFree(data);
    return found;
}

}  // namespace

// Breadth first, a few levels deep: window managers put the client one or two levels below the frame.
Window clientWindow(Display* display, Window top) {
    std::deque<std::pair<Window, int>> queue{{top, 0}};
    while (!queue.empty()) {
        auto [window, depth] = queue.front();
        queue.pop_front();
        if (hasWMState(display, window)) return window;
        if (depth >= kClientSearchDepth) continue;
        Window root = 0, parent = 0, *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(display, window, &root, &parent, &children, &count)) continue;
        for (unsigned int i = 0; i < count; ++i) queue.emplace_back(children[i], depth + 1);
        if (children) XFree(children);
    }
    return 0;
}

namespace {

// The client window of each of `tops`, as clientWindow finds it (the first window with WM_STATE, breadth
// first), searched for all of them together: each tree level is one round trip, in which every window of
// the level is asked for WM_STATE and for its children, instead of two round trips per window looked at.
std::vector<Window> clientWindows(Display* display, const std::vector<Window>& tops) {
    xcb_connection_t* connection = XGetXCBConnection(display);
    const auto wmState = static_cast<xcb_atom_t>(atom(display, "WM_STATE"));
    std::vector<Window> found(tops.size(), 0);
    std::vector<std::vector<Window>> level(tops.size());
    for (size_t i = 0; i < tops.size(); ++i) level[i] = {tops[i]};
    for (int depth = 0; depth <= kClientSearchDepth; ++depth) {
        struct Asked {
            size_t top;
            Window window;
            xcb_get_property_cookie_t state;
            std::optional<xcb_query_tree_cookie_t> tree;
        };
        std::vector<Asked> asked;
        for (size_t i = 0; i < tops.size(); ++i) {
            for (Window window : level[i]) {
                const auto id = static_cast<xcb_window_t>(window);
                Asked each{i, window, xcb_get_property(connection, 0, id, wmState, XCB_GET_PROPERTY_TYPE_ANY, 0, 0),
                           std::nullopt};
                if (depth < kClientSearchDepth) each.tree = xcb_query_tree(connection, id);
                asked.push_back(each);
            }
        }
        if (asked.empty()) break;
        std::vector<std::vector<Window>> below(tops.size());
        for (const Asked& each : asked) {
            // Every answer is collected, also those no longer needed.
            ReplyPtr<xcb_get_property_reply_t> state(xcb_get_property_reply(connection, each.state, nullptr),
                                                     &std::free);
            ReplyPtr<xcb_query_tree_reply_t> tree(
                each.tree ? xcb_query_tree_reply(connection, *each.tree, nullptr) : nullptr, &std::free);
            if (found[each.top]) continue;
            if (state && state->type != XCB_ATOM_NONE) {
                found[each.top] = each.window;
                below[each.top].clear();
                continue;
            }
            if (!tree) continue;
            const xcb_window_t* children = xcb_query_tree_children(tree.get());
            below[each.top].insert(below[each.top].end(), children,
                                   children + xcb_query_tree_children_length(tree.get()));
        }
        level = std::move(below);
    }
    return found;
}

// The window manager's client list, when a window manager is running; absent without one.
std::optional<std::set<Window>> managedClients(Display* display) {
    const Window root = DefaultRootWindow(display);
    const Atom check = atom(display, "_NET_SUPPORTING_WM_CHECK");
    auto supporting = longProperty(display, root, check, XA_WINDOW);
    if (supporting.empty()) return std::nullopt;
    auto confirmed = longProperty(display, supporting[0], check, XA_WINDOW);
    if (confirmed.empty() || confirmed[0] != supporting[0]) return std::nullopt;  // a stale property
    auto list = longProperty(display, root, atom(display, "_NET_CLIENT_LIST_STACKING"), XA_WINDOW);
    if (list.empty()) list = longProperty(display, root, atom(display, "_NET_CLIENT_LIST"), XA_WINDOW);
    return std::set<Window>(list.begin(), list.end());
}

// The layer of a window typed normal or dialog (or not typed): 0, unless it is a splash screen in all but
// its type (it takes no input), which floats as splash screens do.
int ordinaryLayer(Display* display, const X11TopLevel& window, const WindowProperties& properties) {
    return isSplashWindow(display, properties, window.client, false) ? kFloatingLayer : 0;
}

int layerOf(Display* display, const X11TopLevel& window, const WindowProperties& properties) {
    const auto types = properties.longs(window.client, atom(display, "_NET_WM_WINDOW_TYPE"), XA_ATOM);
    // The list is in order of preference; the first type this program knows decides.
    for (unsigned long type : types) {
        for (const auto& [name, layer] : kLayers) {
            if (type != atom(display, name)) continue;
            if (layer != 0) return layer;
            return window.overrideRedirect ? kPopUpMenuLayer : ordinaryLayer(display, window, properties);
        }
    }
    // No known type: an ordinary window, unless it bypasses the window manager (a menu or a popup).
    return window.overrideRedirect ? kPopUpMenuLayer : ordinaryLayer(display, window, properties);
}

std::string readLink(const std::string& path) {
    std::string buffer(4096, '\0');
    const ssize_t length = readlink(path.c_str(), buffer.data(), buffer.size());
    if (length <= 0) return "";
    buffer.resize(static_cast<size_t>(length));
    return buffer;
}

std::string processName(int32_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(file, name);
    return name;
}

// What a window tells about the application it belongs to.
ApplicationHints hintsOf(Display* display, const X11TopLevel& window, const WindowProperties& properties) {
    ApplicationHints hints;
    hints.gtkApplicationId = properties.utf8(window.client, atom(display, "_GTK_APPLICATION_ID")).value_or("");
    if (const auto windowClass = properties.windowClass(window.client)) {
        hints.wmClassInstance = windowClass->first;
        hints.wmClassClass = windowClass->second;
    }
    // " (deleted)" marks an executable replaced since the process started; it matches nothing then.
    hints.executablePath = readLink("/proc/" + std::to_string(window.pid) + "/exe");
    hints.pid = window.pid;
    return hints;
}

RunningApplication applicationOf(const X11TopLevel& window, const ApplicationHints& hints,
                                 const std::optional<DesktopEntry>& entry) {
    RunningApplication application;
    application.processID = window.pid;
    if (entry) {
        application.bundleIdentifier = entry->id;
        application.applicationName = entry->name;
    }
    if (application.applicationName.empty()) application.applicationName = hints.wmClassClass;
    if (application.applicationName.empty()) application.applicationName = processName(window.pid);
    return application;
}

}  // namespace

std::optional<Rect> clientFrame(Display* display, Window window) {
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, window, &attributes)) return std::nullopt;
    int x = 0, y = 0;
    Window child = 0;
    if (!XTranslateCoordinates(display, window, attributes.root, 0, 0, &x, &y, &child)) return std::nullopt;
    return Rect{double(x), double(y), double(attributes.width), double(attributes.height)};
}

Rect topLevelFrame(const X11TopLevel& window) {
    return {double(window.x + window.borderWidth), double(window.y + window.borderWidth), double(window.width),
            double(window.height)};
}

namespace {

// The window's frame less `shadow`, the one its client declares.
Rect frameWithout(Display* display, const X11TopLevel& window, const std::optional<Margins>& shadow) {
    const Rect outer = topLevelFrame(window);
    const auto client = shadow ? clientFrame(display, window.client) : std::nullopt;
    if (!client) return outer;
    return visiblePart(outer, *client, shadow);
}

}  // namespace

Rect visibleFrame(Display* display, const X11TopLevel& window) {
    return frameWithout(display, window, declaredShadow(display, window.client));
}

Window topLevelOf(Display* display, Window window) {
    const Window root = DefaultRootWindow(display);
    for (int depth = 0; depth < 16 && window != 0 && window != root; ++depth) {
        Window rootReturn = 0, parent = 0, *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(display, window, &rootReturn, &parent, &children, &count)) return 0;
        if (children) XFree(children);
        if (parent == rootReturn) return window;
        window = parent;
    }
    return 0;
}

std::vector<X11TopLevel> stackedTopLevels(Display* display) {
    const Window root = DefaultRootWindow(display);
    const auto managed = managedClients(display);
    Window rootReturn = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    std::vector<X11TopLevel> windows;
    if (!XQueryTree(display, root, &rootReturn, &parent, &children, &count)) return windows;
    // Every child's attributes and geometry are asked for at once: one round trip, whatever their number.
    xcb_connection_t* connection = XGetXCBConnection(display);
    std::vector<xcb_get_window_attributes_cookie_t> attributeRequests;
    std::vector<xcb_get_geometry_cookie_t> geometryRequests;
    for (unsigned int i = 0; i < count; ++i) {
        attributeRequests.push_back(xcb_get_window_attributes(connection, static_cast<xcb_window_t>(children[i])));
        geometryRequests.push_back(xcb_get_geometry(connection, static_cast<xcb_window_t>(children[i])));
    }
    std::vector<X11TopLevel> viewable;
    for (unsigned int i = 0; i < count; ++i) {  // XQueryTree lists the children bottom first
        ReplyPtr<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(connection, attributeRequests[i], nullptr), &std::free);
        ReplyPtr<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(connection, geometryRequests[i], nullptr),
                                                    &std::free);
        if (!attributes || !geometry) continue;  // gone meanwhile
        if (attributes->map_state != XCB_MAP_STATE_VIEWABLE || attributes->_class != XCB_WINDOW_CLASS_INPUT_OUTPUT)
            continue;
        X11TopLevel window;
        window.topLevel = children[i];
        window.overrideRedirect = attributes->override_redirect;
        window.x = geometry->x;
        window.y = geometry->y;
        window.width = geometry->width;
        window.height = geometry->height;
        window.borderWidth = geometry->border_width;
        window.depth = geometry->depth;
        viewable.push_back(window);
    }
    if (children) XFree(children);

    std::vector<Window> tops;
    for (const X11TopLevel& window : viewable) tops.push_back(window.topLevel);
    const std::vector<Window> clients = clientWindows(display, tops);
    for (size_t i = 0; i < viewable.size(); ++i) {
        X11TopLevel& window = viewable[i];
        window.client = clients[i];
        if (window.client == 0) {
            // Without WM_STATE the window is its own client, unless a window manager manages the desktop:
            // then it is one of the manager's own windows, or a popup that bypasses it.
            if (managed && !window.overrideRedirect) continue;
            window.client = window.topLevel;
        } else if (managed && !managed->empty() && !managed->count(window.client) && !window.overrideRedirect) {
            continue;
        }
        windows.push_back(window);
    }

    // The processes, from every client's _NET_WM_PID at once; the few without one are looked up one by one.
    std::vector<Window> listed;
    for (const X11TopLevel& window : windows) listed.push_back(window.client);
    const Atom pidAtom = atom(display, "_NET_WM_PID");
    const WindowProperties pids(display, listed, {pidAtom});
    for (X11TopLevel& window : windows) {
        const auto pid = pids.longs(window.client, pidAtom, XA_CARDINAL);
        if (!pid.empty() && pid[0] > 0 && pid[0] <= 0x7fffffff)
            window.pid = static_cast<int32_t>(pid[0]);
        else
            window.pid = windowProcess(display, window.client);
    }
    return windows;
}

std::vector<ShareableDisplay> readMonitors(Display* display) {
    std::vector<ShareableDisplay> displays;
    const Window root = DefaultRootWindow(display);
    int eventBase = 0, errorBase = 0, count = 0;
    if (XRRQueryExtension(display, &eventBase, &errorBase)) {
        if (XRRMonitorInfo* monitors = XRRGetMonitors(display, root, True, &count)) {
            for (int i = 0; i < count; ++i) {
                ShareableDisplay monitor;
                monitor.displayID = static_cast<uint32_t>(monitors[i].name);
                monitor.frame = {double(monitors[i].x), double(monitors[i].y), double(monitors[i].width),
                                 double(monitors[i].height)};
                monitor.primary = monitors[i].primary;
                displays.push_back(monitor);
            }
            XRRFreeMonitors(monitors);
        }
    }
    if (displays.empty()) {
        const int screen = DefaultScreen(display);
        displays.push_back({1, {0, 0, double(DisplayWidth(display, screen)), double(DisplayHeight(display, screen))},
                            true});
    }
    // The primary monitor first; without one the first monitor stands in for it.
    std::stable_partition(displays.begin(), displays.end(), [](const auto& d) { return d.primary; });
    displays.front().primary = true;
    return displays;
}

ShareableContent readShareableContent(Display* display) {
    ShareableContent content;
    // The desktop entries are read from disk while the X server answers for the windows; a thread that
    // cannot be started leaves them to be read here, when they are first needed.
    std::future<std::vector<DesktopEntry>> entriesRead;
    try {
        entriesRead = std::async(std::launch::async, loadDesktopEntries);
    } catch (const std::system_error&) {
        entriesRead = std::async(std::launch::deferred, loadDesktopEntries);
    }
    const std::string compositingSelection = "_NET_WM_CM_S" + std::to_string(DefaultScreen(display));
    std::vector<const char*> names{"WM_STATE", "_NET_WM_PID", "_NET_SUPPORTING_WM_CHECK", "_NET_CLIENT_LIST_STACKING",
                                   "_NET_CLIENT_LIST", "_NET_WM_WINDOW_TYPE", "_GTK_APPLICATION_ID", "_NET_WM_NAME",
                                   "UTF8_STRING", "_GTK_FRAME_EXTENTS", compositingSelection.c_str()};
    for (const auto& [name, layer] : kLayers) names.push_back(name);
    internAtoms(display, names);
    auto topLevels = stackedTopLevels(display);
    std::reverse(topLevels.begin(), topLevels.end());  // front first
    const Atom netName = atom(display, "_NET_WM_NAME");
    const Atom frameExtents = atom(display, "_GTK_FRAME_EXTENTS");

    // What every window says of itself, asked at once. A declared shadow counts only while a compositing
    // manager runs (declaredShadow), which is asked once for all windows.
    const bool compositing = compositingManagerRuns(display);
    std::vector<Window> clients;
    for (const X11TopLevel& window : topLevels) clients.push_back(window.client);
    std::vector<Atom> asked{atom(display, "_NET_WM_WINDOW_TYPE"), atom(display, "_GTK_APPLICATION_ID"), XA_WM_CLASS,
                            netName, XA_WM_NAME};
    if (compositing) asked.push_back(frameExtents);
    for (Atom kind : windowKindProperties(display)) asked.push_back(kind);
    const WindowProperties properties(display, clients, asked);

    // Each window's own application, when its hints name an installed one. One process can serve several
    // (LibreOffice's soffice.bin draws Writer's and Calc's windows), so a window that names an entry keeps
    // it; a window that names none (a leader, a pop-up) takes its process's: that of the front-most
    // ordinary window that names one, else of any window that does, else the front-most window's class.
    const std::vector<DesktopEntry> entries = entriesRead.get();
    std::vector<int> layers(topLevels.size());
    std::vector<std::optional<RunningApplication>> own(topLevels.size());
    std::map<int32_t, RunningApplication> byProcess;
    std::map<int32_t, int> byProcessRank;  // 0: from an ordinary window, 1: from another, 2: no entry
    for (size_t i = 0; i < topLevels.size(); ++i) {
        const X11TopLevel& window = topLevels[i];
        layers[i] = layerOf(display, window, properties);
        if (window.pid <= 0) continue;
        const ApplicationHints hints = hintsOf(display, window, properties);
        const auto entry = matchDesktopEntry(entries, hints);
        const RunningApplication application = applicationOf(window, hints, entry);
        if (entry) own[i] = application;
        const int rank = entry ? (layers[i] == 0 ? 0 : 1) : 2;
        const auto known = byProcessRank.find(window.pid);
        if (known == byProcessRank.end() || rank < known->second) {
            byProcessRank[window.pid] = rank;
            byProcess[window.pid] = application;
        }
    }
    std::set<int32_t> listed;
    for (size_t i = 0; i < topLevels.size(); ++i) {
        const X11TopLevel& window = topLevels[i];
        // The window as the user sees it: the window manager's frame with its decorations (the client area
        // alone when nothing frames it) without a shadow the client declares, the part that a window capture
        // records.
        ShareableWindow shareable;
        shareable.windowID = window.client;
        shareable.windowLayer = layers[i];
        const auto shadow =
            compositing ? shadowOf(properties.longs(window.client, frameExtents, XA_CARDINAL)) : std::nullopt;
        shareable.frame = frameWithout(display, window, shadow);
        shareable.title = properties.utf8(window.client, netName);
        if (!shareable.title) shareable.title = properties.text(window.client, XA_WM_NAME);
        if (window.pid > 0) {
            shareable.owningApplication = own[i] ? *own[i] : byProcess.at(window.pid);
            if (listed.insert(window.pid).second) content.applications.push_back(byProcess.at(window.pid));
        }
        content.windows.push_back(std::move(shareable));
    }
    content.displays = readMonitors(display);
    return content;
}

}  // namespace platform::linux_desktop
