#pragma once
// Text recognition with Tesseract (LSTM engine) on images decoded by Leptonica. This folder is the only
// place that sees either library; the rest of the backend knows it through this one factory.

#include <memory>

#include "platform/text_recognizer.h"

namespace platform::linux_desktop {

/// A recogniser whose engine is set up at its first recognition and reused for every later image.
std::unique_ptr<TextRecognizer> makeTesseractRecognizer();

}  // namespace platform::linux_desktop
