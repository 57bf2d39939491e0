#include "base/out.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <thread>

namespace Out {

void emit(const Message& message) { writeWhole(STDOUT_FILENO, serialize(message) + "\n"); }

void progress(const std::string& text, const Message& extra) {
    Message line = extra.is_object() ? extra : Message::object();
    line["type"] = "progress";
    line["message"] = text;
    emit(line);
}

Message errorLine(const std::string& message, const std::string& code, const Message& extra) {
    Message line = extra.is_object() ? extra : Message::object();
    line["type"] = "error";
    line["message"] = message;
    line["code"] = code;
    return line;
}

int exitStatusFor(const std::string& code) { return code == "permission" ? 2 : 1; }

namespace {

std::atomic<bool> ending{false};
std::atomic<std::thread::id> endingThread{};

// Lets one thread alone end the process: a thread that comes second waits for ever, so that a result and
// an error line (or two error lines) never both go out.
void claimTheEnd() {
    if (!ending.exchange(true)) {
        endingThread = std::this_thread::get_id();
        return;
    }
    if (endingThread.load() == std::this_thread::get_id()) return;
    for (;;) ::pause();
}

}  // namespace

void fail(const std::string& message, const std::string& code, const Message& extra) {
    claimTheEnd();
    emit(errorLine(message, code, extra));
    // Nothing is cleaned up: the line is written and the process ends here.
    std::_Exit(exitStatusFor(code));
}

void exit(int status) {
    claimTheEnd();
    std::exit(status);
}

void fail(const std::exception& error) {
    if (const auto* captureError = dynamic_cast<const CaptureError*>(&error))
        fail(captureError->description(), captureError->code());
    fail(error.what(), "external");
}

}  // namespace Out
