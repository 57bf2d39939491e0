#include "platform/linux/kwin/kwin_connection.h"

#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "fake-input-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"
#include "zkde-screencast-unstable-v1-client-protocol.h"

namespace platform::linux_desktop {

// What one output told so far: wl_output's geometry, mode and scale, and xdg-output's logical rectangle,
// which is exact where the scale is fractional.
struct KWinConnection::OutputState {
    KWinConnection* connection = nullptr;
    uint32_t globalName = 0;
    wl_output* output = nullptr;
    zxdg_output_v1* logicalOutput = nullptr;
    std::string name;
    int32_t x = 0, y = 0, modeWidth = 0, modeHeight = 0, scale = 1, transform = WL_OUTPUT_TRANSFORM_NORMAL;
    std::optional<Rect> logical;
    int32_t logicalX = 0, logicalY = 0;

    Rect rect() const {
        if (logical) return *logical;
        const bool turned = transform == WL_OUTPUT_TRANSFORM_90 || transform == WL_OUTPUT_TRANSFORM_270 ||
                            transform == WL_OUTPUT_TRANSFORM_FLIPPED_90 || transform == WL_OUTPUT_TRANSFORM_FLIPPED_270;
        const double width = double(turned ? modeHeight : modeWidth) / std::max(1, scale);
        const double height = double(turned ? modeWidth : modeHeight) / std::max(1, scale);
        return {double(x), double(y), width, height};
    }
};

namespace {

constexpr uint32_t kSeatVersion = 5, kOutputVersion = 4, kOutputManagerVersion = 3;
constexpr uint32_t kFakeInputVersion = 4, kScreencastVersion = 3;
constexpr auto kReadSlice = std::chrono::milliseconds(100);

KWinConnection& connectionOf(void* data) { return *static_cast<KWinConnection*>(data); }

// --- registry, seat and keyboard ---

void onGlobal(void* data, wl_registry*, uint32_t name, const char* interface, uint32_t version) {
    connectionOf(data).globalAdded(name, interface, version);
}
void onGlobalRemove(void* data, wl_registry*, uint32_t name) { connectionOf(data).globalRemoved(name); }
const wl_registry_listener kRegistryListener{onGlobal, onGlobalRemove};

void onSeatCapabilities(void* data, wl_seat*, uint32_t capabilities) {
    connectionOf(data).seatCapabilities(capabilities);
}
void onSeatName(void*, wl_seat*, const char*) {}
const wl_seat_listener kSeatListener{onSeatCapabilities, onSeatName};

void onKeymap(void* data, wl_keyboard*, uint32_t format, int32_t fd, uint32_t size) {
    if (format != WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1) {
        close(fd);
        return;
    }
    connectionOf(data).keymapReceived(fd, size);
}
void onEnter(void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {}
void onLeave(void*, wl_keyboard*, uint32_t, wl_surface*) {}
void onKey(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t) {}
void onModifiers(void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t group) {
    connectionOf(data).layoutChanged(group);
}
void onRepeatInfo(void*, wl_keyboard*, int32_t, int32_t) {}
const wl_keyboard_listener kKeyboardListener{onKeymap, onEnter, onLeave, onKey, onModifiers, onRepeatInfo};

// --- outputs ---

using OutputState = KWinConnection::OutputState;
OutputState& outputOf(void* data) { return *static_cast<OutputState*>(data); }

void onGeometry(void* data, wl_output*, int32_t x, int32_t y, int32_t, int32_t, int32_t, const char*, const char*,
                int32_t transform) {
    outputOf(data).x = x;
    outputOf(data).y = y;
    outputOf(data).transform = transform;
}
void onMode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t) {
    if (!(flags & WL_OUTPUT_MODE_CURRENT)) return;
    outputOf(data).modeWidth = width;
    outputOf(data).modeHeight = height;
}
void onOutputDone(void* data, wl_output*) { outputOf(data).connection->outputChanged(); }
void onScale(void* data, wl_output*, int32_t factor) { outputOf(data).scale = factor; }
void onOutputName(void* data, wl_output*, const char* name) { outputOf(data).name = name ? name : ""; }
void onOutputDescription(void*, wl_output*, const char*) {}
const wl_output_listener kOutputListener{onGeometry, onMode,       onOutputDone,
                                         onScale,    onOutputName, onOutputDescription};

void onLogicalPosition(void* data, zxdg_output_v1*, int32_t x, int32_t y) {
    outputOf(data).logicalX = x;
    outputOf(data).logicalY = y;
}
void onLogicalSize(void* data, zxdg_output_v1*, int32_t width, int32_t height) {
    OutputState& output = outputOf(data);
    output.logical = Rect{double(output.logicalX), double(output.logicalY), double(width), double(height)};
    output.connection->outputChanged();
}
void onLogicalDone(void* data, zxdg_output_v1*) { outputOf(data).connection->outputChanged(); }
void onLogicalName(void* data, zxdg_output_v1*, const char* name) {
    if (outputOf(data).name.empty()) outputOf(data).name = name ? name : "";
}
void onLogicalDescription(void*, zxdg_output_v1*, const char*) {}
const zxdg_output_v1_listener kLogicalOutputListener{onLogicalPosition, onLogicalSize, onLogicalDone, onLogicalName,
                                                     onLogicalDescription};

void watchLogicalOutput(zxdg_output_manager_v1* manager, OutputState& output) {
    output.logicalOutput = zxdg_output_manager_v1_get_xdg_output(manager, output.output);
    zxdg_output_v1_add_listener(output.logicalOutput, &kLogicalOutputListener, &output);
}

// --- a round trip answered on the connection's thread ---

struct SyncState {
    std::mutex mutex;
    std::condition_variable done;
    bool answered = false;
};

void onSyncDone(void* data, wl_callback* callback, uint32_t) {
    auto* holder = static_cast<std::shared_ptr<SyncState>*>(data);
    {
        std::lock_guard lock((*holder)->mutex);
        (*holder)->answered = true;
    }
    (*holder)->done.notify_all();
    wl_callback_destroy(callback);
    delete holder;
}
const wl_callback_listener kSyncListener{onSyncDone};

}  // namespace

KWinConnection* KWinConnection::shared() {
    static KWinConnection* connection = [] () -> KWinConnection* {
        wl_display* display = wl_display_connect(nullptr);
        if (!display) return nullptr;
        // Never destroyed: its thread reads events for the process's life.
        auto* made = new KWinConnection(display);
        made->sync();
        made->sync();  // the outputs' and the seat's first events, sent in answer to the binds
        return made;
    }();
    return connection;
}

KWinConnection::KWinConnection(wl_display* display) : display_(display) {
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &kRegistryListener, this);
    flush();
    reader_ = std::thread([this] { dispatchLoop(); });
    reader_.detach();
}

void KWinConnection::flush() { wl_display_flush(display_); }

void KWinConnection::dispatchLoop() {
    const int fd = wl_display_get_fd(display_);
    for (;;) {
        {
            std::lock_guard lock(dispatching_);
            while (wl_display_prepare_read(display_) != 0) wl_display_dispatch_pending(display_);
        }
        wl_display_flush(display_);
        pollfd wanted{fd, POLLIN, 0};
        const int ready = poll(&wanted, 1, int(kReadSlice.count()));
        int failed = 0;
        if (ready > 0 && (wanted.revents & (POLLIN | POLLHUP | POLLERR)))
            failed = wl_display_read_events(display_);
        else
            wl_display_cancel_read(display_);
        {
            std::lock_guard lock(dispatching_);
            if (failed == 0) failed = wl_display_dispatch_pending(display_) < 0;
        }
        if (failed != 0 || wl_display_get_error(display_) != 0) {
            {
                std::lock_guard lock(mutex_);
                broken_ = true;
            }
            changed_.notify_all();
            return;
        }
    }
}

bool KWinConnection::alive() {
    std::lock_guard lock(mutex_);
    return !broken_;
}

bool KWinConnection::sync(double timeoutSeconds) {
    auto state = std::make_shared<SyncState>();
    makeProxy([&] { return wl_display_sync(display_); },
              [&](wl_callback* callback) {
                  wl_callback_add_listener(callback, &kSyncListener, new std::shared_ptr<SyncState>(state));
              });
    std::unique_lock lock(state->mutex);
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(timeoutSeconds));
    while (!state->answered) {
        const auto now = std::chrono::steady_clock::now();
        if (!alive() || now >= deadline) return false;
        state->done.wait_until(lock, std::min<std::chrono::steady_clock::time_point>(deadline, now + kReadSlice));
    }
    return true;
}

void KWinConnection::globalAdded(uint32_t name, const char* interface, uint32_t version) {
    std::lock_guard lock(mutex_);
    offered_.insert(interface);
    globals_.emplace_back(name, interface);
    bindLocked(name, interface, version);
}

void KWinConnection::bindLocked(uint32_t name, const std::string& interface, uint32_t version) {
    if (interface == wl_seat_interface.name && !seat_) {
        seat_ = static_cast<wl_seat*>(
            wl_registry_bind(registry_, name, &wl_seat_interface, std::min(version, kSeatVersion)));
        wl_seat_add_listener(seat_, &kSeatListener, this);
    } else if (interface == wl_output_interface.name) {
        auto output = std::make_unique<OutputState>();
        output->connection = this;
        output->globalName = name;
        output->output = static_cast<wl_output*>(
            wl_registry_bind(registry_, name, &wl_output_interface, std::min(version, kOutputVersion)));
        wl_output_add_listener(output->output, &kOutputListener, output.get());
        if (outputManager_) watchLogicalOutput(outputManager_, *output);
        outputs_.push_back(std::move(output));
    } else if (interface == zxdg_output_manager_v1_interface.name && !outputManager_) {
        outputManager_ = static_cast<zxdg_output_manager_v1*>(wl_registry_bind(
            registry_, name, &zxdg_output_manager_v1_interface, std::min(version, kOutputManagerVersion)));
        for (auto& output : outputs_) watchLogicalOutput(outputManager_, *output);
    } else if (interface == kFakeInputGlobal) {
        fakeInputName_ = name;
        fakeInputVersion_ = std::min(version, kFakeInputVersion);
    } else if (interface == kScreencastGlobal) {
        screencastName_ = name;
        screencastVersion_ = std::min(version, kScreencastVersion);
    }
}

void KWinConnection::globalRemoved(uint32_t name) {
    std::lock_guard lock(mutex_);
    const auto found = std::find_if(globals_.begin(), globals_.end(), [&](const auto& global) { return global.first == name; });
    if (found == globals_.end()) return;
    const std::string interface = found->second;
    globals_.erase(found);
    if (std::none_of(globals_.begin(), globals_.end(), [&](const auto& global) { return global.second == interface; }))
        offered_.erase(interface);
    // An output that went away: its objects are released, and streams of it end on their own.
    const auto output = std::find_if(outputs_.begin(), outputs_.end(), [&](const auto& state) { return state->globalName == name; });
    if (output != outputs_.end()) {
        if ((*output)->logicalOutput) zxdg_output_v1_destroy((*output)->logicalOutput);
        wl_output_destroy((*output)->output);
        outputs_.erase(output);
    }
    changed_.notify_all();
}

void KWinConnection::seatCapabilities(uint32_t capabilities) {
    std::lock_guard lock(mutex_);
    seatHasKeyboard_ = capabilities & WL_SEAT_CAPABILITY_KEYBOARD;
    if (seatHasKeyboard_ && !keyboard_) {
        keyboard_ = wl_seat_get_keyboard(seat_);
        wl_keyboard_add_listener(keyboard_, &kKeyboardListener, this);
    }
    changed_.notify_all();
}

void KWinConnection::keymapReceived(int fd, uint32_t size) {
    void* mapped = size > 0 ? mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0) : MAP_FAILED;
    close(fd);
    if (mapped == MAP_FAILED) return;
    std::string text(static_cast<const char*>(mapped), strnlen(static_cast<const char*>(mapped), size));
    munmap(mapped, size);
    {
        std::lock_guard lock(mutex_);
        const uint64_t generation = keymap_ ? keymap_->generation + 1 : 1;
        const uint32_t layout = keymap_ ? keymap_->layout : 0;
        keymap_ = KeymapText{std::move(text), generation, layout};
    }
    changed_.notify_all();
}

void KWinConnection::layoutChanged(uint32_t layout) {
    std::lock_guard lock(mutex_);
    if (keymap_) keymap_->layout = layout;
}

void KWinConnection::outputChanged() { changed_.notify_all(); }

bool KWinConnection::offers(const std::string& interface) {
    std::lock_guard lock(mutex_);
    return offered_.count(interface) > 0;
}

std::vector<KWinOutput> KWinConnection::outputs() {
    std::lock_guard lock(mutex_);
    std::vector<KWinOutput> found;
    for (const auto& output : outputs_) {
        const Rect rect = output->rect();
        if (rect.width > 0 && rect.height > 0) found.push_back({output->globalName, output->name, rect});
    }
    return found;
}

wl_output* KWinConnection::outputObject(uint32_t globalName) {
    std::lock_guard lock(mutex_);
    for (const auto& output : outputs_)
        if (output->globalName == globalName) return output->output;
    return nullptr;
}

std::optional<KeymapText> KWinConnection::keymap() {
    sync();
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(1), [this] { return keymap_.has_value() || broken_; });
    return keymap_;
}

org_kde_kwin_fake_input* KWinConnection::fakeInput() {
    {
        std::lock_guard lock(mutex_);
        if (fakeInput_ || fakeInputName_ == 0) return fakeInput_;
    }
    org_kde_kwin_fake_input* bound = makeProxy(
        [&] {
            std::lock_guard lock(mutex_);
            fakeInput_ = static_cast<org_kde_kwin_fake_input*>(wl_registry_bind(
                registry_, fakeInputName_, &org_kde_kwin_fake_input_interface, fakeInputVersion_));
            return fakeInput_;
        },
        [](org_kde_kwin_fake_input* input) {
            org_kde_kwin_fake_input_authenticate(input, "quorrel-capture",
                                                 "drives the application it records, as its job asks");
        });
    // The device exists once the compositor has handled the binding; the seat then has a pointer.
    sync();
    return bound;
}

zkde_screencast_unstable_v1* KWinConnection::screencast() {
    std::lock_guard dispatchLock(dispatching_);
    std::lock_guard lock(mutex_);
    if (!screencast_ && screencastName_ != 0) {
        screencast_ = static_cast<zkde_screencast_unstable_v1*>(wl_registry_bind(
            registry_, screencastName_, &zkde_screencast_unstable_v1_interface, screencastVersion_));
        flush();
    }
    return screencast_;
}

}  // namespace platform::linux_desktop
