// Counts the frames a screen change gives a window: for SECONDS, the ticks of 1/FPS second in which the window
// (or anything drawn into it) was damaged, as XDamage reports it. For the recording-cost benchmark.
//
//   qc_bench_damage_ticks WINDOW_ID FPS SECONDS [TIMES_FILE]
//
// Prints one JSON line: {"ticks": ticks with damage, "events": damage events, "seconds": ...}. With
// TIMES_FILE, also writes the time of each damage event there, one per line, in seconds of
// CLOCK_MONOTONIC (the recorder's host clock), so that they can be matched with a movie's frames.

#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <set>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr, "usage: qc_bench_damage_ticks WINDOW_ID FPS SECONDS [TIMES_FILE]\n");
        return 64;
    }
    const Window window = std::strtoul(argv[1], nullptr, 0);
    const double fps = std::atof(argv[2]), seconds = std::atof(argv[3]);
    Display* display = XOpenDisplay(nullptr);
    int eventBase = 0, errorBase = 0;
    if (!display || !XDamageQueryExtension(display, &eventBase, &errorBase)) {
        std::fprintf(stderr, "qc_bench_damage_ticks: no X display with the Damage extension\n");
        return 1;
    }
    XDamageCreate(display, window, XDamageReportRawRectangles);
    XSync(display, False);
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto end = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    std::set<long> ticks;
    std::vector<double> times;
    long events = 0;
    pollfd connection{ConnectionNumber(display), POLLIN, 0};
    while (Clock::now() < end) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type != eventBase + XDamageNotify) continue;
            ++events;
            const double at = std::chrono::duration<double>(Clock::now() - start).count();
            ticks.insert(static_cast<long>(at * fps));
            times.push_back(std::chrono::duration<double>(Clock::now().time_since_epoch()).count());
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left > 0) poll(&connection, 1, static_cast<int>(std::min<long long>(left, 50)));
    }
    if (argc == 5) {
        FILE* file = std::fopen(argv[4], "w");
        if (!file) {
            std::fprintf(stderr, "qc_bench_damage_ticks: cannot write %s\n", argv[4]);
            return 1;
        }
        for (const double time : times) std::fprintf(file, "%.6f\n", time);
        std::fclose(file);
    }
    std::printf("{\"ticks\":%zu,\"events\":%ld,\"seconds\":%.3f}\n", ticks.size(), events, seconds);
    XCloseDisplay(display);
    return 0;
}
