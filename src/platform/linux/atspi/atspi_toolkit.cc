#include "platform/linux/atspi/atspi_toolkit.h"

#include <cstdlib>
#include <map>
#include <optional>
#include <utility>

#include "platform/linux/atspi/atspi_reads.h"
#include "platform/linux/atspi/atspi_session.h"

namespace platform::linux_desktop {
namespace {

std::optional<std::string> toolkitText(AtspiAccessible* object, gchar* (*read)(AtspiAccessible*, GError**)) {
    const auto text = atspiCall(
        object, [&](GError** error) { return read(object, error); }, [](gchar* found) { return found == nullptr; });
    if (!text) return std::nullopt;
    std::string copy = *text;
    g_free(*text);
    return copy;
}

// The name the Java ATK wrapper gives its toolkit (0.40, OpenJDK 17).
constexpr const char* kJavaToolkitName = "J2SE-access-bridge";

bool isAsciiUpper(char c) { return c >= 'A' && c <= 'Z'; }
bool isAsciiLowerOrDigit(char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }

// A GType name: capitalised words run together, at least two of them ("GtkButton", "HistoryView").
bool looksLikeTypeName(const std::string& name) {
    int words = 0;
    for (size_t i = 0; i < name.size();) {
        if (!isAsciiUpper(name[i])) return false;
        size_t end = i + 1;
        while (end < name.size() && isAsciiLowerOrDigit(name[end])) ++end;
        if (end == i + 1) return false;  // a capital alone ("OK", "URL") is a word a person wrote
        ++words;
        i = end;
    }
    return words >= 2;
}

// The toolkit's name and major version behind `object`, asked once per application; nothing when the
// application does not answer (then asked again next time).
std::optional<std::pair<std::string, int>> toolkitOf(AtspiAccessible* object) {
    static std::map<std::string, std::pair<std::string, int>> byApplication;
    const std::string busName = busNameOf(object);
    if (const auto known = byApplication.find(busName); known != byApplication.end()) return known->second;
    // libatspi asks the object it is given; GTK 4 answers the question only on the application's own object.
    const auto application = atspiCall(
        object, [&](GError** error) { return atspi_accessible_get_application(object, error); },
        [](AtspiAccessible* found) { return found == nullptr; });
    if (!application) return std::nullopt;
    const auto toolkit = toolkitText(*application, atspi_accessible_get_toolkit_name);
    const auto version = toolkitText(*application, atspi_accessible_get_toolkit_version);
    g_object_unref(*application);
    if (!toolkit || !version) return std::nullopt;
    return byApplication[busName] = {*toolkit, std::atoi(version->c_str())};
}

}  // namespace

bool runsGtk4(AtspiAccessible* object) {
    const auto toolkit = toolkitOf(object);
    return toolkit && toolkit->first == "GTK" && toolkit->second >= 4;
}

bool runsGtk3(AtspiAccessible* object) {
    const auto toolkit = toolkitOf(object);
    // GTK 3.24 names itself "gtk", GTK 4 "GTK".
    return toolkit && g_ascii_strcasecmp(toolkit->first.c_str(), "GTK") == 0 && toolkit->second == 3;
}

bool runsJava(AtspiAccessible* object) {
    const auto toolkit = toolkitOf(object);
    return toolkit && toolkit->first == kJavaToolkitName;
}

bool repeatsItsHalf(const std::string& name) {
    const size_t half = name.size() / 2;
    return name.size() % 2 == 1 && name[half] == ' ' && name.compare(0, half, name, half + 1, half) == 0;
}

std::string shownName(AtspiAccessible* object, std::string name) {
    if (name.empty() || !runsGtk4(object)) return name;
    if (looksLikeTypeName(name)) return "";
    if (repeatsItsHalf(name)) {
        std::string once = name.substr(0, name.size() / 2);
        if (readLabelledBy(object) == once) return once;
    }
    return name;
}

}  // namespace platform::linux_desktop
