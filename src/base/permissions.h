#pragma once
// The two permissions the tool needs: Screen Recording and Accessibility.

#include <string>
#include <vector>

#include "base/json_line.h"

namespace Permissions {

inline const std::string explainScreen =
    "Quorrel needs Screen Recording permission to record your app\u2019s window.";
inline const std::string explainAX =
    "Quorrel needs Accessibility permission to click and type in the app while recording.";

/// Whether the screen can be recorded, asked afresh at every call.
bool screenRecording();

/// Whether other applications can be read and driven, asked afresh at every call.
bool accessibility();

/// The state of both permissions with the explanation table.
Out::Message status();

/// Asks the desktop for each needed permission that is missing.
void request(bool needAX, bool needScreen);

/// Returns when every needed permission is held; otherwise (after asking, when `prompt`) ends the process
/// with the "permission" error listing what is missing.
void require(bool needAX, bool prompt, bool needScreen = true);

/// The `permissions` command: requests both when "--request" is among `args`, then writes the status.
void command(const std::vector<std::string>& args);

}  // namespace Permissions
