// Records one window with the window recorder, for the recorder's desktop tests and the benchmark.
//
//   qc_record_window WINDOW-ID OUTPUT.mov FPS [SECONDS]
//
// Prints "recording" once the first frame is in, then, after SECONDS (or when standard input closes when
// SECONDS is not given), stops and prints "done FRAMES DURATION WIDTH HEIGHT". Errors go to standard error
// with status 1.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "base/capture_error.h"
#include "capture/window_recorder.h"
#include "platform/screen_capture.h"
#include "platform/services.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: qc_record_window WINDOW-ID OUTPUT.mov FPS [SECONDS]\n");
        return 64;
    }
    try {
        platform::installSystemServices();
        const uint64_t id = std::strtoull(argv[1], nullptr, 0);
        std::optional<platform::ShareableWindow> window;
        for (const auto& candidate : platform::services().capture->shareableContent().windows) {
            if (candidate.windowID == id) window = candidate;
        }
        if (!window) throw CaptureError("window " + std::string(argv[1]) + " is not capturable");

        capture::WindowRecorder recorder(*window, argv[2], std::atoll(argv[3]));
        recorder.start();
        if (!recorder.waitForFirstFrame(5)) throw CaptureError("no first frame within 5 seconds");
        std::printf("recording\n");
        std::fflush(stdout);
        if (argc > 4) {
            std::this_thread::sleep_for(std::chrono::duration<double>(std::atof(argv[4])));
        } else {
            char ignored;
            while (read(STDIN_FILENO, &ignored, 1) > 0) {
            }
        }
        const double duration = recorder.stop();
        std::printf("done %d %.6f %d %d\n", recorder.frames(), duration, recorder.pixelSize().width,
                    recorder.pixelSize().height);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "qc_record_window: %s\n", error.what());
        return 1;
    }
}
