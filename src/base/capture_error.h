#pragma once
// The program's one error value: a message for people and a code for the host.

#include <stdexcept>
#include <string>

/// Thrown by the program's own operations and turned into the final error line by the command handler.
/// `code` is one of "bad_request", "not_found", "permission" and "external".
class CaptureError : public std::runtime_error {
public:
    explicit CaptureError(const std::string& description, std::string code = "external")
        : std::runtime_error(description), code_(std::move(code)) {}

    std::string description() const { return what(); }
    const std::string& code() const { return code_; }

private:
    std::string code_;
};
