// The entry point of the X11 desktop's companion module: frame streams (XComposite, XDamage, XFixes, MIT-SHM),
// XTEST input and the user's pointer presses (XInput 2). It links the X11 module for the display, window
// frames and properties, so both share one copy of them.

#include "base/capture_error.h"
#include "platform/linux/module_entry.h"
#include "platform/linux/x11_io/x11_capture_stream.h"
#include "platform/linux/x11_io/xinput_user_events.h"
#include "platform/linux/x11_io/xtest_input.h"

namespace {

using namespace platform;

// The streams of the X11 desktop module's capture service: content is listed there, not here.
class X11FrameStreams final : public ScreenCapture {
public:
    ShareableContent shareableContent() override {
        throw CaptureError("the X11 input module lists no windows; the X11 desktop module does");
    }
    std::unique_ptr<CaptureStream> makeStream(const ContentFilter& filter, const StreamConfiguration& configuration,
                                              FrameSink sink) override {
        return std::make_unique<linux_desktop::X11CaptureStream>(filter, configuration, std::move(sink));
    }
};

}  // namespace

QC_MODULE_ENTRY(context) {
    using namespace platform::linux_desktop;
    static X11FrameStreams streams;
    static XTestInput input;
    static XInputUserEvents userEvents;
    static const ModuleTable table{.services = {.input = &input, .capture = &streams, .userEvents = &userEvents}};
    return &table;
}
