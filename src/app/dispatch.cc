#include "app/dispatch.h"

#include <algorithm>

#include "app/interruption.h"
#include "base/bridge.h"
#include "base/out.h"
#include "base/permissions.h"
#include "tools/windows_command.h"
#include "run/run_job.h"
#include "tools/inspect_command.h"
#include "tools/ocr_command.h"

namespace app {
namespace {

const char* const kGeneralUsage = "usage: quorrel-capture permissions|windows|run|inspect|ocr|version";

void writeVersion() {
    Out::emit({{"type", "result"}, {"version", "2"}, {"features", {"region", "ocr", "inspect", "preflight"}}});
}

// The handlers that take a job path, with their usage line.
template <typename Handler>
void runWithJobPath(const std::vector<std::string>& args, const char* word, Handler handler) {
    if (args.size() < 3) Out::fail(std::string("usage: quorrel-capture ") + word + " <job.json>", "bad_request");
    handler(args[2]);
}

}  // namespace

std::optional<std::string> appFilter(const std::vector<std::string>& args) {
    const auto flag = std::find(args.begin(), args.end(), "--app");
    if (flag == args.end() || flag + 1 == args.end()) return std::nullopt;
    return *(flag + 1);
}

int dispatch(const std::vector<std::string>& args) {
    const std::string word = args.size() > 1 ? args[1] : "";
    if (word == "permissions") {
        Permissions::command(args);
    } else if (word == "windows") {
        const auto app = appFilter(args);
        Permissions::require(/*needAX=*/false, /*prompt=*/false, /*needScreen=*/true);
        bridge::blocking([&] { tools::listWindows(app); });
    } else if (word == "run") {
        // Only a run records; every other command keeps the signals' own actions and starts no thread for them.
        installInterruptHandling();
        runWithJobPath(args, "run", run::runJob);
    } else if (word == "inspect") {
        runWithJobPath(args, "inspect", tools::runInspect);
    } else if (word == "ocr") {
        runWithJobPath(args, "ocr", tools::runOCR);
    } else if (word == "version") {
        writeVersion();
    } else {
        Out::fail(kGeneralUsage, "bad_request");
    }
    return 0;
}

}  // namespace app
