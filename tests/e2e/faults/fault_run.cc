#include "fault_run.h"

#include <signal.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

namespace faults {
namespace fs = std::filesystem;

namespace {

std::string randomMarker() {
    std::random_device random;
    return std::to_string(::getpid()) + "-" + std::to_string(random());
}

}  // namespace

ToolRecording::ToolRecording(const nlohmann::json& job, const std::map<std::string, std::string>& environment)
    : marker_(randomMarker()) {
    const std::string jobPath = files_.write("job.json", job.dump());
    std::map<std::string, std::string> set = environment;
    set["QC_FAULT_TEST_MARK"] = marker_;
    process_ = std::make_unique<support::ChildProcess>(
        std::vector<std::string>{support::toolPath(), "run", jobPath},
        support::ChildOptions{.set = set, .err = support::ChildStream::file(files_.path() + "/stderr.txt")});
}

bool ToolRecording::waitUntilRecording(double timeoutSeconds) {
    return process_
        ->waitFor([](const nlohmann::json& line) { return line.value("message", "") == "Recording"; }, timeoutSeconds)
        .has_value();
}

int ToolRecording::wait(double timeoutSeconds) { return process_->wait(timeoutSeconds); }

nlohmann::json ToolRecording::lastLine() const {
    const auto& lines = process_->lines();
    if (lines.empty()) return nullptr;
    return nlohmann::json::parse(lines.back(), nullptr, false);
}

std::vector<pid_t> ToolRecording::leftProcesses() const {
    std::vector<pid_t> left;
    const std::string wanted = "QC_FAULT_TEST_MARK=" + marker_;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (!std::all_of(name.begin(), name.end(), ::isdigit)) continue;
        std::ifstream environ(entry.path() / "environ", std::ios::binary);
        std::string variable;
        while (std::getline(environ, variable, '\0')) {
            if (variable == wanted) {
                // A zombie still waiting for its parent (this test) is not running.
                std::ifstream stat(entry.path() / "stat");
                std::string pid, command, state;
                stat >> pid >> command >> state;
                if (state != "Z") left.push_back(std::stoi(name));
                break;
            }
        }
    }
    return left;
}

nlohmann::json regionJob(const capture_test::TestWindowProcess& window, const std::string& out, int fps,
                         double durationSeconds) {
    return {{"out", out},
            {"fps", fps},
            {"durationSec", durationSeconds},
            {"region",
             {{"pid", window.pid()}, {"rect", {{"x", 0}, {"y", 0}, {"width", window.width}, {"height", window.height}}}}}};
}

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

SmallFilesystem::SmallFilesystem(const std::string& where, const std::string& options, bool readOnly)
    : path_(where) {
    fs::create_directories(where);
    mounted_ = ::mount("qc-fault-test", where.c_str(), "tmpfs", readOnly ? MS_RDONLY : 0, options.c_str()) == 0;
}

SmallFilesystem::~SmallFilesystem() {
    if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
}

void fill(const std::string& folder, const std::string& name) {
    std::ofstream file(folder + "/" + name, std::ios::binary);
    const std::string block(4096, 'x');
    while (file.write(block.data(), block.size())) {}
    file.clear();
    for (int i = 0; i < 4096 && file.put('x'); ++i) {}
}

}  // namespace faults
