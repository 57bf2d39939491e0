#include "support/tool_process.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "support/child_process.h"

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
