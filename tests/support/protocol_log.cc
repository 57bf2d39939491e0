#include "support/protocol_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace support {
namespace {

// Job files and standard output are kept as base64, byte for byte: tests write jobs that are not UTF-8 on
// purpose, and the checker must see the tool's output exactly as it was written.
std::string base64(const std::string& bytes) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t left = bytes.size() - i;
        uint32_t group = static_cast<unsigned char>(bytes[i]) << 16;
        if (left > 1) group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (left > 2) group |= static_cast<unsigned char>(bytes[i + 2]);
        text += digits[(group >> 18) & 63];
        text += digits[(group >> 12) & 63];
        text += left > 1 ? digits[(group >> 6) & 63] : '=';
        text += left > 2 ? digits[group & 63] : '=';
    }
    return text;
}

bool isTool(const std::string& program) {
    return std::filesystem::path(program).filename() == "quorrel-capture";
}

// The job file a run, inspect or ocr command names, as the tool will see it: the bytes of a regular file
// of at most 16 MiB (the most the tool reads), or nothing.
nlohmann::json jobOf(const std::vector<std::string>& argv, const std::optional<std::string>& workingDirectory) {
    if (argv.size() < 3 || (argv[1] != "run" && argv[1] != "inspect" && argv[1] != "ocr")) return nullptr;
    std::filesystem::path path = argv[2];
    if (path.is_relative()) path = std::filesystem::path(workingDirectory.value_or(".")) / path;
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error) || std::filesystem::file_size(path, error) > (16u << 20))
        return nullptr;
    std::ifstream file(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (!file) return nullptr;
    return {{"path", argv[2]}, {"base64", base64(bytes)}};
}

}  // namespace

std::string protocolLogPath() {
    if (const char* path = std::getenv("QC_PROTOCOL_LOG")) return path;
#ifdef QC_PROTOCOL_LOG_DEFAULT
    return QC_PROTOCOL_LOG_DEFAULT;
#else
    return "";
#endif
}

ProtocolRecord::ProtocolRecord(const std::vector<std::string>& argv,
                               const std::optional<std::string>& workingDirectory) {
    if (argv.empty() || !isTool(argv[0]) || protocolLogPath().empty()) return;
    record_ = nlohmann::json{{"args", std::vector<std::string>(argv.begin() + 1, argv.end())},
                             {"job", jobOf(argv, workingDirectory)}};
}

void ProtocolRecord::finish(const std::string& standardOutput, int status) {
    if (!record_) return;
    (*record_)["stdout"] = base64(standardOutput);
    (*record_)["status"] = status;
    const std::string line = record_->dump() + "\n";
    record_.reset();
    // One write with O_APPEND, so that records of tests running side by side never interleave.
    const int fd = ::open(protocolLogPath().c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return;
    if (::write(fd, line.data(), line.size()) < 0) {
        // A log that cannot be written fails no test; the checker then sees fewer runs.
    }
    ::close(fd);
}

}  // namespace support
