#pragma once
// The process's one Wayland connection to KWin: the globals it offers this client (which is what KWin grants
// it), its outputs, the seat's keymap, and the two protocols the tool uses, bound on first use. Events are
// read by a thread of the connection; other threads send requests and wait for their answers.

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/geometry.h"

struct wl_display;
struct wl_registry;
struct wl_seat;
struct wl_keyboard;
struct wl_output;
struct zxdg_output_manager_v1;
struct org_kde_kwin_fake_input;
struct zkde_screencast_unstable_v1;

namespace platform::linux_desktop {

/// The names of the globals the tool needs, as KWin advertises them.
inline constexpr const char* kScreencastGlobal = "zkde_screencast_unstable_v1";
inline constexpr const char* kFakeInputGlobal = "org_kde_kwin_fake_input";

/// One output of the compositor, in its logical coordinates (the screen points of every other request).
struct KWinOutput {
    uint32_t globalName = 0;  // the registry's name for it: the display's id
    std::string name;         // the connector or virtual output's name ("Virtual-0"), when told
    Rect logical;
};

/// The seat's keymap as the compositor sends it (XKB text) and the layout in use.
struct KeymapText {
    std::string text;
    uint64_t generation = 0;  // grows with every keymap received
    uint32_t layout = 0;      // the layout (XKB group) the compositor's keyboard is in
};

class KWinConnection {
public:
    /// The process's connection, made on the first call; null when no compositor answers at WAYLAND_DISPLAY.
    /// Kept for the process's life: the seat has a pointer only while a fake input device exists.
    static KWinConnection* shared();

    /// True when the compositor offers this client the global `interface`.
    bool offers(const std::string& interface);

    /// False once the connection is broken (the compositor went away).
    bool alive();

    /// Waits until the compositor has handled every request sent before, and its answers have been
    /// dispatched; false when that takes longer than `timeoutSeconds` or the connection broke.
    bool sync(double timeoutSeconds = 2);

    /// The outputs, in the registry's order.
    std::vector<KWinOutput> outputs();
    /// The wl_output of the output `globalName`, or null.
    wl_output* outputObject(uint32_t globalName);

    /// The seat's keymap; nothing when none came within a bounded wait.
    std::optional<KeymapText> keymap();

    /// The fake input device, bound and authenticated on the first call; null when not offered.
    org_kde_kwin_fake_input* fakeInput();

    /// The screen cast manager, bound on the first call; null when not offered.
    zkde_screencast_unstable_v1* screencast();

    /// Makes a proxy with `create` and attaches its listener with `attach`, with no event dispatched in
    /// between (an event that came first would be lost), then sends the request.
    template <typename Create, typename Attach>
    auto makeProxy(Create create, Attach attach) {
        std::lock_guard lock(dispatching_);
        auto* proxy = create();
        if (proxy) attach(proxy);
        flush();
        return proxy;
    }

    /// Runs `work` (destroying a proxy whose listener might otherwise be called meanwhile) with no event
    /// dispatched, then sends the requests made.
    template <typename Work>
    void whileNotDispatching(Work work) {
        std::lock_guard lock(dispatching_);
        work();
        flush();
    }

    /// Sends the requests made so far.
    void flush();

    // Called on the connection's thread (listeners).
    void globalAdded(uint32_t name, const char* interface, uint32_t version);
    void globalRemoved(uint32_t name);
    void seatCapabilities(uint32_t capabilities);
    void keymapReceived(int fd, uint32_t size);
    void layoutChanged(uint32_t layout);
    struct OutputState;
    void outputChanged();

private:
    KWinConnection(wl_display* display);
    void bindLocked(uint32_t name, const std::string& interface, uint32_t version);
    void dispatchLoop();

    wl_display* display_;
    wl_registry* registry_ = nullptr;
    // Held while events are dispatched, and while a proxy gets its listener or is destroyed; taken before
    // mutex_ when both are.
    std::mutex dispatching_;

    std::mutex mutex_;  // guards what follows
    std::condition_variable changed_;
    std::set<std::string> offered_;
    std::vector<std::pair<uint32_t, std::string>> globals_;
    wl_seat* seat_ = nullptr;
    wl_keyboard* keyboard_ = nullptr;
    bool seatHasKeyboard_ = false;
    std::optional<KeymapText> keymap_;
    zxdg_output_manager_v1* outputManager_ = nullptr;
    std::vector<std::unique_ptr<OutputState>> outputs_;
    org_kde_kwin_fake_input* fakeInput_ = nullptr;
    zkde_screencast_unstable_v1* screencast_ = nullptr;
    uint32_t fakeInputName_ = 0, fakeInputVersion_ = 0, screencastName_ = 0, screencastVersion_ = 0;
    bool broken_ = false;
    std::thread reader_;
};

}  // namespace platform::linux_desktop
