#include "fakes/fake_text_recognizer.h"

#include <stdexcept>

#include "platform/services.h"

namespace fakes {
namespace {

class FakeImage final : public platform::DecodedImage {
public:
    FakeImage(std::string path, int width, int height) : path(std::move(path)), width_(width), height_(height) {}
    int widthPixels() const override { return width_; }
    int heightPixels() const override { return height_; }
    std::string path;

private:
    int width_;
    int height_;
};

}  // namespace

std::unique_ptr<platform::DecodedImage> FakeTextRecognizer::decode(const std::string& path) {
    decoded.push_back(path);
    const auto found = pictures.find(path);
    if (found == pictures.end()) return nullptr;
    return std::make_unique<FakeImage>(path, found->second.width, found->second.height);
}

std::vector<platform::RecognizedLine> FakeTextRecognizer::recognize(const platform::DecodedImage& image,
                                                                    const platform::RecognitionSettings& settings) {
    recognitions.push_back(settings);
    const Picture& picture = pictures.at(dynamic_cast<const FakeImage&>(image).path);
    if (picture.error) throw std::runtime_error(*picture.error);
    return picture.lines;
}

FakeTextRecognizer::Installed::Installed(FakeTextRecognizer& recognizer) {
    platform::Services services = platform::services();
    previous_ = services.textRecognizer;
    services.textRecognizer = &recognizer;
    platform::install(services);
}

FakeTextRecognizer::Installed::~Installed() {
    platform::Services services = platform::services();
    services.textRecognizer = previous_;
    platform::install(services);
}

}  // namespace fakes
