#include "platform/linux/x11/x11_properties.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>

namespace platform::linux_desktop {

std::vector<unsigned long> longProperty(Display* display, Window window, Atom property, Atom type) {
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<unsigned long> values;
    if (XGetWindowProperty(display, window, property, 0, 4096, False, type, &actualType, &format, &count,
                           &after, &data) == Success &&
        data != nullptr && actualType == type && format == 32) {
        // Format-32 items come back as longs, whatever the size of a long.
        const auto* items = reinterpret_cast<const unsigned long*>(data);
        values.assign(items, items + count);
    }
    if (data) XFree(data);
    return values;
}

std::optional<std::string> utf8Property(Display* display, Window window, Atom property) {
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::optional<std::string> value;
    const Atom utf8 = atom(display, "UTF8_STRING");
    if (XGetWindowProperty(display, window, property, 0, 65536, False, utf8, &actualType, &format, &count,
                           &after, &data) == Success &&
        data != nullptr && actualType == utf8 && format == 8) {
        value = std::string(reinterpret_cast<const char*>(data), count);
    }
    if (data) XFree(data);
    return value;
}

std::optional<std::string> textProperty(Display* display, Window window, Atom property) {
    XTextProperty text{};
    if (!XGetTextProperty(display, window, &text, property) || text.value == nullptr) return std::nullopt;
    std::optional<std::string> value;
    char** list = nullptr;
    int count = 0;
    if (Xutf8TextPropertyToTextList(display, &text, &list, &count) >= Success && list != nullptr) {
        std::string joined;
        for (int i = 0; i < count; ++i) joined += list[i];
        value = joined;
        XFreeStringList(list);
    } else if (text.encoding == XA_STRING) {
        value = std::string(reinterpret_cast<const char*>(text.value), text.nitems);
    }
    XFree(text.value);
    return value;
}

Atom atom(Display* display, const char* name) { return XInternAtom(display, name, False); }

std::vector<unsigned long> longProperty(Display* display, Window window, const char* name, Atom type) {
    return longProperty(display, window, atom(display, name), type);
}

int32_t windowProcess(Display* display, Window window) {
    auto pids = longProperty(display, window, atom(display, "_NET_WM_PID"), XA_CARDINAL);
    if (!pids.empty() && pids[0] > 0 && pids[0] <= 0x7fffffff) return static_cast<int32_t>(pids[0]);
    int eventBase = 0, errorBase = 0;
    if (!XResQueryExtension(display, &eventBase, &errorBase)) return 0;
    XResClientIdSpec query{window, XRES_CLIENT_ID_PID_MASK};
    long count = 0;
    XResClientIdValue* values = nullptr;
    int32_t pid = 0;
    if (XResQueryClientIds(display, 1, &query, &count, &values) == Success) {
        for (long i = 0; i < count && pid == 0; ++i) {
            const pid_t found = XResGetClientPid(&values[i]);
            if (found > 0) pid = found;
        }
        XResClientIdsDestroy(count, values);
    }
    return pid;
}

bool windowManagerRuns(Display* display) {
    const Window root = DefaultRootWindow(display);
    const auto check = longProperty(display, root, "_NET_SUPPORTING_WM_CHECK", XA_WINDOW);
    if (check.empty()) return false;
    const auto self = longProperty(display, static_cast<Window>(check.front()), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW);
    return !self.empty() && self.front() == check.front();
}

}  // namespace platform::linux_desktop
