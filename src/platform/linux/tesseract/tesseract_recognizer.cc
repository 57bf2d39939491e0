#include "platform/linux/tesseract/tesseract_recognizer.h"

#include <fcntl.h>
#include <omp.h>
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <unistd.h>

#include "platform/linux/tesseract/leptonica_image.h"

namespace platform::linux_desktop {
namespace {

// Enlargement before recognition: interface text of 10 to 16 pixels reaches the height the engine reads best.
constexpr float kAccurateScale = 3.0f;
constexpr float kFastScale = 2.0f;
// An enlarged page holds at most this many pixels; larger screenshots are enlarged less (never shrunk).
constexpr double kMostPagePixels = 40e6;
// Screens show 96 pixels per inch; telling the engine keeps it from guessing from the text.
constexpr int kScreenPixelsPerInch = 96;
constexpr const char* kDefaultLanguage = "eng";

// The engine refuses a page wider or taller than this many pixels.
constexpr int kLongestPageSide = 32767;
// An image too long for one page even at its own size is read in bands that overlap by this many of its
// pixels, more than an interface line is tall, so that every line lies whole in the band that keeps it.
constexpr int kBandOverlapPixels = 128;

float scaleFor(RecognitionLevel level, int width, int height) {
    const float wanted = level == RecognitionLevel::fast ? kFastScale : kAccurateScale;
    const double area = static_cast<double>(width) * height;
    float scale = area > 0 ? std::min(wanted, static_cast<float>(std::sqrt(kMostPagePixels / area))) : wanted;
    // An image that fits on one page at its own size is enlarged only as far as the page allows (a pixel
    // short of it, for rounding); a longer one is read in bands at the full factor.
    const int longest = std::max(width, height);
    if (longest < kLongestPageSide && longest * scale > kLongestPageSide - 1)
        scale = static_cast<float>((kLongestPageSide - 1.0) / longest);
    return std::max(1.0f, scale);
}

// A part of the image read as one page, and the stretch of its long axis whose lines it keeps (by their
// centre): the middle of each overlap divides two bands.
struct Band {
    int left = 0, top = 0, width = 0, height = 0;
    double keepsFrom = 0, keepsTo = 0;
    bool whole = true;
};

std::vector<Band> bandsFor(int width, int height, float scale) {
    const bool tall = height >= width;
    const int length = tall ? height : width;
    const int most = static_cast<int>((kLongestPageSide - 1) / scale);
    if (length <= most) return {Band{0, 0, width, height, 0, static_cast<double>(length), true}};
    const int step = most - kBandOverlapPixels;
    std::vector<Band> bands;
    for (int start = 0; start < length; start += step) {
        const int end = std::min(length, start + most);
        const double keepsFrom = start == 0 ? 0 : start + kBandOverlapPixels / 2.0;
        const double keepsTo = end == length ? length : end - kBandOverlapPixels / 2.0;
        bands.push_back(tall ? Band{0, start, width, end - start, keepsFrom, keepsTo, false}
                             : Band{start, 0, end - start, height, keepsFrom, keepsTo, false});
        if (end == length) break;
    }
    return bands;
}

// Tesseract, and the PNG and JPEG readers under Leptonica, write their own warnings to standard error
// ("Image too large", "libpng error: Read Error"), which carries only this tool's diagnostics: while they
// work, the stream goes to /dev/null. The ocr command runs on one thread, so nothing of the tool's own is
// lost meanwhile.
class StandardErrorSilenced {
public:
    StandardErrorSilenced() {
        std::fflush(stderr);
        saved_ = dup(STDERR_FILENO);
        const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (null >= 0) {
            dup2(null, STDERR_FILENO);
            close(null);
        }
    }
    ~StandardErrorSilenced() {
        std::fflush(stderr);
        if (saved_ < 0) return;
        dup2(saved_, STDERR_FILENO);
        close(saved_);
    }
    StandardErrorSilenced(const StandardErrorSilenced&) = delete;
    StandardErrorSilenced& operator=(const StandardErrorSilenced&) = delete;

private:
    int saved_ = -1;
};

std::string joined(const std::vector<std::string>& languages) {
    if (languages.empty()) return kDefaultLanguage;
    std::string out;
    for (const auto& language : languages) out += (out.empty() ? "" : "+") + language;
    return out;
}

std::string trimmed(const char* text) {
    std::string s = text ? text : "";
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ' || s.back() == '\r' || s.back() == '\t')) s.pop_back();
    size_t start = 0;
    while (start < s.size() && s[start] == ' ') ++start;
    return s.substr(start);
}

class TesseractRecognizer;
TesseractRecognizer* liveRecognizer = nullptr;

class TesseractRecognizer final : public TextRecognizer {
public:
    TesseractRecognizer() { liveRecognizer = this; }
    ~TesseractRecognizer() override {
        release();
        if (liveRecognizer == this) liveRecognizer = nullptr;
    }

    // Ends the engine. The library's model cache is a static object created at the first set-up, so it is
    // destroyed before a recogniser living in a static; the engine is therefore ended at exit, ahead of it.
    void release() {
        if (engine_) engine_->End();
        engine_.reset();
        languages_.clear();
    }

    std::vector<std::string> installedLanguages() override {
        std::vector<std::string> names;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(dataDirectory(), error)) {
            const std::filesystem::path file = entry.path();
            if (file.extension() == ".traineddata") names.push_back(file.stem().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    std::unique_ptr<DecodedImage> decode(const std::string& path) override {
        const StandardErrorSilenced quiet;
        return readImage(path);
    }

    std::vector<RecognizedLine> recognize(const DecodedImage& image, const RecognitionSettings& settings) override {
        const StandardErrorSilenced quiet;
        const auto& decoded = dynamic_cast<const LeptonicaImage&>(image);
        tesseract::TessBaseAPI& engine = engineFor(settings);
        const int width = decoded.widthPixels(), height = decoded.heightPixels();
        const float scale = scaleFor(settings.level, width, height);
        const bool tall = height >= width;
        std::vector<RecognizedLine> lines;
        for (const Band& band : bandsFor(width, height, scale)) {
            PixPtr clipped;
            PIX* source = decoded.pix();
            if (!band.whole) {
                BOX* box = boxCreate(band.left, band.top, band.width, band.height);
                clipped.reset(pixClipRectangle(source, box, nullptr));
                boxDestroy(&box);
                if (!clipped) throw std::runtime_error("the image could not be prepared for recognition");
                source = clipped.get();
            }
            for (RecognizedLine& line : readPage(engine, source, scale, band, width, height)) {
                const PixelBox& b = line.box;
                const double centre = tall ? b.top + b.height / 2 : b.left + b.width / 2;
                if (centre >= band.keepsFrom && centre < band.keepsTo) lines.push_back(std::move(line));
            }
        }
        return lines;
    }

private:
    // The data directory the engine reads, as the engine itself resolves it: TESSDATA_PREFIX when set,
    // else the directory built into the library (learnt from an engine set up for the default language,
    // which is kept for the run).
    std::string dataDirectory() {
        if (const char* prefix = std::getenv("TESSDATA_PREFIX"); prefix && *prefix) return prefix;
        if (!engine_) {
            try {
                engineFor(RecognitionSettings{});
            } catch (const std::exception&) {
                return "";
            }
        }
        const char* path = engine_->GetDatapath();
        return path ? path : "";
    }

    // The engine set up for `settings`: the languages' models are loaded once, and again only when a later
    // call asks for other languages; the level only changes parameters.
    tesseract::TessBaseAPI& engineFor(const RecognitionSettings& settings) {
        const std::string languages = joined(settings.languages);
        if (!engine_ || languages_ != languages) {
            if (engine_) engine_->End();
            // The engine's parallel sections take as many threads as the machine has idle cores (OpenMP's
            // dynamic adjustment): on a busy machine fixed worker threads wait on each other and slow
            // recognition several times over.
            omp_set_dynamic(1);
            engine_ = std::make_unique<tesseract::TessBaseAPI>();
            languages_.clear();
            if (engine_->Init(nullptr, languages.c_str(), tesseract::OEM_LSTM_ONLY) != 0) {
                engine_.reset();
                throw std::runtime_error("the recognition engine could not load the language data " + languages);
            }
            languages_ = languages;
            static const bool endsAtExit = [] {
                std::atexit([] {
                    if (liveRecognizer) liveRecognizer->release();
                });
                return true;
            }();
            (void)endsAtExit;
            // Interface text is scattered pieces (labels, buttons, menu titles), not columns of paragraphs: the
            // sparse-text layout finds every piece instead of merging neighbours into blocks.
            engine_->SetPageSegMode(tesseract::PSM_SPARSE_TEXT);
        }
        // Accurate: a line read with low confidence is read again inverted and the better reading kept (the
        // engine's own handling of light text on dark). Fast: each line is read once.
        engine_->SetVariable("tessedit_do_invert", settings.level == RecognitionLevel::fast ? "0" : "1");
        return *engine_;
    }

    // The lines of one page made from `source` (the band `band` of an image of `width` × `height`), with
    // their boxes in the whole image's pixels.
    static std::vector<RecognizedLine> readPage(tesseract::TessBaseAPI& engine, PIX* source, float scale,
                                                const Band& band, int width, int height) {
        const PixPtr page = recognitionPage(source, scale);
        if (!page) throw std::runtime_error("the image could not be prepared for recognition");
        engine.SetImage(page.get());
        engine.SetSourceResolution(static_cast<int>(std::lround(kScreenPixelsPerInch * scale)));
        const int failed = engine.Recognize(nullptr);
        std::vector<RecognizedLine> lines;
        if (failed == 0) lines = readLines(engine, scale, band, width, height);
        // Nothing of this page (layout, results) stays in the engine for the next one.
        engine.Clear();
        if (failed != 0) throw std::runtime_error("text recognition failed on the image");
        return lines;
    }

    static std::vector<RecognizedLine> readLines(tesseract::TessBaseAPI& engine, float scale, const Band& band,
                                                 int width, int height) {
        std::vector<RecognizedLine> lines;
        std::unique_ptr<tesseract::ResultIterator> line(engine.GetIterator());
        if (!line) return lines;
        constexpr auto level = tesseract::RIL_TEXTLINE;
        do {
            if (line->Empty(level)) continue;
            std::unique_ptr<char[]> text(line->GetUTF8Text(level));
            RecognizedLine recognized;
            recognized.text = trimmed(text.get());
            if (recognized.text.empty()) continue;
            recognized.confidence = line->Confidence(level) / 100.0f;
            int left = 0, top = 0, right = 0, bottom = 0;
            if (!line->BoundingBox(level, &left, &top, &right, &bottom)) continue;
            // Back from the enlarged page to the image's own pixels.
            const double factor = scale;
            const double x0 = std::clamp(band.left + left / factor, 0.0, static_cast<double>(width));
            const double y0 = std::clamp(band.top + top / factor, 0.0, static_cast<double>(height));
            const double x1 = std::clamp(band.left + right / factor, 0.0, static_cast<double>(width));
            const double y1 = std::clamp(band.top + bottom / factor, 0.0, static_cast<double>(height));
            recognized.box = PixelBox{x0, y0, x1 - x0, y1 - y0};
            lines.push_back(std::move(recognized));
        } while (line->Next(level));
        return lines;
    }

    std::unique_ptr<tesseract::TessBaseAPI> engine_;
    std::string languages_;
};

}  // namespace

std::unique_ptr<TextRecognizer> makeTesseractRecognizer() {
    return std::make_unique<TesseractRecognizer>();
}

}  // namespace platform::linux_desktop
