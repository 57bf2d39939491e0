#include "platform/linux/kwin/kwin_cast_stream.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

#include "base/capture_error.h"
#include "platform/linux/kwin/kwin_connection.h"
#include "platform/linux/pipewire/pipewire_stream.h"
#include "zkde-screencast-unstable-v1-client-protocol.h"

namespace platform::linux_desktop {
namespace {

// KWin answers a cast request within a few tens of milliseconds.
constexpr auto kCastAnswerWait = std::chrono::seconds(2);

// What KWin said of one cast, told on the connection's thread.
struct CastState {
    std::mutex mutex;
    std::condition_variable answered;
    std::optional<uint32_t> node;
    std::optional<std::string> failure;
    bool closed = false;
};

CastState& stateOf(void* data) { return *static_cast<CastState*>(data); }

void onClosed(void* data, zkde_screencast_stream_unstable_v1*) {
    std::lock_guard lock(stateOf(data).mutex);
    stateOf(data).closed = true;
    stateOf(data).answered.notify_all();
}
void onCreated(void* data, zkde_screencast_stream_unstable_v1*, uint32_t node) {
    std::lock_guard lock(stateOf(data).mutex);
    stateOf(data).node = node;
    stateOf(data).answered.notify_all();
}
void onFailed(void* data, zkde_screencast_stream_unstable_v1*, const char* error) {
    std::lock_guard lock(stateOf(data).mutex);
    stateOf(data).failure = error ? error : "no reason given";
    stateOf(data).answered.notify_all();
}
const zkde_screencast_stream_unstable_v1_listener kCastListener{onClosed, onCreated, onFailed};

// A stream that stops has lost its window (closed: the last picture holds) unless the compositor went with it.
bool compositorRunning() {
    KWinConnection* connection = KWinConnection::shared();
    return connection && connection->alive() && connection->sync(1.0);
}

class KWinCastStream final : public CaptureStream {
public:
    KWinCastStream(const CastSource& source, const StreamConfiguration& configuration, FrameSink sink)
        : connection_(KWinConnection::shared()) {
        zkde_screencast_unstable_v1* manager = connection_ ? connection_->screencast() : nullptr;
        if (!manager)
            throw CaptureError("KWin: the compositor offers no screen cast (zkde_screencast_unstable_v1) to this "
                               "program; an installed desktop file must name it",
                               "external");
        const uint32_t pointer = configuration.showsCursor ? ZKDE_SCREENCAST_UNSTABLE_V1_POINTER_EMBEDDED
                                                           : ZKDE_SCREENCAST_UNSTABLE_V1_POINTER_HIDDEN;
        cast_ = connection_->makeProxy(
            [&] {
                return source.kind == CastSource::Kind::window
                           ? zkde_screencast_unstable_v1_stream_window(manager, source.windowId.c_str(), pointer)
                           : zkde_screencast_unstable_v1_stream_output(manager, source.output, pointer);
            },
            [&](zkde_screencast_stream_unstable_v1* cast) {
                zkde_screencast_stream_unstable_v1_add_listener(cast, &kCastListener, state_.get());
            });
        uint32_t node = 0;
        {
            std::unique_lock lock(state_->mutex);
            state_->answered.wait_for(lock, kCastAnswerWait,
                                      [this] { return state_->node || state_->failure || state_->closed; });
            if (!state_->node) {
                const std::string reason = state_->failure.value_or(state_->closed ? "the cast was closed"
                                                                                   : "no answer within 2 s");
                lock.unlock();
                release();
                throw CaptureError("KWin: the screen cast could not be made: " + reason, "external");
            }
            node = *state_->node;
        }
        StreamHooks hooks{nullptr, compositorRunning, ""};
        // KWin 5.27's virtual outputs (a headless session) never hand their frames to a screen cast; a real
        // output's do.
        if (source.kind == CastSource::Kind::output)
            hooks.whyNoFrame = "KWin sends none of an output that is not shown on a screen, as the virtual "
                               "output of KWin 5.27's headless session";
        pipeWire_ = std::make_unique<PipeWireStream>(node, configuration, std::move(sink), std::move(hooks));
    }

    ~KWinCastStream() override {
        pipeWire_.reset();
        release();
    }

    void start() override { pipeWire_->start(); }

    void stop() override { pipeWire_->stop(); }

private:
    // Ends the cast: KWin stops its PipeWire node.
    void release() {
        if (!cast_) return;
        connection_->whileNotDispatching([this] { zkde_screencast_stream_unstable_v1_close(cast_); });
        cast_ = nullptr;
    }

    KWinConnection* connection_;
    std::unique_ptr<CastState> state_ = std::make_unique<CastState>();
    zkde_screencast_stream_unstable_v1* cast_ = nullptr;
    std::unique_ptr<PipeWireStream> pipeWire_;
};

}  // namespace

std::unique_ptr<CaptureStream> makeKWinCastStream(const CastSource& source, const StreamConfiguration& configuration,
                                                  FrameSink sink) {
    return std::make_unique<KWinCastStream>(source, configuration, std::move(sink));
}

}  // namespace platform::linux_desktop
