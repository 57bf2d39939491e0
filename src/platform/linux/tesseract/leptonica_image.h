#pragma once
// Images decoded by Leptonica, and the page the recogniser reads made from one.

#include <leptonica/allheaders.h>

#include <memory>
#include <string>

#include "platform/text_recognizer.h"

namespace platform::linux_desktop {

struct PixDeleter {
    void operator()(PIX* pix) const { pixDestroy(&pix); }
};
using PixPtr = std::unique_ptr<PIX, PixDeleter>;

/// A decoded image file.
class LeptonicaImage final : public DecodedImage {
public:
    explicit LeptonicaImage(PixPtr pix) : pix_(std::move(pix)) {}
    int widthPixels() const override { return static_cast<int>(pixGetWidth(pix_.get())); }
    int heightPixels() const override { return static_cast<int>(pixGetHeight(pix_.get())); }
    PIX* pix() const { return pix_.get(); }

private:
    PixPtr pix_;
};

/// The image in the file at `path` (any format Leptonica reads from its content: PNG, JPEG, TIFF, BMP, GIF,
/// WebP, PNM, ...), or null when it is missing or not an image.
std::unique_ptr<LeptonicaImage> readImage(const std::string& path);

/// What the recogniser reads: the image as 8-bit grey on a light background (composited over white when it
/// has transparency, inverted when it is mostly dark, as light text on dark interfaces is) and enlarged by
/// `scale` with linear interpolation, since interface text is far smaller than the text sizes the engine is
/// trained on. Null when Leptonica fails.
PixPtr recognitionPage(PIX* image, float scale);

}  // namespace platform::linux_desktop
