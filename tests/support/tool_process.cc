#include "support/tool_process.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "support/child_process.h"

extern char** environ;

namespace support {

std::vector<std::string> ToolRun::lines() const {
    std::vector<std::string> result;
    std::istringstream stream(out);
    for (std::string line; std::getline(stream, line);) result.push_back(line);
    return result;
}

nlohmann::json ToolRun::last() const {
    const auto all = lines();
    if (all.empty()) return nullptr;
    return nlohmann::json::parse(all.back(), nullptr, /*allow_exceptions=*/false);
}

std::vector<std::string> environmentWith(const std::map<std::string, std::string>& set,
                                         const std::vector<std::string>& unset) {
    std::map<std::string, std::string> environment;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        const auto equals = text.find('=');
        if (equals != std::string::npos) environment[text.substr(0, equals)] = text.substr(equals + 1);
    }
    for (const auto& name : unset) environment.erase(name);
    for (const auto& [name, value] : set) environment[name] = value;
    std::vector<std::string> entries;
    for (const auto& [name, value] : environment) entries.push_back(name + "=" + value);
    return entries;
}

std::vector<char*> nullTerminated(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& text : strings) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

std::string toolPath() {
    if (const char* path = std::getenv("QC_TOOL")) return path;
    return QC_TOOL_PATH;
}

ToolRun runProgram(const std::vector<std::string>& argv, const ToolOptions& options) {
    ChildOptions childOptions{options.set, options.unset, options.workingDirectory, ChildStream::pipe(),
                              ChildStream::pipe()};
    ChildProcess child(argv, childOptions);
    ToolRun run;
    run.status = child.wait(options.timeoutSeconds);
    if (run.status < 0) {
        run.timedOut = true;
        child.end(0);
        run.status = child.wait(0);
    }
    run.out = child.output();
    run.err = child.errors();
    return run;
}

ToolRun runTool(const std::vector<std::string>& args, const ToolOptions& options) {
    std::vector<std::string> argv{toolPath()};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProgram(argv, options);
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qc-test.XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::write(const std::string& name, const std::string& contents) const {
    const std::string file = path_ + "/" + name;
    std::ofstream(file, std::ios::binary) << contents;
    return file;
}

}  // namespace support
