#pragma once
// A recorded application for the step tests: a window of buttons, a text field and a list, a second window,
// and a menu bar of closed menus, over the in-memory accessibility tree, the recording input fake and the
// fake clock.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/capture_error.h"
#include "fakes/fake_accessibility.h"
#include "fakes/fake_input.h"
#include "fakes/fake_platform.h"
#include "jobs/job.h"
#include "run/click_log.h"

namespace steptest {

using fakes::El;

inline constexpr int kPid = 42;

/// File > [Save As…, Save, Export… > [PNG, JPEG], Close]; Edit > [Undo, Copy]. "Save As…" comes before
/// "Save" so that an exact title has to win over an earlier partial one.
inline El menuBar() {
    auto item = [](const std::string& id, const std::string& title) {
        return El("AXMenuItem").id(id).title(title).actions({"AXPress"});
    };
    return El("AXMenuBar")
        .id("bar")
        .kids({El("AXMenuBarItem")
                   .id("file")
                   .title("File")
                   .actions({"AXPress"})
                   .kids({El("AXMenu").kids(
                       {item("saveAs", "Save As…"), item("saveItem", "Save"),
                        item("export", "Export…").kids({El("AXMenu").kids({item("png", "PNG"), item("jpeg", "JPEG")})}),
                        item("close", "Close")})}),
               El("AXMenuBarItem")
                   .id("edit")
                   .title("Edit")
                   .actions({"AXPress"})
                   .kids({El("AXMenu").kids({item("undo", "Undo"), item("copy", "Copy")})})});
}

class StepTest : public ::testing::Test {
protected:
    fakes::FakePlatform platform;
    fakes::FakeAccessibility ax;
    fakes::FakeAccessibility::Installed installed{ax};
    fakes::FakeInput input{&platform.clock};
    run::ClickLog log{{0, 0, 800, 600}, [] { return std::optional<double>(); }};
    double start = 0;

    void SetUp() override {
        platform::services().input = &input;
        ax.addApplication(
            kPid,
            El("AXApplication")
                .id("app")
                .ref("AXMenuBar", "bar")
                .kids({El("AXWindow")
                           .id("window")
                           .title("Doc")
                           .frame(0, 0, 800, 600)
                           .kids({El("AXButton").id("save").title("Save").frame(100, 100, 80, 20).actions({"AXPress"}),
                                  El("AXButton").id("open").title("Open").frame(200, 100, 80, 20),
                                  El("AXButton").id("ghost").title("Ghost").actions({"AXPress"}),
                                  El("AXTextField").id("name").description("Name").frame(10, 200, 200, 20),
                                  El("AXList").id("list").description("Rows").frame(0, 300, 400, 200)}),
                       El("AXWindow").id("second").title("Second").kids({El("AXButton").id("ok").title("OK")}),
                       menuBar()}));
        start = platform.clock.host;
    }
    void TearDown() override { platform::services().input = nullptr; }

    /// Seconds since the test began on the fake clock.
    double elapsed() const { return platform.clock.host - start; }

    /// The main-loop pauses taken so far.
    const std::vector<double>& pauses() const { return platform.runLoop.slices; }

    /// The "perform" calls made, as "<element> <action>".
    std::vector<std::string> presses() const {
        std::vector<std::string> found;
        for (const std::string& call : ax.calls)
            if (call.rfind("perform ", 0) == 0) found.push_back(call.substr(8));
        return found;
    }
};

inline jobs::Step step(std::string action) {
    jobs::Step made;
    made.action = std::move(action);
    return made;
}

/// Runs `body`, which must throw CaptureError, and returns "<code>: <message>".
template <typename Body>
std::string failure(Body body) {
    try {
        body();
    } catch (const CaptureError& error) {
        return error.code() + ": " + error.description();
    }
    return "no failure";
}

}  // namespace steptest
