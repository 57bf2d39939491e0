// The entry point of the text recognition module.

#include <memory>

#include "platform/linux/module_entry.h"
#include "platform/linux/tesseract/tesseract_recognizer.h"

QC_MODULE_ENTRY(context) {
    static const std::unique_ptr<platform::TextRecognizer> recognizer =
        platform::linux_desktop::makeTesseractRecognizer();
    static const platform::linux_desktop::ModuleTable table{.services = {.textRecognizer = recognizer.get()}};
    return &table;
}
