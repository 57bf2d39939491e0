#include "platform/linux/x11/x11_windows.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>
#include <X11/extensions/Xrandr.h>
#include <unistd.h>

#include <algorithm>
#include <deque>
#include <fstream>
#include <map>
#include <set>

#include "platform/linux/x11/x11_properties.h"
#include "platform/linux/x11/x11_window_frame.h"

namespace platform::linux_desktop {
namespace {

// Window levels of the other kinds of windows, on the same scale as the layer numbers of other desktops.
constexpr int kDesktopLayer = -2147483623;
constexpr int kFloatingLayer = 3;
constexpr int kDockLayer = 20;
constexpr int kNotificationLayer = 25;
constexpr int kPopUpMenuLayer = 101;
constexpr int kTooltipLayer = 200;

std::string windowClassOf(Display* display, Window window, bool instance) {
    XClassHint hint{};
    if (!XGetClassHint(display, window, &hint)) return "";
    std::string value = instance ? (hint.res_name ? hint.res_name : "") : (hint.res_class ? hint.res_class : "");
    if (hint.res_name) XFree(hint.res_name);
    if (hint.res_class) XFree(hint.res_class);
    return value;
}

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
        if (depth >= 3) continue;
        Window root = 0, parent = 0, *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(display, window, &root, &parent, &children, &count)) continue;
        for (unsigned int i = 0; i < count; ++i) queue.emplace_back(children[i], depth + 1);
        if (children) XFree(children);
    }
    return 0;
}

namespace {

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

int layerOf(Display* display, const X11TopLevel& window) {
    const auto types = longProperty(display, window.client, atom(display, "_NET_WM_WINDOW_TYPE"), XA_ATOM);
    static const std::pair<const char*, int> kLayers[] = {
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
    // The list is in order of preference; the first type this program knows decides.
    for (unsigned long type : types) {
        for (const auto& [name, layer] : kLayers) {
            if (type == atom(display, name)) return window.overrideRedirect && layer == 0 ? kPopUpMenuLayer : layer;
        }
    }
    // No known type: an ordinary window, unless it bypasses the window manager (a menu or a popup).
    return window.overrideRedirect ? kPopUpMenuLayer : 0;
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
ApplicationHints hintsOf(Display* display, const X11TopLevel& window) {
    ApplicationHints hints;
    hints.gtkApplicationId = utf8Property(display, window.client, atom(display, "_GTK_APPLICATION_ID")).value_or("");
    hints.wmClassInstance = windowClassOf(display, window.client, true);
    hints.wmClassClass = windowClassOf(display, window.client, false);
    // " (deleted)" marks an executable replaced since the process started; it matches nothing then.
    hints.executablePath = readLink("/proc/" + std::to_string(window.pid) + "/exe");
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

Rect visibleFrame(Display* display, const X11TopLevel& window) {
    const Rect outer = topLevelFrame(window);
    const auto shadow = declaredShadow(display, window.client);
    const auto client = shadow ? clientFrame(display, window.client) : std::nullopt;
    if (!client) return outer;
    return visiblePart(outer, *client, shadow);
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
    for (unsigned int i = 0; i < count; ++i) {  // XQueryTree lists the children bottom first
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(display, children[i], &attributes)) continue;  // gone meanwhile
        if (attributes.map_state != IsViewable || attributes.c_class != InputOutput) continue;
        X11TopLevel window;
        window.topLevel = children[i];
        window.overrideRedirect = attributes.override_redirect;
        window.x = attributes.x;
        window.y = attributes.y;
        window.width = attributes.width;
        window.height = attributes.height;
        window.borderWidth = attributes.border_width;
        window.depth = attributes.depth;
        window.client = clientWindow(display, children[i]);
        if (window.client == 0) {
            // Without WM_STATE the window is its own client, unless a window manager manages the desktop:
            // then it is one of the manager's own windows, or a popup that bypasses it.
            if (managed && !window.overrideRedirect) continue;
            window.client = children[i];
        } else if (managed && !managed->empty() && !managed->count(window.client) && !window.overrideRedirect) {
            continue;
        }
        window.pid = windowProcess(display, window.client);
        windows.push_back(window);
    }
    if (children) XFree(children);
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
    const auto entries = loadDesktopEntries();
    auto topLevels = stackedTopLevels(display);
    std::reverse(topLevels.begin(), topLevels.end());  // front first
    const Atom netName = atom(display, "_NET_WM_NAME");

    // Each window's own application, when its hints name an installed one. One process can serve several
    // (LibreOffice's soffice.bin draws Writer's and Calc's windows), so a window that names an entry keeps
    // it; a window that names none (a leader, a pop-up) takes its process's: that of the front-most
    // ordinary window that names one, else of any window that does, else the front-most window's class.
    std::vector<int> layers(topLevels.size());
    std::vector<std::optional<RunningApplication>> own(topLevels.size());
    std::map<int32_t, RunningApplication> byProcess;
    std::map<int32_t, int> byProcessRank;  // 0: from an ordinary window, 1: from another, 2: no entry
    for (size_t i = 0; i < topLevels.size(); ++i) {
        const X11TopLevel& window = topLevels[i];
        layers[i] = layerOf(display, window);
        if (window.pid <= 0) continue;
        const ApplicationHints hints = hintsOf(display, window);
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
        shareable.frame = visibleFrame(display, window);
        shareable.title = utf8Property(display, window.client, netName);
        if (!shareable.title) shareable.title = textProperty(display, window.client, XA_WM_NAME);
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
