// The entry point of the text recognition module: the one symbol the executable looks up.

#include <memory>

#include "platform/linux/tesseract/tesseract_recognizer.h"

extern "C" __attribute__((visibility("default"))) platform::TextRecognizer* qc_text_recognizer() {
    static const std::unique_ptr<platform::TextRecognizer> recognizer =
        platform::linux_desktop::makeTesseractRecognizer();
    return recognizer.get();
}
