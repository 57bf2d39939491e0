#include "platform/linux/pipewire/pipewire_stream.h"

#include <pipewire/pipewire.h>
#include <spa/debug/types.h>
#include <spa/param/video/format-utils.h>
#include <spa/param/video/type-info.h>
#include <spa/buffer/meta.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "base/capture_error.h"
#include "platform/desktop_lost.h"
#include "platform/linux/host_clock.h"

namespace platform::linux_desktop {
namespace {

constexpr auto kFirstFrameWait = std::chrono::seconds(5);
constexpr int kMaxDamageRegions = 16;

// PipeWire is initialised once per process.
void initialisePipeWire() {
    static std::once_flag once;
    std::call_once(once, [] { pw_init(nullptr, nullptr); });
}

// Where the window is opaque along the middle row and column of `content`: its edges, without the shadow
// around it. Mutter's window streams say BGRx but carry the window's alpha in the fourth byte; a stream
// whose fourth byte is not alpha gives no box, or one as large as the content.
std::optional<PixelRect> opaqueBox(const uint8_t* base, int stride, const PixelRect& content) {
    const auto opaque = [&](int x, int y) { return base[size_t(y) * stride + size_t(x) * 4 + 3] == 255; };
    const int middleX = content.x + content.width / 2, middleY = content.y + content.height / 2;
    int top = content.y, bottom = content.y + content.height - 1;
    while (top <= bottom && !opaque(middleX, top)) ++top;
    while (bottom >= top && !opaque(middleX, bottom)) --bottom;
    int left = content.x, right = content.x + content.width - 1;
    while (left <= right && !opaque(left, middleY)) ++left;
    while (right >= left && !opaque(right, middleY)) --right;
    if (top > bottom || left > right) return std::nullopt;
    return PixelRect{left, top, right - left + 1, bottom - top + 1};
}

}  // namespace

struct PipeWireStream::Listener {
    spa_hook hook{};
    pw_stream_events events{};
    spa_video_info_raw format{};
};

namespace {

void onParamChanged(void* data, uint32_t id, const spa_pod* param) {
    auto* self = static_cast<PipeWireStream*>(data);
    if (!param || id != SPA_PARAM_Format) return;
    spa_video_info_raw info{};
    if (spa_format_video_raw_parse(param, &info) < 0) return;
    self->formatChanged(int(info.size.width), int(info.size.height), info.format == SPA_VIDEO_FORMAT_BGRA);
}

void onProcess(void* data) { static_cast<PipeWireStream*>(data)->frameArrived(); }

void onStateChanged(void* data, pw_stream_state previous, pw_stream_state state, const char* error) {
    // A stream that stops streaming lost its producer: the window closed, or the compositor went away.
    if (previous == PW_STREAM_STATE_STREAMING && state == PW_STREAM_STATE_PAUSED)
        static_cast<PipeWireStream*>(data)->producerStopped();
    if (state == PW_STREAM_STATE_ERROR) static_cast<PipeWireStream*>(data)->failed(error ? error : "stream error");
    if (state == PW_STREAM_STATE_UNCONNECTED) static_cast<PipeWireStream*>(data)->failed("the stream was closed");
}

}  // namespace

PipeWireStream::PipeWireStream(uint32_t nodeId, StreamConfiguration configuration, FrameSink sink, StreamHooks hooks,
                               std::optional<WindowArea> window)
    : nodeId_(nodeId),
      configuration_(std::move(configuration)),
      window_(window),
      sink_(std::move(sink)),
      hooks_(std::move(hooks)) {
    if (configuration_.width <= 0 || configuration_.height <= 0)
        throw CaptureError("the frame size must be at least one pixel", "external");
    if (configuration_.minimumFrameIntervalTimescale <= 0)
        throw CaptureError("the frame rate must be positive", "external");
}

PipeWireStream::~PipeWireStream() { stop(); }

void PipeWireStream::start() {
    initialisePipeWire();
    loop_ = pw_thread_loop_new("quorrel.pipewire", nullptr);
    if (!loop_) throw CaptureError("Wayland: cannot make a PipeWire loop", "external");
    context_ = pw_context_new(pw_thread_loop_get_loop(loop_), nullptr, 0);
    if (!context_ || pw_thread_loop_start(loop_) < 0) throw CaptureError("Wayland: cannot start PipeWire", "external");

    pw_thread_loop_lock(loop_);
    core_ = pw_context_connect(context_, nullptr, 0);
    if (!core_) {
        pw_thread_loop_unlock(loop_);
        throw CaptureError("Wayland: cannot connect to PipeWire (is it running in this session?)", "external");
    }
    stream_ = pw_stream_new(core_, "quorrel-capture",
                            pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY, "Capture",
                                              PW_KEY_MEDIA_ROLE, "Screen", nullptr));
    listener_ = std::make_unique<Listener>();
    listener_->events.version = PW_VERSION_STREAM_EVENTS;
    listener_->events.param_changed = onParamChanged;
    listener_->events.process = onProcess;
    listener_->events.state_changed = onStateChanged;
    pw_stream_add_listener(stream_, &listener_->hook, &listener_->events, this);

    uint8_t buffer[1024];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof(buffer));
    const spa_rectangle defaultSize{uint32_t(configuration_.width), uint32_t(configuration_.height)};
    const spa_rectangle minSize{1, 1}, maxSize{16384, 16384};
    const spa_fraction noRate{0, 1}, maxRate{1000, 1};
    const spa_fraction wantedRate{uint32_t(configuration_.minimumFrameIntervalTimescale), 1};
    const spa_pod* params[3];
    params[0] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
        &builder, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType, SPA_POD_Id(SPA_MEDIA_TYPE_video),
        SPA_FORMAT_mediaSubtype, SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw), SPA_FORMAT_VIDEO_format,
        SPA_POD_CHOICE_ENUM_Id(3, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRA),
        SPA_FORMAT_VIDEO_size, SPA_POD_CHOICE_RANGE_Rectangle(&defaultSize, &minSize, &maxSize),
        SPA_FORMAT_VIDEO_framerate, SPA_POD_CHOICE_RANGE_Fraction(&wantedRate, &noRate, &maxRate)));
    // Where the frame changed, when the compositor says so.
    params[1] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
        &builder, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type, SPA_POD_Id(SPA_META_VideoDamage),
        SPA_PARAM_META_size,
        SPA_POD_CHOICE_RANGE_Int(sizeof(spa_meta_region) * kMaxDamageRegions, sizeof(spa_meta_region),
                                 sizeof(spa_meta_region) * kMaxDamageRegions)));
    // Where in the buffer the content is: a window stream's buffers are as large as the monitor.
    params[2] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
        &builder, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type, SPA_POD_Id(SPA_META_VideoCrop),
        SPA_PARAM_META_size, SPA_POD_Int(sizeof(spa_meta_region))));
    const int connected = pw_stream_connect(
        stream_, PW_DIRECTION_INPUT, nodeId_,
        static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS), params, 3);
    pw_thread_loop_unlock(loop_);
    if (connected < 0) {
        stop();
        throw CaptureError(std::string("Wayland: cannot connect to the screen cast's PipeWire node: ") +
                               std::strerror(-connected),
                           "external");
    }
    {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, kFirstFrameWait, [this] { return received_ > 0 || !failure_.empty(); });
        if (received_ == 0) {
            std::string reason = failure_;
            if (reason.empty()) {
                reason = "no frame came within 5 s";
                if (!hooks_.whyNoFrame.empty()) reason += " (" + hooks_.whyNoFrame + ")";
            }
            lock.unlock();
            stop();
            throw CaptureError("Wayland: the screen cast gave no frames: " + reason, "external");
        }
    }
    running_ = true;
    ticker_ = std::thread([this] { tick(); });
}

void PipeWireStream::stop() {
    running_ = false;
    changed_.notify_all();
    if (ticker_.joinable()) ticker_.join();
    if (loop_) pw_thread_loop_stop(loop_);
    if (stream_) pw_stream_destroy(stream_);
    if (core_) pw_core_disconnect(core_);
    if (context_) pw_context_destroy(context_);
    if (loop_) pw_thread_loop_destroy(loop_);
    stream_ = nullptr;
    core_ = nullptr;
    context_ = nullptr;
    loop_ = nullptr;
}

void PipeWireStream::formatChanged(int width, int height, bool hasAlpha) {
    std::lock_guard lock(mutex_);
    sourceWidth_ = width;
    sourceHeight_ = height;
    sourceHasAlpha_ = hasAlpha;
    latest_.assign(size_t(width) * height * 4, 0);
    wholeDamaged_ = true;
}

void PipeWireStream::producerStopped() {
    std::lock_guard lock(mutex_);
    producerStopped_ = true;
    changed_.notify_all();
}

void PipeWireStream::failed(const char* reason) {
    std::lock_guard lock(mutex_);
    if (failure_.empty()) failure_ = reason;
    changed_.notify_all();
}

void PipeWireStream::frameArrived() {
    pw_buffer* buffer = nullptr;
    // Only the newest of the queued buffers matters.
    while (pw_buffer* next = pw_stream_dequeue_buffer(stream_)) {
        if (buffer) pw_stream_queue_buffer(stream_, buffer);
        buffer = next;
    }
    if (!buffer) return;
    spa_buffer* data = buffer->buffer;
    std::lock_guard lock(mutex_);
    const spa_data& plane = data->datas[0];
    if (plane.data && plane.chunk && plane.chunk->size > 0 && sourceWidth_ > 0 &&
        !(plane.chunk->flags & SPA_CHUNK_FLAG_CORRUPTED)) {
        const int stride = plane.chunk->stride > 0 ? plane.chunk->stride : sourceWidth_ * 4;
        const auto* source = static_cast<const uint8_t*>(plane.data) + plane.chunk->offset;
        const int rows = std::min<int>(sourceHeight_, int(plane.chunk->size / std::max(1, stride)));
        for (int row = 0; row < rows; ++row) {
            uint8_t* target = latest_.data() + size_t(row) * sourceWidth_ * 4;
            std::memcpy(target, source + size_t(row) * stride, size_t(sourceWidth_) * 4);
            if (!sourceHasAlpha_)
                for (int x = 0; x < sourceWidth_; ++x) target[x * 4 + 3] = 255;
        }
        if (auto* crop = static_cast<spa_meta_region*>(
                spa_buffer_find_meta_data(data, SPA_META_VideoCrop, sizeof(spa_meta_region)))) {
            if (spa_meta_region_is_valid(crop)) {
                content_ = {crop->region.position.x, crop->region.position.y, int(crop->region.size.width),
                            int(crop->region.size.height)};
            }
        }
        if (window_) {
            const PixelRect whole = content_.value_or(PixelRect{0, 0, sourceWidth_, sourceHeight_});
            if (whole.x >= 0 && whole.y >= 0 && whole.x + whole.width <= sourceWidth_ &&
                whole.y + whole.height <= rows && whole.width > 0 && whole.height > 0)
                opaque_ = opaqueBox(source, stride, whole);
            const PixelRect content = toolkitAreaLocked();
            if (hooks_.windowCornerMoved) hooks_.windowCornerMoved(content.x - whole.x, content.y - whole.y);
        }
        bool damageKnown = false;
        if (auto* meta = static_cast<spa_meta*>(spa_buffer_find_meta(data, SPA_META_VideoDamage))) {
            spa_meta_region* region;
            spa_meta_for_each(region, meta) {
                if (!spa_meta_region_is_valid(region)) break;
                damageKnown = true;
                damage_.push_back({region->region.position.x, region->region.position.y,
                                   int(region->region.size.width), int(region->region.size.height)});
            }
        }
        if (!damageKnown) wholeDamaged_ = true;
        ++received_;
        changed_.notify_all();
    }
    pw_stream_queue_buffer(stream_, buffer);
}

PixelRect PipeWireStream::toolkitAreaLocked() const {
    PixelRect content = content_.value_or(PixelRect{0, 0, sourceWidth_, sourceHeight_});
    if (window_ && content.width > window_->width + 2 && content.height > window_->height + 2) {
        // The shadow drawn around a window the toolkit measures without it (GTK 4): the window is where the
        // content is opaque, when that is the window's size. The shadow falls lower than it rises (Adwaita's,
        // 6 pixels), so a centred guess is only what is left when the stream carries no alpha.
        if (opaque_ && std::abs(opaque_->width - window_->width) <= 2 &&
            std::abs(opaque_->height - window_->height) <= 2)
            return {opaque_->x, opaque_->y, int(std::lround(window_->width)), int(std::lround(window_->height))};
    }
    if (window_) {
        // The same on every side. (GTK 3's extents are a pixel shorter than its surface: that is no margin.)
        const int marginX = std::max(0, int(std::floor((content.width - window_->width) / 2)));
        const int marginY = std::max(0, int(std::floor((content.height - window_->height) / 2)));
        content = {content.x + marginX, content.y + marginY, content.width - 2 * marginX,
                   content.height - 2 * marginY};
    }
    return content;
}

PixelRect PipeWireStream::recordedAreaLocked() const {
    const PixelRect toolkit = toolkitAreaLocked();
    if (!window_) return toolkit;
    const Rect& visible = window_->visible;
    return {toolkit.x + int(std::lround(visible.x)), toolkit.y + int(std::lround(visible.y)),
            int(std::lround(visible.width)), int(std::lround(visible.height))};
}

void PipeWireStream::tick() {
    const double interval = 1.0 / configuration_.minimumFrameIntervalTimescale;
    double next = hostClockSeconds();
    bool endSeen = false;
    while (running_) {
        // A stream that ends while its compositor goes on lost its window (closed): the last picture holds.
        // One that ends with the compositor has lost the desktop, and the recording cannot go on.
        if (!endSeen) {
            std::unique_lock lock(mutex_);
            if (producerStopped_ || !failure_.empty()) {
                endSeen = true;
                lock.unlock();
                if (hooks_.compositorRunning && !hooks_.compositorRunning())
                    desktopLost("lost the connection to the Wayland compositor");
            }
        }
        const double now = hostClockSeconds();
        if (now < next) {
            std::unique_lock lock(mutex_);
            changed_.wait_for(lock, std::chrono::duration<double>(next - now), [this] { return !running_.load(); });
            continue;
        }
        next += interval;
        if (next < now) next = now + interval;
        deliver(now);
    }
}

void PipeWireStream::deliver(double presentationSeconds) {
    CapturedFrame frame;
    frame.presentationSeconds = presentationSeconds;
    {
        std::lock_guard lock(mutex_);
        if (received_ == delivered_ || sourceWidth_ <= 0) {
            frame.status = FrameStatus::idle;
        } else {
            delivered_ = received_;
            // The recorded area: the source cut to the configured rectangle, scaled to the frame's size.
            const int width = configuration_.width, height = configuration_.height;
            const PixelRect content = recordedAreaLocked();
            double cutX = content.x, cutY = content.y, cutWidth = content.width, cutHeight = content.height;
            if (const auto& rect = configuration_.sourceRect) {
                cutX += rect->x;
                cutY += rect->y;
                cutWidth = rect->width;
                cutHeight = rect->height;
            }
            auto pixels = std::make_shared<std::vector<uint8_t>>(size_t(width) * height * 4, 0);
            for (int y = 0; y < height; ++y) {
                const int sourceY = int(cutY + (y + 0.5) * cutHeight / height);
                if (sourceY < 0 || sourceY >= sourceHeight_) continue;
                uint8_t* row = pixels->data() + size_t(y) * width * 4;
                const uint8_t* sourceRow = latest_.data() + size_t(sourceY) * sourceWidth_ * 4;
                for (int x = 0; x < width; ++x) {
                    const int sourceX = int(cutX + (x + 0.5) * cutWidth / width);
                    if (sourceX < 0 || sourceX >= sourceWidth_) continue;
                    std::memcpy(row + x * 4, sourceRow + sourceX * 4, 4);
                }
            }
            PixelBuffer image;
            image.width = width;
            image.height = height;
            image.bytesPerRow = width * 4;
            image.bytes = pixels->data();
            image.storage = pixels;
            image.sequence = ++sequence_;
            // Damage is given only where no scaling moved it, and never for the first frame.
            const bool unscaled = cutX == 0 && cutY == 0 && int(cutWidth) == width && int(cutHeight) == height;
            // (Damage is in the buffer's pixels, so it is given only when the frame is the buffer's corner.)
            if (!wholeDamaged_ && unscaled && sequence_ > 1) image.changedAreas = damage_;
            damage_.clear();
            wholeDamaged_ = false;
            frame.image = std::move(image);
        }
    }
    sink_(frame);
}

}  // namespace platform::linux_desktop
