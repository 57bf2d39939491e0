#include "jobs/job_file.h"

#include <fstream>
#include <sstream>
#include <sys/stat.h>

#include "app/out.h"

namespace jobs {

std::optional<std::string> readFileBytes(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::ostringstream bytes;
    bytes << file.rdbuf();
    if (file.bad()) return std::nullopt;
    return std::move(bytes).str();
}

Json parseDocument(const std::string& bytes) {
    // The parser skips a UTF-8 byte-order mark and refuses invalid UTF-8 inside strings.
    return Json::parse(bytes);
}

void failUnreadableJob(const std::string& path) { Out::fail("cannot read job " + path, "bad_request"); }

}  // namespace jobs
