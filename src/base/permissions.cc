#include "base/permissions.h"

#include <algorithm>
#include <vector>

#include "base/out.h"
#include "platform/permission_probe.h"
#include "platform/services.h"

namespace Permissions {
namespace {

platform::PermissionProbe& probe() { return *platform::services().permissions; }

}  // namespace

bool screenRecording() { return probe().screenRecording(); }

bool accessibility() { return probe().accessibility(); }

Out::Message status() {
    return {
        {"screenRecording", screenRecording()},
        {"accessibility", accessibility()},
        {"explain", {{"screenRecording", explainScreen}, {"accessibility", explainAX}}},
    };
}

void request(bool needAX, bool needScreen) {
    if (needScreen && !screenRecording()) probe().requestScreenRecording();
    if (needAX && !accessibility()) probe().requestAccessibility();
}

void require(bool needAX, bool prompt, bool needScreen) {
    std::vector<std::string> missing;
    if (needScreen && !screenRecording()) missing.push_back("screenRecording");
    if (needAX && !accessibility()) missing.push_back("accessibility");
    if (missing.empty()) return;
    if (prompt) request(needAX, needScreen);

    std::string message;
    for (const auto& name : missing) {
        if (!message.empty()) message += ' ';
        message += name == "screenRecording" ? explainScreen : explainAX;
    }
    Out::fail(message, "permission", {{"missing", missing}});
}

void command(const std::vector<std::string>& args) {
    if (std::find(args.begin(), args.end(), "--request") != args.end()) request(true, true);
    Out::Message result = status();
    result["type"] = "result";
    Out::emit(result);
}

}  // namespace Permissions
