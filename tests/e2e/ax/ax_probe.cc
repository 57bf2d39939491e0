// qc_ax_probe: prints the AX view of a running application's windows, the way the tool sees them, so that the
// role table can be checked against real applications.
//
//   qc_ax_probe (--pid N | --name PROGRAM) [--window TITLE] [--depth N] [--max N] [--atspi]
//   qc_ax_probe --at X,Y [--atspi]
//
// One line per element, indented by depth: AX role and subrole, then the attributes that have a value, the
// frame and the actions. With --atspi the AT-SPI role behind each element is shown too. With --at, the
// element the hit test finds at the screen point (X, Y), its ancestors, and how long the hit test took.

#include <dirent.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <variant>
#include <vector>

#include "platform/accessibility.h"
#include "platform/linux/atspi/atspi_node.h"
#include "platform/services.h"

namespace {

struct Options {
    int pid = 0;
    std::string name;
    std::string window;
    int depth = 40;
    int max = 3000;
    bool atspi = false;
    std::optional<platform::Point> at;
};

// The first process whose command name (/proc/PID/comm) is `name`.
int pidByName(const std::string& name) {
    DIR* proc = opendir("/proc");
    if (!proc) return 0;
    int found = 0;
    while (dirent* entry = readdir(proc)) {
        const int pid = std::atoi(entry->d_name);
        if (pid <= 0) continue;
        std::ifstream comm("/proc/" + std::string(entry->d_name) + "/comm");
        std::string command;
        if (std::getline(comm, command) && command == name) {
            found = pid;
            break;
        }
    }
    closedir(proc);
    return found;
}

std::string quoted(const std::string& text) {
    std::string shown = text.size() > 80 ? text.substr(0, 77) + "..." : text;
    for (char& c : shown)
        if (c == '\n') c = ' ';
    return "\"" + shown + "\"";
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

class Printer {
public:
    Printer(platform::Accessibility& ax, const Options& options) : ax_(ax), options_(options) {}

    void print(const platform::Element& element, int depth) {
        if (printed_ >= options_.max) return;
        ++printed_;
        std::string line(static_cast<size_t>(depth) * 2, ' ');
        line += text(element, "AXRole").value_or("?");
        if (auto subrole = text(element, "AXSubrole")) line += "/" + *subrole;
        if (options_.atspi) {
            AtspiAccessible* object = platform::linux_desktop::nodeOf(element).object();
            gchar* role = atspi_accessible_get_role_name(object, nullptr);
            line += std::string(" <") + (role ? role : "?") + ">";
            g_free(role);
        }
        for (const char* name : {"AXTitle", "AXDescription", "AXIdentifier", "AXPlaceholderValue"})
            if (auto value = text(element, name)) line += std::string(" ") + (name + 2) + "=" + quoted(*value);
        if (auto value = ax_.attribute(element, "AXValue")) {
            if (const auto* string = std::get_if<std::string>(&*value))
                line += " Value=" + quoted(*string);
            else if (const auto* number = std::get_if<double>(&*value))
                line += " Value=" + ::number(*number);
        }
        const auto position = ax_.attribute(element, "AXPosition");
        const auto size = ax_.attribute(element, "AXSize");
        if (position && size)
            line += " [" + number(std::get<platform::Point>(*position).x) + "," +
                    number(std::get<platform::Point>(*position).y) + " " +
                    number(std::get<platform::Size>(*size).width) + "x" +
                    number(std::get<platform::Size>(*size).height) + "]";
        std::string actions;
        for (const std::string& action : ax_.actionNames(element)) actions += (actions.empty() ? "" : ",") + action;
        if (!actions.empty()) line += " {" + actions + "}";
        std::puts(line.c_str());
        if (depth >= options_.depth) return;
        if (auto children = ax_.children(element))
            for (const platform::Element& child : *children) print(child, depth + 1);
    }

private:
    std::optional<std::string> text(const platform::Element& element, const char* name) {
        auto value = ax_.attribute(element, name);
        if (!value) return std::nullopt;
        if (const auto* string = std::get_if<std::string>(&*value)) return *string;
        return std::nullopt;
    }

    platform::Accessibility& ax_;
    const Options& options_;
    int printed_ = 0;
};

bool parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        if (flag == "--atspi") {
            options.atspi = true;
            continue;
        }
        if (i + 1 >= argc) return false;
        const std::string value = argv[++i];
        if (flag == "--at") {
            double x = 0, y = 0;
            if (std::sscanf(value.c_str(), "%lf,%lf", &x, &y) != 2) return false;
            options.at = platform::Point{x, y};
        } else if (flag == "--pid") options.pid = std::atoi(value.c_str());
        else if (flag == "--name") options.name = value;
        else if (flag == "--window") options.window = value;
        else if (flag == "--depth") options.depth = std::atoi(value.c_str());
        else if (flag == "--max") options.max = std::atoi(value.c_str());
        else return false;
    }
    return options.pid > 0 || !options.name.empty() || options.at;
}

// The hit test at `point`: the element found, then its ancestors up to the application, one a line.
int printHitTest(platform::Accessibility& ax, const Options& options) {
    const auto started = std::chrono::steady_clock::now();
    const auto hit = ax.elementAtPoint(*options.at);
    const double millis =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
    std::printf("hit test at %g,%g: %.1f ms\n", options.at->x, options.at->y, millis);
    if (!hit) {
        std::puts("  nothing");
        return 1;
    }
    Options single = options;
    single.depth = 0;
    Printer printer(ax, single);
    std::optional<platform::Element> element = hit;
    for (int depth = 1; element && depth < 64; ++depth) {
        printer.print(*element, 1);
        const auto parent = ax.attribute(*element, "AXParent");
        element = parent ? std::optional(std::get<platform::Element>(*parent)) : std::nullopt;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: qc_ax_probe (--pid N | --name PROGRAM) [--window TITLE] [--depth N] [--max N] [--atspi]\n"
                     "       qc_ax_probe --at X,Y [--atspi]\n");
        return 64;
    }
    if (options.at) {
        platform::installSystemServices();
        return printHitTest(*platform::services().accessibility, options);
    }
    if (options.pid <= 0) options.pid = pidByName(options.name);
    if (options.pid <= 0) {
        std::fprintf(stderr, "qc_ax_probe: no process named %s\n", options.name.c_str());
        return 1;
    }
    platform::installSystemServices();
    platform::Accessibility& ax = *platform::services().accessibility;
    const auto app = ax.application(options.pid);
    if (!app) {
        std::fprintf(stderr, "qc_ax_probe: process %d exposes no accessible application\n", options.pid);
        return 1;
    }
    Printer printer(ax, options);
    if (auto bar = ax.attribute(*app, "AXMenuBar"); bar && options.window.empty()) {
        std::puts("menu bar:");
        printer.print(std::get<platform::Element>(*bar), 1);
    }
    const auto windows = ax.windows(*app).value_or(platform::ElementList{});
    for (const platform::Element& window : windows) {
        const auto title = ax.attribute(window, "AXTitle");
        const std::string shown = title ? std::get<std::string>(*title) : "";
        if (!options.window.empty() && shown != options.window) continue;
        std::printf("window %s:\n", quoted(shown).c_str());
        printer.print(window, 1);
    }
    return 0;
}
