#pragma once
// An in-memory text recogniser: images are whatever the test registers under a path, with the lines the
// recogniser "reads" in them; every decode and recognition is counted.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/text_recognizer.h"

namespace fakes {

class FakeTextRecognizer final : public platform::TextRecognizer {
public:
    struct Picture {
        int width = 0;
        int height = 0;
        std::vector<platform::RecognizedLine> lines;
        /// The recogniser's error for this image, instead of lines.
        std::optional<std::string> error;
    };

    /// Readable images by path; any other path is unreadable.
    std::map<std::string, Picture> pictures;
    std::vector<std::string> installed{"eng", "osd"};

    std::vector<std::string> decoded;
    std::vector<platform::RecognitionSettings> recognitions;
    int installedQueries = 0;

    std::vector<std::string> installedLanguages() override {
        ++installedQueries;
        return installed;
    }
    std::unique_ptr<platform::DecodedImage> decode(const std::string& path) override;
    std::vector<platform::RecognizedLine> recognize(const platform::DecodedImage& image,
                                                    const platform::RecognitionSettings& settings) override;

    /// Installs the recogniser for the lifetime of the object, keeping the other services.
    class Installed {
    public:
        explicit Installed(FakeTextRecognizer& recognizer);
        ~Installed();
        Installed(const Installed&) = delete;
        Installed& operator=(const Installed&) = delete;

    private:
        platform::TextRecognizer* previous_;
    };
};

}  // namespace fakes
