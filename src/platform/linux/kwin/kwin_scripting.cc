#include "platform/linux/kwin/kwin_scripting.h"

#include <gio/gio.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <random>

#include "base/capture_error.h"
#include "platform/linux/bus/dbus_session.h"

namespace platform::linux_desktop {
namespace {

constexpr const char* kKWinName = "org.kde.KWin";
constexpr const char* kReplyPath = "/io/github/QuorrelCapture/KWinReply";
constexpr const char* kReplyInterface = "io.github.QuorrelCapture.KWinReply";
constexpr const char* kReplyIntrospection =
    "<node><interface name='io.github.QuorrelCapture.KWinReply'><method name='deliver'>"
    "<arg type='s' name='token' direction='in'/><arg type='s' name='answer' direction='in'/>"
    "</method></interface></node>";

// The helpers every script body may use, under KWin 5.27's names and Plasma 6's (windowList, activeWindow).
constexpr const char* kPrelude = R"JS(
    var windows = function () {
        return workspace.windowList !== undefined ? workspace.windowList() : workspace.clientList();
    };
    var activeWindow = function () {
        return workspace.activeWindow !== undefined ? workspace.activeWindow : workspace.activeClient;
    };
    var setActiveWindow = function (w) {
        if (workspace.activeWindow !== undefined) workspace.activeWindow = w; else workspace.activeClient = w;
    };
    var windowWithId = function (id) {
        var list = windows();
        for (var i = 0; i < list.length; ++i) if (String(list[i].internalId) === id) return list[i];
        return null;
    };
    var rect = function (r) { return r ? {x: r.x, y: r.y, width: r.width, height: r.height} : null; };
)JS";

[[noreturn]] void fail(const std::string& what) { throw CaptureError("KWin: " + what, "external"); }

// The bus connection scripts answer on, with the reply object exported on it, served on a main context of its
// own (iterated only while a script's answer is awaited).
struct ReplyChannel {
    GDBusConnection* bus = nullptr;
    GMainContext* context = nullptr;
    std::string expectedToken;
    std::optional<std::string> answer;
};

void onDeliver(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* parameters,
               GDBusMethodInvocation* invocation, gpointer data) {
    auto* channel = static_cast<ReplyChannel*>(data);
    const gchar* token = nullptr;
    const gchar* answer = nullptr;
    g_variant_get(parameters, "(&s&s)", &token, &answer);
    // Only the script now running knows the token: a late answer of an earlier script, or anybody else's
    // call, is ignored.
    if (!channel->expectedToken.empty() && channel->expectedToken == token) channel->answer = answer;
    g_dbus_method_invocation_return_value(invocation, nullptr);
}

ReplyChannel& channel() {
    static ReplyChannel* made = [] {
        auto* channel = new ReplyChannel;
        BusConnection bus = connectSessionBus();
        if (!bus) return channel;
        channel->context = g_main_context_new();
        GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kReplyIntrospection, nullptr);
        static const GDBusInterfaceVTable vtable{onDeliver, nullptr, nullptr, {}};
        g_main_context_push_thread_default(channel->context);
        const guint registered = g_dbus_connection_register_object(bus.get(), kReplyPath, node->interfaces[0],
                                                                   &vtable, channel, nullptr, nullptr);
        g_main_context_pop_thread_default(channel->context);
        g_dbus_node_info_unref(node);
        if (registered != 0) channel->bus = bus.release();
        return channel;
    }();
    return *made;
}

GVariant* callKWin(GDBusConnection* bus, const std::string& path, const char* interface, const char* method,
                   GVariant* arguments, const GVariantType* replyType, std::string* error) {
    GError* failure = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(bus, kKWinName, path.c_str(), interface, method, arguments,
                                                  replyType, G_DBUS_CALL_FLAGS_NONE, kBusCallTimeoutMs, nullptr,
                                                  &failure);
    if (failure) {
        if (error) *error = failure->message;
        g_error_free(failure);
    }
    return reply;
}

std::string randomToken() {
    std::random_device random;
    std::string token;
    for (int i = 0; i < 4; ++i) token += std::to_string(random());
    return token;
}

// The script file, written where only this user can read it, and removed when done.
class ScriptFile {
public:
    explicit ScriptFile(const std::string& text) {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        std::string pattern = std::string(runtime && *runtime ? runtime : "/tmp") + "/quorrel-capture-kwin-XXXXXX.js";
        const int fd = mkstemps(pattern.data(), 3);
        if (fd < 0) fail("cannot write a script file in " + pattern.substr(0, pattern.rfind('/')));
        const bool written = write(fd, text.data(), text.size()) == ssize_t(text.size());
        close(fd);
        path_ = pattern;
        if (!written) fail("cannot write the script file " + path_);
    }
    ~ScriptFile() { unlink(path_.c_str()); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Waits for the answer carrying the channel's token, serving the channel's context; false after `seconds`.
bool awaitAnswer(ReplyChannel& replies, double seconds) {
    bool timedOut = false;
    GSource* timer = g_timeout_source_new(guint(seconds * 1000));
    g_source_set_callback(
        timer, [](gpointer flag) -> gboolean { *static_cast<bool*>(flag) = true; return G_SOURCE_REMOVE; },
        &timedOut, nullptr);
    g_source_attach(timer, replies.context);
    while (!replies.answer && !timedOut) g_main_context_iteration(replies.context, TRUE);
    g_source_destroy(timer);
    g_source_unref(timer);
    return replies.answer.has_value();
}

}  // namespace

nlohmann::json runKWinScript(const std::string& body) {
    static std::mutex oneAtATime;
    static std::atomic<int> counter{0};
    std::lock_guard lock(oneAtATime);
    ReplyChannel& replies = channel();
    if (!replies.bus) fail("cannot reach the session bus to run a script");
    g_main_context_push_thread_default(replies.context);
    struct PopContext {
        GMainContext* context;
        ~PopContext() { g_main_context_pop_thread_default(context); }
    } pop{replies.context};

    replies.expectedToken = randomToken();
    replies.answer.reset();
    const std::string script = std::string("(function () {") + kPrelude +
                               "    var answer;\n"
                               "    try { answer = {ok: (function () {\n" + body +
                               "\n    })()}; } catch (error) { answer = {error: String(error)}; }\n"
                               "    callDBus(" + nlohmann::json(g_dbus_connection_get_unique_name(replies.bus)).dump() +
                               ", " + nlohmann::json(kReplyPath).dump() + ", " + nlohmann::json(kReplyInterface).dump() +
                               ", \"deliver\", " + nlohmann::json(replies.expectedToken).dump() +
                               ", JSON.stringify(answer));\n})();\n";
    const ScriptFile file(script);
    const std::string plugin = "quorrel-capture-" + std::to_string(getpid()) + "-" + std::to_string(++counter);

    std::string error;
    GVariant* loaded = callKWin(replies.bus, "/Scripting", "org.kde.kwin.Scripting", "loadScript",
                                g_variant_new("(ss)", file.path().c_str(), plugin.c_str()), G_VARIANT_TYPE("(i)"), &error);
    if (!loaded) fail("cannot load a script (is KWin's scripting service on the session bus?): " + error);
    gint32 id = -1;
    g_variant_get(loaded, "(i)", &id);
    g_variant_unref(loaded);
    if (id < 0) fail("refused to load a script");
    struct Unload {
        GDBusConnection* bus;
        std::string plugin;
        ~Unload() {
            if (GVariant* reply = callKWin(bus, "/Scripting", "org.kde.kwin.Scripting", "unloadScript",
                                           g_variant_new("(s)", plugin.c_str()), nullptr, nullptr))
                g_variant_unref(reply);
        }
    } unload{replies.bus, plugin};

    // KWin 5.27 puts a loaded script at /<id>, Plasma 6 at /Scripting/Script<id>.
    GVariant* ran = nullptr;
    for (const std::string& path : {"/" + std::to_string(id), "/Scripting/Script" + std::to_string(id)}) {
        ran = callKWin(replies.bus, path, "org.kde.kwin.Script", "run", nullptr, nullptr, &error);
        if (ran) break;
    }
    if (!ran) fail("cannot start a script: " + error);
    g_variant_unref(ran);
    const bool answered = awaitAnswer(replies, kScriptAnswerSeconds);
    replies.expectedToken.clear();
    if (!answered) fail("a script gave no answer within 2 s");
    const nlohmann::json answer = nlohmann::json::parse(*replies.answer, nullptr, false);
    if (!answer.is_object()) fail("a script answered something unreadable");
    if (const auto error = answer.find("error"); error != answer.end())
        fail("a script failed: " + (error->is_string() ? error->get<std::string>() : error->dump()));
    return answer.value("ok", nlohmann::json());
}

}  // namespace platform::linux_desktop
