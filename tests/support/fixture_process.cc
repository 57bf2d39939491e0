#include "support/fixture_process.h"

#include <signal.h>

namespace support {
namespace {

std::vector<std::string> fixtureCommand(const std::vector<std::string>& args) {
    std::vector<std::string> argv{fixturePath()};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

}  // namespace

std::string fixturePath() { return QC_FIXTURE_PATH; }

FixtureProcess::FixtureProcess(const std::vector<std::string>& args,
                               const std::map<std::string, std::string>& environment)
    : process_(fixtureCommand(args), {.set = environment}) {
    // The fixture writes its first geometry line right after "ready".
    ready_ = waitForEvent("ready", 30) && waitForEvent("geometry", 10);
}

std::optional<nlohmann::json> FixtureProcess::waitFor(const Accept& accept, double timeoutSeconds) {
    return process_.waitFor(accept, timeoutSeconds);
}

std::optional<nlohmann::json> FixtureProcess::waitForEvent(const std::string& event, double timeoutSeconds) {
    return waitFor([&](const nlohmann::json& line) { return line.value("event", "") == event; }, timeoutSeconds);
}

bool FixtureProcess::reported(const Accept& accept, double timeoutSeconds) {
    const double deadline = nowSeconds() + timeoutSeconds;
    for (size_t checked = 0;;) {
        for (const auto& lines = process_.lines(); checked < lines.size(); ++checked) {
            const auto line = nlohmann::json::parse(lines[checked], nullptr, false);
            if (line.is_object() && accept(line)) return true;
        }
        const double left = deadline - nowSeconds();
        if (left <= 0 || !process_.readMore(left)) return false;
    }
}

nlohmann::json FixtureProcess::geometry() {
    const double until = nowSeconds() + 1;  // a fixture that never falls quiet is read for a second
    while (nowSeconds() < until && process_.readMore(0.05)) {
    }
    const auto& lines = process_.lines();
    for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
        const auto value = nlohmann::json::parse(*line, nullptr, false);
        if (value.is_object() && value.value("event", "") == "geometry")
            return value.value("widgets", nlohmann::json::object());
    }
    return nlohmann::json::object();
}

nlohmann::json FixtureProcess::widget(const std::string& name) { return geometry().value(name, nlohmann::json()); }

void FixtureProcess::freeze() { process_.signal(SIGSTOP); }

void FixtureProcess::thaw() { process_.signal(SIGCONT); }

}  // namespace support
