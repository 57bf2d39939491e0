#include "run_desktop.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace runtest {
namespace fs = std::filesystem;

RunFolder::RunFolder(const std::string& title) {
    fs::create_directories(path() + "/data/applications");
    std::ofstream(entryPath()) << "[Desktop Entry]\nType=Application\nName=Quorrel Fixture Entry\nExec="
                               << QC_FIXTURE_APP << " --title \"" << title << "\" --size 520x420 %U\n";
}

std::map<std::string, std::string> RunFolder::environment() const {
    // Applications the tool starts keep their settings in the folder, so no run depends on an earlier one.
    return {{"XDG_DATA_HOME", path() + "/data"},     {"HOME", path() + "/home"},
            {"XDG_CONFIG_HOME", path() + "/config"}, {"XDG_CACHE_HOME", path() + "/cache"},
            {"XDG_STATE_HOME", path() + "/state"}};
}

std::string RunFolder::addEntry(const std::string& id, const std::string& body) const {
    const std::string entry = path() + "/data/applications/" + id + ".desktop";
    std::ofstream(entry) << "[Desktop Entry]\nType=Application\n" << body;
    return entry;
}

std::string RunFolder::job(const nlohmann::json& job, const std::string& name) const {
    return dir_.write(name, job.dump());
}

support::ToolRun RunFolder::run(const nlohmann::json& job, double timeoutSeconds) const {
    support::ToolOptions options;
    options.set = environment();
    options.timeoutSeconds = timeoutSeconds;
    return support::runTool({"run", this->job(job)}, options);
}

std::unique_ptr<support::ChildProcess> RunFolder::start(const nlohmann::json& job) const {
    return std::make_unique<support::ChildProcess>(
        std::vector<std::string>{support::toolPath(), "run", this->job(job)},
        support::ChildOptions{.set = environment(), .err = support::ChildStream::file(path() + "/tool-stderr.txt")});
}

namespace {

std::vector<std::pair<pid_t, std::string>> fixtureCommandLines() {
    std::vector<std::pair<pid_t, std::string>> found;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream file(entry.path() / "cmdline");
        std::string commandLine((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        if (commandLine.find("qc_fixture_app") == std::string::npos) continue;
        found.emplace_back(std::stoi(name), commandLine);
    }
    return found;
}

bool carriesTitle(const std::string& commandLine, const std::string& title) {
    return commandLine.find(std::string("--title") + '\0' + title + '\0') != std::string::npos;
}

}  // namespace

pid_t fixtureWithTitle(const std::string& title) {
    for (const auto& [pid, commandLine] : fixtureCommandLines())
        if (carriesTitle(commandLine, title)) return pid;
    return 0;
}

int countFixturesWithTitle(const std::string& title) {
    int count = 0;
    for (const auto& [pid, commandLine] : fixtureCommandLines()) count += carriesTitle(commandLine, title);
    return count;
}

void endFixturesWithTitle(const std::string& title) {
    for (const auto& [pid, commandLine] : fixtureCommandLines())
        if (carriesTitle(commandLine, title)) kill(pid, SIGTERM);
}

void clickAt(double x, double y) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) throw std::runtime_error("no display");
    XTestFakeMotionEvent(display, -1, static_cast<int>(x), static_cast<int>(y), CurrentTime);
    XSync(display, False);
    usleep(50000);
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XSync(display, False);
    usleep(50000);
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XSync(display, False);
    XCloseDisplay(display);
}

nlohmann::json probeMovie(const std::string& path) {
    const auto probe = support::runProgram({"ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0",
                                            "-show_entries", "stream=codec_name,width,height,nb_read_frames",
                                            "-show_entries", "format=duration", "-of", "json", path});
    const auto parsed = nlohmann::json::parse(probe.out, nullptr, false);
    if (!parsed.is_object() || !parsed.contains("streams") || parsed["streams"].empty()) return nullptr;
    nlohmann::json stream = parsed["streams"][0];
    nlohmann::json result = {{"codec_name", stream.value("codec_name", "")},
                             {"width", stream.value("width", 0)},
                             {"height", stream.value("height", 0)},
                             {"nb_read_frames", std::stoi(stream.value("nb_read_frames", "0"))},
                             {"duration", std::stod(parsed["format"].value("duration", "0"))}};
    return result;
}

void RunFolder::endApplications() const {
    const std::string marker = "XDG_DATA_HOME=" + path() + "/data";
    for (const auto& process : fs::directory_iterator("/proc")) {
        const std::string name = process.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        const pid_t pid = std::stoi(name);
        if (pid == getpid()) continue;
        std::ifstream file(process.path() / "environ", std::ios::binary);
        std::string variable;
        while (std::getline(file, variable, '\0')) {
            if (variable == marker) {
                kill(pid, SIGTERM);
                break;
            }
        }
    }
}

void expectInside(const nlohmann::json& client, const nlohmann::json& frame) {
    ASSERT_TRUE(client.is_object() && frame.is_object()) << client << frame;
    const double cx = client["x"].get<double>(), cy = client["y"].get<double>();
    const double fx = frame["x"].get<double>(), fy = frame["y"].get<double>();
    EXPECT_GE(cx, fx) << client << " in " << frame;
    EXPECT_GT(cy, fy) << "no title bar above " << client << " in " << frame;
    EXPECT_LE(cx + client["width"].get<double>(), fx + frame["width"].get<double>()) << client << " in " << frame;
    EXPECT_LE(cy + client["height"].get<double>(), fy + frame["height"].get<double>()) << client << " in " << frame;
}

nlohmann::json progressLine(const support::ToolRun& run, const std::string& message) {
    for (const auto& line : run.lines()) {
        auto value = nlohmann::json::parse(line, nullptr, false);
        if (value.is_object() && value.value("type", "") == "progress" && value.value("message", "") == message)
            return value;
    }
    return nullptr;
}

}  // namespace runtest
