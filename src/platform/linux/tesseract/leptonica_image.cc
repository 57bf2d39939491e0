#include "platform/linux/tesseract/leptonica_image.h"

#include <sys/stat.h>

namespace platform::linux_desktop {
namespace {

// Leptonica reports a file it cannot decode on standard error; a bad image is an ordinary answer here.
void quietLeptonica() {
    static const bool quiet = [] {
        setMsgSeverity(L_SEVERITY_NONE);
        return true;
    }();
    (void)quiet;
}

// The mean grey level, 0 (black) to 255 (white).
float meanGrey(PIX* grey) {
    l_float32 mean = 255;
    if (pixGetAverageMasked(grey, nullptr, 0, 0, 1, L_MEAN_ABSVAL, &mean) != 0) return 255;
    return mean;
}

}  // namespace

std::unique_ptr<LeptonicaImage> readImage(const std::string& path) {
    quietLeptonica();
    struct stat status {};
    if (stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return nullptr;
    PixPtr pix(pixRead(path.c_str()));
    if (!pix || pixGetWidth(pix.get()) == 0 || pixGetHeight(pix.get()) == 0) return nullptr;
    return std::make_unique<LeptonicaImage>(std::move(pix));
}

PixPtr recognitionPage(PIX* image, float scale) {
    quietLeptonica();
    PixPtr opaque;
    if (pixGetDepth(image) == 32 && pixGetSpp(image) == 4) {
        opaque.reset(pixAlphaBlendUniform(image, 0xffffff00));
        if (!opaque) return nullptr;
        image = opaque.get();
    }
    PixPtr grey(pixConvertTo8(image, FALSE));
    if (!grey) return nullptr;
    if (meanGrey(grey.get()) < 128) pixInvert(grey.get(), grey.get());
    if (scale == 1.0f) return grey;
    return PixPtr(pixScale(grey.get(), scale, scale));
}

}  // namespace platform::linux_desktop
