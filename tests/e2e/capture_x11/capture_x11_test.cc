// The X11 capture backend against a real X server (run inside the private virtual desktop).

#include <gtest/gtest.h>
// Xlib after GoogleTest: Xlib's macros (None, Bool) clash with names in GoogleTest's headers.
#include <X11/Xlib.h>
#include <X11/Xatom.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>
#include <thread>

#include "base/capture_error.h"
#include "platform/linux/module_loader.h"
#include "platform/linux/x11/x11_capture.h"
#include "platform/linux/x11/x11_display.h"
#include "platform/linux/x11/x11_properties.h"
#include "test_window_process.h"
#include "window_decorations.h"

namespace {

using capture_test::Decorations;
using capture_test::decorationsOf;
using capture_test::TestWindowProcess;
using platform::CapturedFrame;
using platform::ContentFilter;
using platform::StreamConfiguration;

constexpr uint32_t kRed = 0xffcc2020, kGreen = 0xff20cc20, kBlue = 0xff2020cc, kYellow = 0xffdddd10;

std::string hex(uint32_t argb) {
    char text[8];
    std::snprintf(text, sizeof text, "%06x", argb & 0xffffff);
    return text;
}

// Polls `condition` every 20 ms for up to `seconds`; the tests' waits end as soon as the state is there.
bool waitFor(const std::function<bool()>& condition, double seconds = 10) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return condition();
}



// Counts a stream's frames and keeps a copy of the last one's pixels (holding no stream buffer).
struct FrameCollector {
    std::mutex mutex;
    int frames = 0;
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    std::vector<double> times;
    bool nonComplete = false;

    platform::FrameSink sink() {
        return [this](const CapturedFrame& frame) {
            std::lock_guard lock(mutex);
            if (frame.status != platform::FrameStatus::complete || !frame.image) {
                nonComplete = true;
                return;
            }
            ++frames;
            times.push_back(frame.presentationSeconds);
            const auto& image = *frame.image;
            width = image.width;
            height = image.height;
            pixels.resize(size_t(width) * height);
            for (int row = 0; row < height; ++row) {
                std::memcpy(&pixels[size_t(row) * width], image.bytes + size_t(row) * image.bytesPerRow,
                            size_t(width) * 4);
            }
        };
    }
    int count() {
        std::lock_guard lock(mutex);
        return frames;
    }
    uint32_t pixel(int x, int y) {
        std::lock_guard lock(mutex);
        return pixels.at(size_t(y) * width + x);
    }
};

// The X11 module's companion, which makes its streams, opened as the executable's services open it.
const platform::linux_desktop::ModuleTable* streamsModule() {
    static platform::linux_desktop::LazyModule module({"quorrel-capture-x11_io.so", "X11 input"}, {});
    return &module.table();
}
const platform::linux_desktop::ModuleContext kContext{.desktopCompanion = streamsModule};

StreamConfiguration configuration(int width, int height, int fps = 30) {
    StreamConfiguration result;
    result.width = width;
    result.height = height;
    result.minimumFrameIntervalTimescale = fps;
    return result;
}

class CaptureX11 : public ::testing::Test {
protected:
    void SetUp() override {
        dataHome_ = std::filesystem::temp_directory_path() / ("qc-capture-x11-" + std::to_string(getpid()));
        std::filesystem::create_directories(dataHome_ / "applications");
        setenv("XDG_DATA_HOME", dataHome_.c_str(), 1);
        setenv("XDG_DATA_DIRS", (dataHome_ / "none").c_str(), 1);  // no system entries interfere
    }
    void TearDown() override { std::filesystem::remove_all(dataHome_); }

    void writeEntry(const std::string& id, const std::string& body) {
        std::ofstream(dataHome_ / "applications" / (id + ".desktop")) << "[Desktop Entry]\nType=Application\n" << body;
    }

    std::optional<platform::ShareableWindow> find(const platform::ShareableContent& content, unsigned long id) {
        for (const auto& window : content.windows) {
            if (window.windowID == id) return window;
        }
        return std::nullopt;
    }

    // The window as listed, once the window manager has taken it in: its first paint ("ready") may come
    // before the manager puts it on its client list, and the list leaves out what the manager does not list.
    platform::ShareableWindow windowOf(const TestWindowProcess& process) {
        std::optional<platform::ShareableWindow> window;
        waitFor([&] { return (window = find(capture_.shareableContent(), process.window)).has_value(); });
        if (!window) throw std::runtime_error("the test window is not capturable");
        return *window;
    }

    platform::linux_desktop::X11ScreenCapture capture_{kContext};
    std::filesystem::path dataHome_;
};

TEST_F(CaptureX11, ListsWindowsWithTitleProcessIdentityFrameAndLayer) {
    writeEntry("org.quorrel.CaptureProbe", "Name=Capture Probe\nExec=/nonexistent/probe\nStartupWMClass=qc-probe\n");
    writeEntry("org.quorrel.ByProgram", std::string("Name=Probe By Program\nExec=\"") + QC_TEST_WINDOW_PATH +
                                            "\" --title x\n");
    TestWindowProcess byClass({"--title", "Probe \xe2\x9c\x93 window", "--class", "qc-probe", "--size", "320x200",
                               "--at", "200,150"});
    TestWindowProcess byProgram({"--title", "Second", "--class", "other-class", "--at", "600,300"});
    TestWindowProcess dock({"--title", "A dock", "--type", "dock", "--size", "300x40", "--at", "0,800"});
    TestWindowProcess popup({"--title", "A popup", "--override", "--size", "100x80", "--at", "900,100"});
    byClass.settle();
    byProgram.settle();

    const auto content = capture_.shareableContent();
    const auto first = find(content, byClass.window);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->title, "Probe \xe2\x9c\x93 window");
    EXPECT_EQ(first->windowLayer, 0);
    // The frame is the window as the user sees it: the client with the window manager's decorations.
    const Decorations frame = decorationsOf(byClass.window);
    EXPECT_GT(frame.top, 0) << "openbox draws a title bar";
    EXPECT_EQ(first->frame.x, frame.clientX - frame.left);
    EXPECT_EQ(first->frame.y, frame.clientY - frame.top);
    EXPECT_EQ(first->frame.width, 320 + frame.left + frame.right);
    EXPECT_EQ(first->frame.height, 200 + frame.top + frame.bottom);
    ASSERT_TRUE(first->owningApplication);
    EXPECT_EQ(first->owningApplication->processID, byClass.pid());
    EXPECT_EQ(first->owningApplication->bundleIdentifier, "org.quorrel.CaptureProbe");
    EXPECT_EQ(first->owningApplication->applicationName, "Capture Probe");

    const auto second = find(content, byProgram.window);
    ASSERT_TRUE(second && second->owningApplication);
    EXPECT_EQ(second->owningApplication->bundleIdentifier, "org.quorrel.ByProgram");  // by the executable
    EXPECT_EQ(second->owningApplication->applicationName, "Probe By Program");

    const auto dockWindow = find(content, dock.window);
    ASSERT_TRUE(dockWindow);
    EXPECT_NE(dockWindow->windowLayer, 0);
    const auto popupWindow = find(content, popup.window);
    ASSERT_TRUE(popupWindow);
    EXPECT_NE(popupWindow->windowLayer, 0);
    EXPECT_EQ(popupWindow->owningApplication->processID, popup.pid());

    // Front first: the window mapped last is listed before the ones under it.
    auto indexOf = [&](unsigned long id) {
        for (size_t i = 0; i < content.windows.size(); ++i) {
            if (content.windows[i].windowID == id) return i;
        }
        return content.windows.size();
    };
    EXPECT_LT(indexOf(byProgram.window), indexOf(byClass.window));

    // Every process appears once among the applications.
    int probes = 0;
    for (const auto& application : content.applications) probes += application.processID == byClass.pid();
    EXPECT_EQ(probes, 1);

    EXPECT_FALSE(content.displays.empty());
    EXPECT_TRUE(content.displays.front().primary);
    EXPECT_EQ(content.displays.front().frame.width, 1440);
}

TEST_F(CaptureX11, WithoutADesktopEntryTheNameIsTheWindowClass) {
    TestWindowProcess window({"--title", "Nameless", "--class", "no-entry-anywhere"});
    const auto listed = windowOf(window);
    ASSERT_TRUE(listed.owningApplication);
    EXPECT_EQ(listed.owningApplication->bundleIdentifier, "");
    EXPECT_EQ(listed.owningApplication->applicationName, "QcTestWindow");
}

TEST_F(CaptureX11, WithoutPidOrTitlePropertiesTheProcessComesFromTheServerAndTheTitleIsAbsent) {
    TestWindowProcess window({"--no-pid", "--no-title"});
    const auto listed = windowOf(window);
    ASSERT_TRUE(listed.owningApplication);
    EXPECT_EQ(listed.owningApplication->processID, window.pid());  // the X-Resource extension
    EXPECT_FALSE(listed.title.has_value());
}

TEST_F(CaptureX11, WindowCaptureShowsTheWindowsOwnPixelsNotTheOneCoveringIt) {
    TestWindowProcess below({"--title", "Below", "--color", hex(kRed), "--size", "300x200", "--at", "100,100"});
    TestWindowProcess above({"--title", "Above", "--color", hex(kBlue), "--size", "300x200", "--at", "150,130"});
    below.settle();
    above.settle();
    FrameCollector frames;
    std::atomic<int> showingAbove{0};  // frames in which the covering window's colour shows
    auto sink = frames.sink();
    // The recording is the frame: the client's pixels lie inside it, past the decorations.
    const Decorations frame = decorationsOf(below.window);
    const int left = int(frame.left), top = int(frame.top);
    auto stream = capture_.makeStream(capture_.windowFilter(windowOf(below)),
                                      configuration(300 + left + int(frame.right), 200 + top + int(frame.bottom)),
                                      [&](const CapturedFrame& frame) {
                                          sink(frame);
                                          showingAbove += frames.pixel(left + 150, top + 100) == kBlue;
                                      });
    stream->start();
    // The covered part is repainted by the window once it is redirected; until then it may be blank, but it
    // never shows the window above.
    ASSERT_TRUE(waitFor([&] { return frames.count() >= 1 && frames.pixel(left + 150, top + 100) == kRed; }));
    stream->stop();
    EXPECT_EQ(showingAbove, 0);
    for (auto [x, y] : {std::pair{0, 0}, {299, 199}, {150, 100}, {60, 40}, {10, 190}}) {
        EXPECT_EQ(frames.pixel(left + x, top + y), kRed) << "at " << x << "," << y;
    }
    // The title bar above the client is recorded too.
    EXPECT_NE(frames.pixel(left + 150, top / 2), kRed);
    EXPECT_FALSE(frames.nonComplete);
}

// Another client draws two small rectangles into a still window, one after the other. Each frame says
// where it changed (around the rectangle, in the recording's pixels, past the decorations), and the
// stream, which redraws only those parts into the buffer that held the frame before, still shows all of
// the window: the first rectangle stays when the second comes.
TEST_F(CaptureX11, FramesSayWhereTheWindowChangedAndStillShowAllOfIt) {
    TestWindowProcess window({"--title", "Parts", "--color", hex(kRed), "--size", "300x200", "--at", "80,80"});
    window.settle();
    const Decorations frame = decorationsOf(window.window);
    const int left = int(frame.left), top = int(frame.top);
    struct Seen {
        uint64_t sequence;
        std::optional<std::vector<platform::PixelRect>> changed;
    };
    std::mutex mutex;
    std::vector<Seen> seen;
    FrameCollector frames;
    auto sink = frames.sink();
    auto stream = capture_.makeStream(capture_.windowFilter(windowOf(window)),
                                      configuration(300 + left + int(frame.right), 200 + top + int(frame.bottom), 60),
                                      [&](const CapturedFrame& captured) {
                                          sink(captured);
                                          std::lock_guard lock(mutex);
                                          seen.push_back({captured.image->sequence, captured.image->changedAreas});
                                      });
    stream->start();
    ASSERT_TRUE(waitFor([&] { return frames.count() >= 1 && frames.pixel(left + 150, top + 100) == kRed; }));
    ASSERT_TRUE(waitFor([&] { return frames.pixel(left + 299, top + 199) == kRed; }));

    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    GC gc = XCreateGC(display, window.window, 0, nullptr);
    const auto drawRectangle = [&](uint32_t colour, int x, int y) {
        const size_t before = frames.count();
        XSetForeground(display, gc, colour & 0xffffff);
        XFillRectangle(display, window.window, gc, x, y, 20, 10);
        XSync(display, False);
        return waitFor([&] { return size_t(frames.count()) > before && frames.pixel(left + x + 5, top + y + 5) == colour; });
    };
    ASSERT_TRUE(drawRectangle(kBlue, 40, 30));
    ASSERT_TRUE(drawRectangle(kGreen, 200, 150));
    XFreeGC(display, gc);
    XCloseDisplay(display);
    stream->stop();

    // The whole window as it now is: red, with both rectangles.
    for (auto [x, y] : {std::pair{40, 30}, {59, 39}}) EXPECT_EQ(frames.pixel(left + x, top + y), kBlue) << x << "," << y;
    for (auto [x, y] : {std::pair{200, 150}, {219, 159}}) EXPECT_EQ(frames.pixel(left + x, top + y), kGreen) << x << "," << y;
    for (auto [x, y] : {std::pair{0, 0}, {39, 30}, {60, 30}, {45, 40}, {150, 100}, {199, 150}, {299, 199}}) {
        EXPECT_EQ(frames.pixel(left + x, top + y), kRed) << "at " << x << "," << y;
    }
    // The last frame says it changed around the second rectangle only.
    std::lock_guard lock(mutex);
    ASSERT_GE(seen.size(), 3u);
    for (size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i].sequence, i + 1);
    ASSERT_TRUE(seen.back().changed.has_value());
    int covered = 0;
    for (const auto& area : *seen.back().changed) {
        EXPECT_LE(area.width * area.height, 300 * 200 / 4) << "a changed area larger than the change";
        if (area.x <= left + 200 && left + 219 < area.x + area.width && area.y <= top + 150 &&
            top + 159 < area.y + area.height) {
            ++covered;
        }
    }
    EXPECT_EQ(covered, 1);
}

// A region whose size is not the frames' (the even-size rule adds a pixel; a display of two pixels a point)
// comes at its own size, for the movie writer to scale (MovieRecording.AFrameOfAnotherSizeIsScaledToTheMovie).
TEST_F(CaptureX11, RegionCaptureReadsPartOfTheWindowAtItsOwnSizeWhenTheFramesDiffer) {
    TestWindowProcess window({"--title", "Halves", "--color", hex(kRed), "--right-color", hex(kGreen), "--size",
                              "400x300"});
    window.settle();
    const auto filter = capture_.windowFilter(windowOf(window));
    for (int scale : {1, 2}) {
        FrameCollector frames;
        auto settings = configuration(100 * scale, 100 * scale);
        settings.sourceRect = platform::Rect{150, 50, 100, 100};  // straddles the middle at x = 200
        auto stream = capture_.makeStream(filter, settings, frames.sink());
        stream->start();
        ASSERT_TRUE(waitFor([&] { return frames.count() >= 1 && frames.pixel(0, 0) != 0xff000000u; }));
        stream->stop();
        EXPECT_EQ(frames.width, 100);
        EXPECT_EQ(frames.pixel(10, 50), kRed);
        EXPECT_EQ(frames.pixel(40, 90), kRed);
        EXPECT_EQ(frames.pixel(60, 10), kGreen);
        EXPECT_EQ(frames.pixel(99, 99), kGreen);
    }
}

TEST_F(CaptureX11, AStillWindowGivesOneFrameWhileARepaintingOneKeepsGivingFrames) {
    TestWindowProcess still({"--title", "Still", "--size", "200x150", "--at", "50,50"});
    TestWindowProcess moving({"--title", "Moving", "--animate", "--fps", "60", "--size", "200x150", "--at",
                              "400,50"});
    still.settle();
    FrameCollector stillFrames, movingFrames;
    auto stillStream = capture_.makeStream(capture_.windowFilter(windowOf(still)), configuration(200, 150, 30),
                                           stillFrames.sink());
    auto movingStream = capture_.makeStream(capture_.windowFilter(windowOf(moving)), configuration(200, 150, 30),
                                            movingFrames.sink());
    stillStream->start();
    movingStream->start();
    // Generous bound: at 30 fps, 20 frames take two thirds of a second; a busy machine may take longer.
    ASSERT_TRUE(waitFor([&] { return movingFrames.count() >= 20; }, 30));
    stillStream->stop();
    movingStream->stop();
    EXPECT_GE(stillFrames.count(), 1);
    EXPECT_LE(stillFrames.count(), 3);  // the first frame, and a late repaint after the window manager's mapping
    std::lock_guard lock(movingFrames.mutex);
    for (size_t i = 1; i < movingFrames.times.size(); ++i) EXPECT_GT(movingFrames.times[i], movingFrames.times[i - 1]);
}

TEST_F(CaptureX11, DisplayCaptureLeavesOutTheWindowsOfExcludedProcessesAndDrawsThePointer) {
    TestWindowProcess under({"--title", "Under", "--color", hex(kYellow), "--size", "500x400", "--at", "300,200"});
    TestWindowProcess over({"--title", "Over", "--color", hex(kGreen), "--size", "200x150", "--at", "400,300"});
    under.settle();
    over.settle();
    const auto content = capture_.shareableContent();
    const auto display = content.displays.front();
    const int centreX = over.x + 100, centreY = over.y + 75;
    // The pointer rests on the yellow window, away from the green one.
    Display* x = XOpenDisplay(nullptr);
    ASSERT_NE(x, nullptr);
    const int pointerX = under.x + 20, pointerY = under.y + 20;
    XWarpPointer(x, None, DefaultRootWindow(x), 0, 0, 0, 0, pointerX, pointerY);
    XSync(x, False);
    XCloseDisplay(x);

    auto record = [&](const std::vector<platform::RunningApplication>& excluding, bool cursor) {
        auto frames = std::make_unique<FrameCollector>();
        auto settings = configuration(int(display.frame.width), int(display.frame.height), 10);
        settings.showsCursor = cursor;
        auto stream = capture_.makeStream(capture_.displayFilter(display, excluding), settings, frames->sink());
        stream->start();
        EXPECT_TRUE(waitFor([&] { return frames->count() >= 1 && frames->pixel(under.x + 1, under.y + 1) == kYellow; }));
        stream->stop();
        return frames;
    };
    platform::RunningApplication overApp{over.pid(), "", ""};
    auto without = record({overApp}, false);
    EXPECT_EQ(without->pixel(centreX, centreY), kYellow);
    auto with = record({}, true);
    EXPECT_EQ(with->pixel(centreX, centreY), kGreen);

    auto pointerPixels = [&](FrameCollector& frames) {
        int notYellow = 0;
        for (int dy = -16; dy < 16; ++dy) {
            for (int dx = -16; dx < 16; ++dx) notYellow += frames.pixel(pointerX + dx, pointerY + dy) != kYellow;
        }
        return notYellow;
    };
    EXPECT_EQ(pointerPixels(*without), 0);
    EXPECT_GT(pointerPixels(*with), 0);
}

TEST_F(CaptureX11, DisplayCaptureFollowsAWindowThatChangesUnderALeftOutOne) {
    TestWindowProcess moving({"--title", "Moving under", "--animate", "--fps", "30", "--size", "200x150", "--at",
                              "500,400"});
    TestWindowProcess cover({"--title", "Cover", "--color", hex(kGreen), "--size", "500x400", "--at", "350,280"});
    moving.settle();
    cover.settle();
    const auto display = capture_.shareableContent().displays.front();
    FrameCollector frames;
    platform::RunningApplication coverApp{cover.pid(), "", ""};
    auto settings = configuration(int(display.frame.width), int(display.frame.height), 30);
    auto stream = capture_.makeStream(capture_.displayFilter(display, {coverApp}), settings, frames.sink());
    stream->start();
    // The screen shows only the still cover, yet the picture without it keeps changing.
    EXPECT_TRUE(waitFor([&] { return frames.count() >= 10; }, 30));
    stream->stop();
    EXPECT_NE(frames.pixel(moving.x + 100, moving.y + 75), kGreen);
}

TEST_F(CaptureX11, AResizedWindowKeepsStreamingCutOrPaddedToTheConfiguredSize) {
    TestWindowProcess window({"--title", "Resized", "--color", hex(kRed), "--size", "200x150"});
    window.settle();
    FrameCollector frames;
    auto stream = capture_.makeStream(capture_.windowFilter(windowOf(window)), configuration(200, 150, 30),
                                      frames.sink());
    stream->start();
    ASSERT_TRUE(waitFor([&] { return frames.count() >= 1; }));
    auto resize = [&](unsigned width, unsigned height) {
        Display* x = XOpenDisplay(nullptr);
        XResizeWindow(x, Window(window.window), width, height);
        XSync(x, False);
        XCloseDisplay(x);
        while (window.width != int(width) || window.height != int(height)) {
            if (!window.readGeometry("moved", 10)) throw std::runtime_error("the window was not resized");
        }
    };
    resize(320, 240);  // grown: the frame shows its top left part
    int before = frames.count();
    ASSERT_TRUE(waitFor([&] { return frames.count() > before && frames.pixel(199, 149) == kRed; }));
    resize(100, 80);  // shrunk: the rest of the frame is background
    before = frames.count();
    ASSERT_TRUE(waitFor([&] { return frames.count() > before && frames.pixel(150, 100) != kRed; }));
    stream->stop();
    EXPECT_EQ(frames.width, 200);
    EXPECT_EQ(frames.pixel(50, 40), kRed);
    EXPECT_EQ(frames.pixel(150, 100), 0xff000000u);
}

TEST_F(CaptureX11, AClosedWindowEndsItsStream) {
    auto window = std::make_unique<TestWindowProcess>(
        std::vector<std::string>{"--title", "Closing", "--animate", "--size", "160x120"});
    FrameCollector frames;
    const auto filter = capture_.windowFilter(windowOf(*window));
    auto stream = capture_.makeStream(filter, configuration(160, 120, 30), frames.sink());
    stream->start();
    ASSERT_TRUE(waitFor([&] { return frames.count() >= 3; }));
    window->end();
    // Frames stop arriving once the window is gone.
    int seen = -1;
    EXPECT_TRUE(waitFor([&] {
        const int now = frames.count();
        const bool steady = now == seen;
        seen = now;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return steady;
    }));
    stream->stop();
    stream->stop();  // twice is harmless

    // A stream of a window that no longer exists fails to start with a clear error.
    auto late = capture_.makeStream(filter, configuration(160, 120), frames.sink());
    try {
        late->start();
        FAIL() << "started a stream of a closed window";
    } catch (const CaptureError& error) {
        EXPECT_EQ(error.description(), "the window to record is gone");
    }
}

// `windows` reads every window's properties together; what it reads must be what the one-by-one readers read:
// a 32-bit list of its own length, UTF-8 and Latin-1 titles, the window class split in two, and nothing for a
// property that is unset or a window that is gone.
TEST(WindowProperties, ReadTogetherAsTheOneByOneReadersReadThem) {
    using namespace platform::linux_desktop;
    const DisplayPtr display = openDisplay();
    ASSERT_TRUE(display);
    Display* x = display.get();
    const Window window = XCreateSimpleWindow(x, DefaultRootWindow(x), 0, 0, 10, 10, 0, 0, 0);
    const Window gone = XCreateSimpleWindow(x, DefaultRootWindow(x), 0, 0, 10, 10, 0, 0, 0);
    XDestroyWindow(x, gone);
    const Atom list = atom(x, "_QC_TEST_LIST"), utf8Title = atom(x, "_NET_WM_NAME");
    const long items[] = {61, 61, 55, 67, 1L << 31};
    XChangeProperty(x, window, list, XA_CARDINAL, 32, PropModeReplace, reinterpret_cast<const unsigned char*>(items),
                    5);
    const std::string title = "Probe \xe2\x9c\x93", latin1 = "caf\xe9";
    XChangeProperty(x, window, utf8Title, atom(x, "UTF8_STRING"), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.data()), int(title.size()));
    XChangeProperty(x, window, XA_WM_NAME, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(latin1.data()), int(latin1.size()));
    const char windowClass[] = "probe-instance\0ProbeClass";
    XChangeProperty(x, window, XA_WM_CLASS, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(windowClass), sizeof windowClass);
    XSync(x, False);

    const WindowProperties together(x, {window, gone}, {list, utf8Title, XA_WM_NAME, XA_WM_CLASS});
    EXPECT_EQ(together.longs(window, list, XA_CARDINAL), longProperty(x, window, list, XA_CARDINAL));
    ASSERT_EQ(together.longs(window, list, XA_CARDINAL).size(), 5u);
    EXPECT_EQ(together.longs(window, list, XA_CARDINAL)[3], 67u);
    EXPECT_TRUE(together.longs(window, list, XA_ATOM).empty()) << "another type than the one asked for";
    EXPECT_EQ(together.utf8(window, utf8Title), title);
    EXPECT_EQ(together.text(window, XA_WM_NAME), textProperty(x, window, XA_WM_NAME));
    EXPECT_EQ(together.text(window, XA_WM_NAME), "caf\xc3\xa9");
    EXPECT_EQ(together.windowClass(window), (std::pair<std::string, std::string>{"probe-instance", "ProbeClass"}));
    EXPECT_FALSE(together.utf8(window, atom(x, "_GTK_APPLICATION_ID")));
    EXPECT_FALSE(together.text(gone, XA_WM_NAME));
    EXPECT_TRUE(together.longs(gone, list, XA_CARDINAL).empty());
    XDestroyWindow(x, window);
}

}  // namespace
