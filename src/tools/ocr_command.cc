#include "tools/ocr_command.h"

#include <exception>
#include <memory>
#include <optional>

#include "base/out.h"
#include "jobs/job_file.h"
#include "platform/services.h"
#include "platform/text_recognizer.h"
#include "tools/ocr_languages.h"
#include "tools/ocr_result.h"

namespace tools {
namespace {

// One image's entry. The recogniser is set up once, at the first readable image, and reused.
Out::Message readImage(const platform::ServiceSlot<platform::TextRecognizer>& recognizer, const std::string& path,
                       const jobs::OCRJob& job, std::optional<LanguageChoice>& languages) {
    if (!recognizer) return failedEntry(path, "text recognition is not available in this build");
    // A recogniser that cannot be set up (its module missing) fails each image with its reason; the
    // command still answers with an entry for every image.
    try {
        const std::unique_ptr<platform::DecodedImage> image = recognizer->decode(path);
        if (!image) return failedEntry(path, kUnreadableImage);
        if (!languages) {
            // The installed languages are looked up only when the job names some.
            const bool named = job.languages && !job.languages->empty();
            languages =
                chooseLanguages(job.languages, named ? recognizer->installedLanguages() : std::vector<std::string>{});
        }
        if (languages->problem) return failedEntry(path, *languages->problem);
        const platform::RecognitionSettings settings{
            .level = job.fast.value_or(false) ? platform::RecognitionLevel::fast : platform::RecognitionLevel::accurate,
            .languages = languages->dataNames};
        return readableEntry(path, image->widthPixels(), image->heightPixels(),
                             recognizer->recognize(*image, settings));
    } catch (const std::exception& error) {
        return failedEntry(path, error.what());
    }
}

}  // namespace

Out::Message ocrEntries(const jobs::OCRJob& job) {
    const auto& recognizer = platform::services().textRecognizer;
    std::optional<LanguageChoice> languages;
    Out::Message results = Out::Message::array();
    const size_t count = job.images.size();
    for (size_t i = 0; i < count; ++i) {
        Out::progress("Reading text " + std::to_string(i + 1) + "/" + std::to_string(count));
        results.push_back(readImage(recognizer, job.images[i], job, languages));
    }
    return results;
}

void runOCR(const std::string& path) {
    const jobs::OCRJob job = jobs::readOCRJob(path);
    Out::emit({{"type", "result"}, {"results", ocrEntries(job)}});
}

}  // namespace tools
