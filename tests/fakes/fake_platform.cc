#include "fakes/fake_platform.h"

#include <thread>

namespace fakes {

void FakeRunLoop::runFor(double seconds) {
    if (seconds <= 0) return;
    slices.push_back(seconds);
    // Yield a little real time so that work on other threads can finish while the test "waits".
    std::this_thread::sleep_for(std::chrono::microseconds(200));
    if (clock_) clock_->advance(seconds);
}

FakePlatform::FakePlatform()
    : previous_(platform::install({.runLoop = &runLoop, .clock = &clock, .permissions = &permissions})) {}

FakePlatform::~FakePlatform() { platform::install(previous_); }

}  // namespace fakes
