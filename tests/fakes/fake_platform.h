#pragma once
// In-memory platform services for unit tests: a clock that advances only when told or slept on, a run
// loop that records its slices, and permissions that are whatever the test sets.

#include <atomic>
#include <vector>

#include "platform/clock.h"
#include "platform/permission_probe.h"
#include "platform/run_loop.h"
#include "platform/services.h"

namespace fakes {

class FakeClock final : public platform::Clock {
public:
    double host = 1000.0;
    double epoch = 1.7e9;
    std::vector<double> sleeps;

    double hostSeconds() override { return host; }
    double epochSeconds() override { return epoch; }
    void sleep(double seconds) override {
        sleeps.push_back(seconds);
        advance(seconds);
    }
    void advance(double seconds) {
        host += seconds;
        epoch += seconds;
    }
};

class FakeRunLoop final : public platform::RunLoop {
public:
    explicit FakeRunLoop(FakeClock* clock = nullptr) : clock_(clock) {}
    std::vector<double> slices;
    std::atomic<int> wakes{0};

    void runFor(double seconds) override;
    void wake() override { ++wakes; }

private:
    FakeClock* clock_;
};

class FakePermissions final : public platform::PermissionProbe {
public:
    bool screen = true;
    bool ax = true;
    int screenRequests = 0;
    int axRequests = 0;
    bool grantOnRequest = false;

    bool screenRecording() override { return screen; }
    bool accessibility() override { return ax; }
    void requestScreenRecording() override {
        ++screenRequests;
        if (grantOnRequest) screen = true;
    }
    void requestAccessibility() override {
        ++axRequests;
        if (grantOnRequest) ax = true;
    }
};

/// Installs the fakes for the lifetime of the object and restores the previous services afterwards.
class FakePlatform {
public:
    FakeClock clock;
    FakeRunLoop runLoop{&clock};
    FakePermissions permissions;

    FakePlatform();
    ~FakePlatform();
    FakePlatform(const FakePlatform&) = delete;
    FakePlatform& operator=(const FakePlatform&) = delete;

private:
    platform::Services previous_;
};

}  // namespace fakes
