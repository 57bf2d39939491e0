// The X server dying while the tool records: an error line with the code "external", exit status 1, and
// what was recorded kept as a movie that decodes. The test makes a private X server of its own to kill.

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "fault_run.h"
#include "support/private_x_server.h"

namespace {

using nlohmann::json;

// Sets an environment variable for the scope (the test window inherits this process's environment).
class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedVariable() {
        if (old_) ::setenv(name_, old_->c_str(), 1);
        else ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(XServerFault, TheXServerKilledMidRecordingGivesAnErrorLineAndKeepsWhatWasRecorded) {
    support::PrivateXServer server("1024x768x24");
    ASSERT_FALSE(server.display().empty()) << "no private X server";
    support::TempDir dir;
    const std::string out = dir.path() + "/movie.mov";
    std::optional<capture_test::TestWindowProcess> window;
    {
        ScopedVariable display("DISPLAY", server.display());
        window.emplace(std::vector<std::string>{"--animate", "--fps", "30", "--size", "320x240"});
    }
    faults::ToolRecording tool(faults::regionJob(*window, out, 30, 60), {{"DISPLAY", server.display()}});
    ASSERT_TRUE(tool.waitUntilRecording());
    std::this_thread::sleep_for(std::chrono::seconds(2));
    server.kill();

    EXPECT_EQ(tool.wait(30), 1);
    json last = tool.lastLine();
    EXPECT_EQ(last["type"], "error") << last;
    EXPECT_EQ(last["code"], "external") << last;
    EXPECT_EQ(last["message"], "lost the connection to the X display");
    const auto decoded = capture_test::decodeMovie(out);
    EXPECT_EQ(decoded.status, 0);
    EXPECT_EQ(decoded.errors, "");
    EXPECT_GE(decoded.endSeconds, 1.0) << "what was recorded before the server died is kept";
    EXPECT_TRUE(tool.leftProcesses().empty());
    window->end();
}

}  // namespace
