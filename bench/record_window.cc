// Records one window with the tool's recorder for the throughput benchmark.
//
//   qc_bench_record PID OUTPUT.mov FPS SECONDS
//
// Picks the window of process PID as a run does, records it for SECONDS and prints one JSON line:
// {"frames": appended frames, "duration": movie seconds, "width": .., "height": .., "start": host-clock
// seconds of the first frame, where the movie's time 0 is}.

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "base/capture_error.h"
#include "capture/window_pickers.h"
#include "capture/window_recorder.h"
#include "platform/clock.h"
#include "platform/services.h"

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: qc_bench_record PID OUTPUT FPS SECONDS\n");
        return 64;
    }
    platform::installSystemServices();
    try {
        const auto window = capture::scWindow(std::atoi(argv[1]), std::nullopt);
        capture::WindowRecorder recorder(window, argv[2], std::atoll(argv[3]));
        recorder.start();
        if (!recorder.waitForFirstFrame(5)) {
            std::fprintf(stderr, "qc_bench_record: no first frame\n");
            return 1;
        }
        platform::services().clock->sleep(std::atof(argv[4]));
        const double duration = recorder.stop();
        std::printf("{\"frames\":%d,\"duration\":%.6f,\"width\":%d,\"height\":%d,\"start\":%.6f}\n",
                    recorder.frames(), duration, recorder.pixelSize().width, recorder.pixelSize().height,
                    recorder.startHostSeconds().value_or(0));
        return 0;
    } catch (const CaptureError& error) {
        std::fprintf(stderr, "qc_bench_record: %s (%s)\n", error.what(), error.code().c_str());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "qc_bench_record: %s\n", error.what());
    }
    return 1;
}
