#include "platform/linux/x11/x11_properties.h"

#include <X11/Xatom.h>
#include <X11/Xlib-xcb.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace platform::linux_desktop {
namespace {

// A text property in any encoding (STRING, COMPOUND_TEXT, UTF8_STRING) as UTF-8.
std::optional<std::string> utf8Text(Display* display, XTextProperty& text) {
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
    return value;
}

}  // namespace

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
    auto value = utf8Text(display, text);
    XFree(text.value);
    return value;
}

Atom atom(Display* display, const char* name) { return XInternAtom(display, name, False); }

void internAtoms(Display* display, std::vector<const char*> names) {
    std::vector<Atom> atoms(names.size());
    XInternAtoms(display, const_cast<char**>(names.data()), static_cast<int>(names.size()), False, atoms.data());
}

namespace {

// As much of a property as Xlib's own readers take (XGetTextProperty asks for 1000000 items).
constexpr uint32_t kMostPropertyItems = 1000000;
// Xlib's XGetClassHint reads BUFSIZ items of WM_CLASS; longProperty 4096 items.
constexpr size_t kMostClassBytes = 8192 * 4;
constexpr size_t kMostLongItems = 4096;
// utf8Property asks for 65536 items of 4 bytes.
constexpr size_t kMostUtf8Bytes = 65536 * 4;

}  // namespace

WindowProperties::WindowProperties(Display* display, const std::vector<Window>& windows,
                                   const std::vector<Atom>& properties)
    : display_(display) {
    xcb_connection_t* connection = XGetXCBConnection(display);
    std::vector<xcb_get_property_cookie_t> requests;
    requests.reserve(windows.size() * properties.size());
    for (Window window : windows)
        for (Atom property : properties)
            requests.push_back(xcb_get_property(connection, 0, static_cast<xcb_window_t>(window),
                                                static_cast<xcb_atom_t>(property), XCB_GET_PROPERTY_TYPE_ANY, 0,
                                                kMostPropertyItems));
    size_t next = 0;
    for (Window window : windows) {
        for (Atom property : properties) {
            // A window that is gone answers with an error, which the reply drops: the property is unset.
            std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
                xcb_get_property_reply(connection, requests[next++], nullptr), &std::free);
            if (!reply || reply->type == XCB_ATOM_NONE) continue;
            Value value;
            value.type = reply->type;
            value.format = reply->format;
            // value_len counts items of `format` bits.
            const auto* data = static_cast<const char*>(xcb_get_property_value(reply.get()));
            value.bytes.assign(data, static_cast<size_t>(reply->value_len) * (reply->format / 8));
            values_[{window, property}] = std::move(value);
        }
    }
}

const WindowProperties::Value* WindowProperties::find(Window window, Atom property) const {
    const auto found = values_.find({window, property});
    return found == values_.end() ? nullptr : &found->second;
}

std::vector<unsigned long> WindowProperties::longs(Window window, Atom property, Atom type) const {
    std::vector<unsigned long> values;
    const Value* value = find(window, property);
    if (!value || value->type != type || value->format != 32) return values;
    const size_t count = std::min(value->bytes.size() / 4, kMostLongItems);
    for (size_t i = 0; i < count; ++i) {
        int32_t item = 0;
        std::memcpy(&item, value->bytes.data() + 4 * i, 4);
        // Xlib hands format-32 items over as longs, sign-extended from 32 bits.
        values.push_back(static_cast<unsigned long>(static_cast<long>(item)));
    }
    return values;
}

std::optional<std::string> WindowProperties::utf8(Window window, Atom property) const {
    const Value* value = find(window, property);
    if (!value || value->type != atom(display_, "UTF8_STRING") || value->format != 8) return std::nullopt;
    return value->bytes.substr(0, kMostUtf8Bytes);
}

std::optional<std::string> WindowProperties::text(Window window, Atom property) const {
    const Value* value = find(window, property);
    if (!value) return std::nullopt;
    // The same conversion as textProperty, from a copy that ends in a NUL as Xlib's buffers do.
    std::string copy = value->bytes;
    XTextProperty text{};
    text.value = reinterpret_cast<unsigned char*>(copy.data());
    text.encoding = value->type;
    text.format = value->format;
    text.nitems = copy.size() / (value->format ? static_cast<size_t>(value->format / 8) : 1);
    return utf8Text(display_, text);
}

std::optional<std::pair<std::string, std::string>> WindowProperties::windowClass(Window window) const {
    const Value* value = find(window, XA_WM_CLASS);
    if (!value || value->type != XA_STRING || value->format != 8) return std::nullopt;
    const std::string bytes = value->bytes.substr(0, kMostClassBytes);
    // The instance up to the first NUL, the class after it (as XGetClassHint splits them).
    const std::string instance = bytes.substr(0, bytes.find('\0'));
    std::string windowClass;
    if (instance.size() < bytes.size()) {
        windowClass = bytes.substr(instance.size() + 1);
        windowClass = windowClass.substr(0, windowClass.find('\0'));
    }
    return std::pair{instance, windowClass};
}

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
