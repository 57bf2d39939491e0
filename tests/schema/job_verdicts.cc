// Reads file paths from standard input, one a line, and writes for each a JSON line saying whether the
// capture, inspect and OCR job decoders accept the file's bytes, exactly as `run`, `inspect` and `ocr` read
// their job: {"file":"...","inspect":false,"ocr":false,"run":true}. The schema tests compare these
// verdicts with the job schemas'.

#include <iostream>
#include <string>

#include <nlohmann/json.hpp>

#include "jobs/job_file.h"

namespace {

template <typename Decode>
bool accepts(const std::optional<std::string>& bytes, Decode decode) {
    if (!bytes) return false;
    try {
        decode(jobs::parseDocument(*bytes));
        return true;
    } catch (const jobs::DecodeError&) {
    } catch (const jobs::Json::exception&) {
    }
    return false;
}

}  // namespace

int main() {
    for (std::string path; std::getline(std::cin, path);) {
        if (path.empty()) continue;
        const std::optional<std::string> bytes = jobs::readFileBytes(path);
        const nlohmann::json verdict = {{"file", path},
                                        {"run", accepts(bytes, jobs::decodeJob)},
                                        {"inspect", accepts(bytes, jobs::decodeInspectJob)},
                                        {"ocr", accepts(bytes, jobs::decodeOCRJob)}};
        std::cout << verdict.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
    }
    return 0;
}
