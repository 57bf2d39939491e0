// A click whose target is in the tree before it has a place on screen waits for its frame within the
// step's lookup time.

#include <functional>

#include "run/perform.h"
#include "step_fakes.h"

namespace {

using steptest::failure;
using steptest::kPid;
using steptest::step;

// The fake clock, with something that happens in the application at the n-th blocking sleep.
class ClockWithEvent final : public platform::Clock {
public:
    explicit ClockWithEvent(fakes::FakeClock& clock) : clock_(clock) {}
    int atSleep = -1;
    std::function<void()> event;

    double hostSeconds() override { return clock_.hostSeconds(); }
    double epochSeconds() override { return clock_.epochSeconds(); }
    void sleep(double seconds) override {
        clock_.sleep(seconds);
        if (int(clock_.sleeps.size()) == atSleep && event) event();
    }

private:
    fakes::FakeClock& clock_;
};

class FrameWait : public steptest::StepTest {
protected:
    ClockWithEvent clock{platform.clock};
    platform::Services previous;

    void SetUp() override {
        StepTest::SetUp();
        platform::Services services = platform::services();
        services.clock = &clock;
        previous = platform::install(services);
    }
    void TearDown() override {
        platform::install(previous);
        StepTest::TearDown();
    }
    jobs::Step clickGhost(double ms) {
        jobs::Step s = step("click");
        s.label = "Ghost";  // found at once, without AXPosition and AXSize
        s.ms = ms;
        return s;
    }
};

TEST_F(FrameWait, AClickWaitsForItsTargetsFrameAndThenPressesIt) {
    clock.atSleep = 3;
    clock.event = [&] {
        ax.setAttribute("ghost", "AXPosition", platform::Point{300, 100});
        ax.setAttribute("ghost", "AXSize", platform::Size{60, 20});
    };
    run::perform(clickGhost(2000), 0, kPid, ax.element("app"), ax.element("window"), log);
    EXPECT_EQ(presses(), (std::vector<std::string>{"ghost AXPress"}));
    ASSERT_EQ(log.clicks().size(), 1u);
    EXPECT_EQ(log.clicks()[0]["x"], 330.0 / 800);
    EXPECT_EQ(platform.clock.sleeps, (std::vector<double>{0.15, 0.15, 0.15}));
}

TEST_F(FrameWait, AFrameThatNeverComesFailsWhenTheLookupTimeIsUp) {
    EXPECT_EQ(failure([&] {
                  run::perform(clickGhost(1000), 4, kPid, ax.element("app"), ax.element("window"), log);
              }),
              "external: step 5: element has no frame");
    EXPECT_NEAR(elapsed(), 1.0, 1e-9);  // the search and the frame share the step's 1000 ms
    EXPECT_TRUE(presses().empty());
    EXPECT_TRUE(log.clicks().empty());
}

}  // namespace
