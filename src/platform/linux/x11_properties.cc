#include "platform/linux/x11_properties.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

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

}  // namespace platform::linux_desktop
