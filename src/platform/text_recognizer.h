#pragma once
// Text in image files: decoding an image and finding the lines of text in it.

#include <memory>
#include <string>
#include <vector>

namespace platform {

/// A decoded image, held by the recogniser that decoded it.
class DecodedImage {
public:
    virtual ~DecodedImage() = default;
    virtual int widthPixels() const = 0;
    virtual int heightPixels() const = 0;
};

/// A rectangle in an image's pixels, origin at the image's top-left corner, y growing downward.
struct PixelBox {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
    bool operator==(const PixelBox&) const = default;
};

/// One recognised line of text: its best reading, how sure the recogniser is (0 to 1), and where it lies.
struct RecognizedLine {
    std::string text;
    float confidence = 0;
    PixelBox box;
};

/// How hard the recogniser tries: a quicker reading, or the most accurate one it can give.
enum class RecognitionLevel { fast, accurate };

/// What a run asks of the recogniser; the same for every image of the run.
struct RecognitionSettings {
    RecognitionLevel level = RecognitionLevel::accurate;
    /// Names of installed language data in order of preference (as `installedLanguages` lists them);
    /// empty: the recogniser's default language.
    std::vector<std::string> languages;
    bool operator==(const RecognitionSettings&) const = default;
};

/// Reads text in images. One object serves a whole run: the engine is set up at the first recognition and
/// reused, with nothing of one image reaching the next.
class TextRecognizer {
public:
    virtual ~TextRecognizer() = default;

    /// The names of the language data the recogniser has, sorted.
    virtual std::vector<std::string> installedLanguages() = 0;

    /// The image in the file at `path` decoded, or null when the file is missing or is not an image the
    /// recogniser can read.
    virtual std::unique_ptr<DecodedImage> decode(const std::string& path) = 0;

    /// The lines of text in `image` (decoded by this object), in the recogniser's reading order. Throws a
    /// std::exception whose text says what went wrong when the engine cannot be set up for `settings` or
    /// fails on the image.
    virtual std::vector<RecognizedLine> recognize(const DecodedImage& image, const RecognitionSettings& settings) = 0;
};

}  // namespace platform
