#include "app_process.h"

#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "atspi_reader.h"
#include "step_clock.h"

namespace stepstest {

PrivateHome::PrivateHome() {
    for (const char* folder : {"/.config", "/.local/share", "/.cache", "/.local/state"})
        std::filesystem::create_directories(path() + folder);
}

std::map<std::string, std::string> PrivateHome::environment() const {
    // GSettings keeps its values in a file under XDG_CONFIG_HOME instead of asking the session's dconf
    // service, which the bus starts with the session's own home and would keep settings across runs.
    return {{"GSETTINGS_BACKEND", "keyfile"},         {"HOME", path()},
            {"XDG_CONFIG_HOME", path() + "/.config"}, {"XDG_DATA_HOME", path() + "/.local/share"},
            {"XDG_CACHE_HOME", path() + "/.cache"},   {"XDG_STATE_HOME", path() + "/.local/state"}};
}

support::ChildOptions PrivateHome::appOptions(const std::string& outputName) const {
    const std::string output = path() + "/" + outputName;
    return {.set = environment(),
            .out = support::ChildStream::file(output),
            .err = support::ChildStream::file(output + ".err")};
}

support::ToolRun PrivateHome::run(const nlohmann::json& job, double timeoutSeconds,
                                  const std::map<std::string, std::string>& extra) const {
    support::ToolOptions options;
    options.set = environment();
    options.set.insert(extra.begin(), extra.end());
    options.timeoutSeconds = timeoutSeconds;
    return support::runTool({"run", dir_.write("job.json", job.dump())}, options);
}

std::unique_ptr<support::ChildProcess> PrivateHome::start(const nlohmann::json& job) const {
    support::ChildOptions options;
    options.set = environment();
    options.err = support::ChildStream::pipe();
    return std::make_unique<support::ChildProcess>(
        std::vector<std::string>{support::toolPath(), "run", dir_.write("job.json", job.dump())}, options);
}

void PrivateHome::endPrograms() const {
    const std::string marker = "HOME=" + path();
    for (const auto& process : std::filesystem::directory_iterator("/proc")) {
        const std::string name = process.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        const pid_t pid = std::stoi(name);
        if (pid == getpid()) continue;
        std::ifstream environ(process.path() / "environ", std::ios::binary);
        for (std::string variable; std::getline(environ, variable, '\0');) {
            if (variable == marker) {
                kill(pid, SIGTERM);
                break;
            }
        }
    }
}

std::vector<nlohmann::json> jsonLines(const support::ToolRun& run) {
    std::vector<nlohmann::json> lines;
    for (const auto& line : run.lines()) lines.push_back(nlohmann::json::parse(line, nullptr, false));
    return lines;
}

nlohmann::json progressLine(const support::ToolRun& run, const std::string& message) {
    for (const auto& value : jsonLines(run))
        if (value.is_object() && value.value("type", "") == "progress" && value.value("message", "") == message)
            return value;
    return nullptr;
}

nlohmann::json appJob(const std::string& app, const std::string& out, const nlohmann::json& steps) {
    return {{"app", app}, {"out", out}, {"settleMs", 500}, {"tailMs", 300}, {"fps", 30}, {"steps", steps}};
}

std::string describe(const support::ToolRun& run) { return run.out + run.err; }

int movieFrames(const std::string& path) {
    const auto probe = support::runProgram({"ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0",
                                            "-show_entries", "stream=nb_read_frames", "-of", "json", path});
    const nlohmann::json parsed = nlohmann::json::parse(probe.out, nullptr, false);
    if (parsed.is_discarded() || parsed["streams"].empty()) return 0;
    return std::stoi(parsed["streams"][0].value("nb_read_frames", "0"));
}

StartedApp::StartedApp(const PrivateHome& home, const std::vector<std::string>& argv, const std::string& windowRole)
    : process(argv, home.appOptions("app.out")) {
    // Ready when its window is on the accessibility bus and mapped on the X screen (the window manager has
    // framed and shown it), whatever that takes on a busy machine.
    const double deadline = nowSeconds() + 30;
    const auto mapped = [&] {
        return support::runProgram({"xdotool", "search", "--onlyvisible", "--pid", std::to_string(process.pid())})
                   .status == 0;
    };
    while (nowSeconds() < deadline && !ready) {
        const Accessible app = applicationOf(process.pid(), 1);
        ready = static_cast<bool>(findObject(app, windowRole, "", 5)) && mapped();
        if (!ready) pauseSeconds(0.2);
    }
}

}  // namespace stepstest
