// The capture, inspect and OCR job documents decoded from arbitrary bytes, as `run`, `inspect` and `ocr`
// read them: every input either decodes or is refused with DecodeError or a parse error, never anything
// else, and a decoded document keeps the promises the rest of the tool relies on.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "jobs/job_file.h"

namespace {

[[noreturn]] void broken(const char* what) {
    std::fprintf(stderr, "fuzz_job_decoding: %s\n", what);
    std::abort();
}

bool hasNul(const std::string& text) { return text.find('\0') != std::string::npos; }
bool hasNul(const std::optional<std::string>& text) { return text && hasNul(*text); }

template <typename Decode>
void decodeOrRefuse(const std::string& bytes, Decode check) {
    try {
        check(jobs::parseDocument(bytes));
    } catch (const jobs::DecodeError&) {
    } catch (const jobs::Json::exception&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    decodeOrRefuse(bytes, [&](const jobs::Json& document) {
        const jobs::Job job = jobs::decodeJob(document);
        if (hasNul(bytes)) broken("a document with a NUL byte was accepted");
        if (hasNul(job.out) || hasNul(job.app) || hasNul(job.stopFile) || hasNul(job.startedFile))
            broken("a path with a NUL character was accepted");
        if (job.region && job.region->pid && (*job.region->pid < INT32_MIN || *job.region->pid > INT32_MAX))
            broken("a pid outside 32 bits");
    });
    decodeOrRefuse(bytes, [](const jobs::Json& document) {
        const jobs::InspectJob job = jobs::decodeInspectJob(document);
        if (hasNul(job.app)) broken("an app with a NUL character was accepted");
    });
    decodeOrRefuse(bytes, [](const jobs::Json& document) {
        const jobs::OCRJob job = jobs::decodeOCRJob(document);
        for (const auto& image : job.images)
            if (hasNul(image)) broken("an image path with a NUL character was accepted");
    });
    return 0;
}
