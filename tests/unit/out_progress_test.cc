#include <gtest/gtest.h>

#include "base/out.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

TEST(OutputChannel, AProgressLineKeepsItsTypeAndMessageWhateverTheExtras) {
    CaptureStdout();
    Out::progress("Recording", {{"type", "result"}, {"message", "other"}, {"firstFrameEpochMs", 1700000000123LL}});
    Out::progress("Opening gedit…");
    EXPECT_EQ(GetCapturedStdout(),
              "{\"firstFrameEpochMs\":1700000000123,\"message\":\"Recording\",\"type\":\"progress\"}\n"
              "{\"message\":\"Opening gedit\u2026\",\"type\":\"progress\"}\n");
}

}  // namespace
