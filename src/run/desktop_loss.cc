#include "run/desktop_loss.h"

#include "base/out.h"

namespace run {

FinishMovieOnDesktopLoss::FinishMovieOnDesktopLoss(capture::WindowRecorder& recorder)
    : previous_(platform::setDesktopLostHandler([&recorder](const std::string& what) {
          try {
              recorder.finishNow();
          } catch (...) {
              // The movie stays as the writer left it (still readable); the error line matters more.
          }
          Out::fail(what, "external");
      })) {}

FinishMovieOnDesktopLoss::~FinishMovieOnDesktopLoss() {
    platform::setDesktopLostHandler(std::move(previous_));
}

}  // namespace run
