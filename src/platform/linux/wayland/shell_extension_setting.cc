#include "platform/linux/wayland/shell_extension_setting.h"

#include <gio/gio.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/capture_error.h"
#include "base/diagnostics.h"
#include "platform/linux/bus/dbus_session.h"
#include "platform/linux/wayland/mutter_bus.h"
#include "platform/linux/wayland/shell_extension.h"

namespace platform::linux_desktop {
namespace {

constexpr const char* kShellSchema = "org.gnome.shell";
// A shell that knows the extension starts it as the setting changes: a fraction of a second.
constexpr auto kStartWait = std::chrono::seconds(3);
constexpr auto kStartPoll = std::chrono::milliseconds(50);

// The folders a shell reads extensions from: the user's data folder, then each system data folder.
std::vector<std::filesystem::path> extensionFolders() {
    std::vector<std::filesystem::path> folders;
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    if (dataHome && *dataHome)
        folders.emplace_back(dataHome);
    else if (home && *home)
        folders.emplace_back(std::filesystem::path(home) / ".local/share");
    const char* dataDirs = std::getenv("XDG_DATA_DIRS");
    std::istringstream dirs(dataDirs && *dataDirs ? dataDirs : "/usr/local/share:/usr/share");
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (!dir.empty()) folders.emplace_back(dir);
    for (auto& folder : folders) folder /= "gnome-shell/extensions";
    return folders;
}

bool extensionInstalled() {
    std::error_code error;
    for (const auto& folder : extensionFolders())
        if (std::filesystem::exists(folder / kShellExtensionUuid / "metadata.json", error)) return true;
    return false;
}

// Whether the running shell found the extension when it started: it describes it (an empty answer is an
// extension it does not know).
bool shellKnowsExtension(GDBusConnection* bus) {
    try {
        GVariant* reply = callMutter(bus, "org.gnome.Shell", "/org/gnome/Shell", "org.gnome.Shell.Extensions",
                                     "GetExtensionInfo", g_variant_new("(s)", kShellExtensionUuid),
                                     G_VARIANT_TYPE("(a{sv})"));
        GVariant* info = g_variant_get_child_value(reply, 0);
        const bool known = g_variant_n_children(info) > 0;
        g_variant_unref(info);
        g_variant_unref(reply);
        return known;
    } catch (const CaptureError&) {
        return false;
    }
}

std::vector<std::string> stringsOf(GSettings* settings, const char* key) {
    std::vector<std::string> values;
    gchar** strings = g_settings_get_strv(settings, key);
    for (gchar** item = strings; item && *item; ++item) values.emplace_back(*item);
    g_strfreev(strings);
    return values;
}

bool setStrings(GSettings* settings, const char* key, const std::vector<std::string>& values) {
    std::vector<const gchar*> pointers;
    for (const auto& value : values) pointers.push_back(value.c_str());
    pointers.push_back(nullptr);
    return g_settings_set_strv(settings, key, pointers.data());
}

// Adds the extension to the user's enabled extensions and takes it out of the disabled ones, which win.
// Whether the user has turned every extension off is told back.
bool writeSetting(bool& allTurnedOff) {
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    GSettingsSchema* schema = source ? g_settings_schema_source_lookup(source, kShellSchema, TRUE) : nullptr;
    if (!schema) return false;
    g_settings_schema_unref(schema);
    GSettings* settings = g_settings_new(kShellSchema);
    std::vector<std::string> enabled = stringsOf(settings, "enabled-extensions");
    std::vector<std::string> disabled = stringsOf(settings, "disabled-extensions");
    bool written = true;
    if (std::find(enabled.begin(), enabled.end(), kShellExtensionUuid) == enabled.end()) {
        enabled.emplace_back(kShellExtensionUuid);
        written = setStrings(settings, "enabled-extensions", enabled);
    }
    if (std::erase(disabled, kShellExtensionUuid) > 0) written = setStrings(settings, "disabled-extensions", disabled) && written;
    allTurnedOff = g_settings_get_boolean(settings, "disable-user-extensions");
    // The settings service writes asynchronously; the tool may end right after this.
    g_settings_sync();
    g_object_unref(settings);
    return written;
}

}  // namespace

void turnShellExtensionOn() {
    const BusConnection bus = connectSessionBus();
    if (!bus || !busNameOwned(bus.get(), "org.gnome.Shell") || shellExtensionPresent()) return;
    bool allTurnedOff = false;
    if (!writeSetting(allTurnedOff)) {
        Out::log("GNOME Shell: the quorrel-capture extension could not be turned on: the org.gnome.shell settings "
                 "cannot be written");
        return;
    }
    if (allTurnedOff) {
        Out::log("GNOME Shell: the quorrel-capture extension is turned on, but the user's extensions are all off "
                 "(org.gnome.shell disable-user-extensions): turn them on in the Extensions application");
        return;
    }
    if (shellKnowsExtension(bus.get())) {
        const auto deadline = std::chrono::steady_clock::now() + kStartWait;
        while (!busNameOwned(bus.get(), kShellExtensionName) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(kStartPoll);
        forgetShellExtension();
        if (!busNameOwned(bus.get(), kShellExtensionName))
            Out::log(std::string("GNOME Shell: the quorrel-capture extension is turned on, but the shell did not start "
                                 "it (gnome-extensions info ") +
                     kShellExtensionUuid + " says why)");
        return;
    }
    if (!extensionInstalled()) {
        Out::log(std::string("GNOME Shell: the quorrel-capture extension is not installed (") + kShellExtensionUuid +
                 " in a gnome-shell/extensions folder): install the package that holds it, then log in again");
        return;
    }
    Out::log("GNOME Shell: the quorrel-capture extension is turned on; it takes effect at the next log-in");
}

}  // namespace platform::linux_desktop
