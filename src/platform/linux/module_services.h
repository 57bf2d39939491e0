#pragma once
// The services that live in loadable modules, as the executable sees them: each forwards to its module,
// which is opened on the first call. Adding a module is one ModuleEntry and one forwarding class here.

#include "platform/accessibility.h"
#include "platform/linux/module_loader.h"
#include "platform/linux/module_desktop_services.h"
#include "platform/movie_writer.h"
#include "platform/permission_probe.h"
#include "platform/text_recognizer.h"

namespace platform::linux_desktop {

/// The movie writer module (FFmpeg).
inline constexpr ModuleEntry kMovieWriterModule{"quorrel-capture-ffmpeg.so", "qc_movie_writers", "movie writer"};

/// Movie writers from the movie writer module.
class ModuleMovieWriters final : public MovieWriters {
public:
    std::unique_ptr<MovieWriter> makeWriter(const std::string& path) override {
        return module_.get().makeWriter(path);
    }

private:
    ModuleService<MovieWriters> module_{kMovieWriterModule};
};

/// The accessibility module (AT-SPI and the D-Bus libraries under it).
inline constexpr ModuleEntry kAccessibilityModule{"quorrel-capture-atspi.so", "qc_accessibility", "accessibility"};

/// The accessibility service from the accessibility module.
class ModuleAccessibility final : public Accessibility {
public:
    std::optional<Value> attribute(const Element& element, std::string_view name) override {
        return module_.get().attribute(element, name);
    }
    std::optional<ElementList> children(const Element& element) override { return module_.get().children(element); }
    std::optional<Element> parent(const Element& element) override { return module_.get().parent(element); }
    std::optional<ElementList> windows(const Element& application) override {
        return module_.get().windows(application);
    }
    std::vector<std::string> actionNames(const Element& element) override {
        return module_.get().actionNames(element);
    }
    bool performAction(const Element& element, std::string_view action) override {
        return module_.get().performAction(element, action);
    }
    bool setFocused(const Element& element) override { return module_.get().setFocused(element); }
    bool setPosition(const Element& element, Point position) override {
        return module_.get().setPosition(element, position);
    }
    bool setSize(const Element& element, Size size) override { return module_.get().setSize(element, size); }
    std::optional<Element> elementAtPoint(Point point) override { return module_.get().elementAtPoint(point); }
    std::optional<Element> application(int pid) override { return module_.get().application(pid); }
    void walkBegins(const Element& root, long maxElements, long maxDepth) override {
        module_.get().walkBegins(root, maxElements, maxDepth);
    }
    void walkEnded() override { module_.get().walkEnded(); }

private:
    ModuleService<Accessibility> module_{kAccessibilityModule};
};

/// The accessibility module's second entry: the permission probe, whose accessibility check needs the session
/// bus (GIO), which the executable does not map.
inline constexpr ModuleEntry kPermissionProbeEntry{kAccessibilityModule.fileName, "qc_permission_probe",
                                                  "accessibility"};

/// Screen recording checked by the X11 desktop module (as `windows` needs it); accessibility by the
/// accessibility module.
class ModulePermissionProbe final : public PermissionProbe {
public:
    bool screenRecording() override { return moduleScreenPixelsReadable(); }
    bool accessibility() override { return module_.get().accessibility(); }
    void requestScreenRecording() override {}
    void requestAccessibility() override { module_.get().requestAccessibility(); }

private:
    ModuleService<PermissionProbe> module_{kPermissionProbeEntry};
};

/// The text recognition module (Tesseract and Leptonica).
inline constexpr ModuleEntry kTextRecognizerModule{"quorrel-capture-tesseract.so", "qc_text_recognizer",
                                                   "text recognition"};

/// The text recogniser from the text recognition module.
class ModuleTextRecognizer final : public TextRecognizer {
public:
    std::vector<std::string> installedLanguages() override { return module_.get().installedLanguages(); }
    std::unique_ptr<DecodedImage> decode(const std::string& path) override { return module_.get().decode(path); }
    std::vector<RecognizedLine> recognize(const DecodedImage& image, const RecognitionSettings& settings) override {
        return module_.get().recognize(image, settings);
    }

private:
    ModuleService<TextRecognizer> module_{kTextRecognizerModule};
};

}  // namespace platform::linux_desktop
