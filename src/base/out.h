#pragma once
// The output channel: JSON lines on standard output, plain diagnostics on standard error.

#include <string>

#include "base/json_line.h"
#include "base/capture_error.h"
#include "base/diagnostics.h"

namespace Out {

/// Writes `message` as one line on standard output, in a single unbuffered write.
void emit(const Message& message);

/// Writes a progress line: `extra` with "type" "progress" and "message" `text` (both win over `extra`).
void progress(const std::string& text, const Message& extra = Message::object());

/// Writes the error line and ends the process at once: status 2 for the code "permission", 1 otherwise.
[[noreturn]] void fail(const std::string& message, const std::string& code,
                       const Message& extra = Message::object());

/// The error line for `error`, as every command handler reports it: a CaptureError keeps its message and
/// code, any other error gives its own text and "external".
[[noreturn]] void fail(const std::exception& error);

/// Ends the process normally with `status`, unless another thread is already ending it (then waits for
/// that). `fail` and this are the only ways the program ends itself.
[[noreturn]] void exit(int status);

/// The exit status that goes with an error code.
int exitStatusFor(const std::string& code);

/// The error line `fail` writes, without writing it.
Message errorLine(const std::string& message, const std::string& code,
                  const Message& extra = Message::object());

}  // namespace Out
