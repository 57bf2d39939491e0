#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "app/standard_streams.h"

namespace {

[[noreturn]] void closeInputAndOutputThenHoldThem() {
    ::close(STDIN_FILENO);
    ::close(STDOUT_FILENO);
    app::holdClosedStandardStreams();
    struct stat devNull {}, out {}, in {};
    ::stat("/dev/null", &devNull);
    if (::fstat(STDOUT_FILENO, &out) != 0 || ::fstat(STDIN_FILENO, &in) != 0) std::_Exit(3);
    if (out.st_rdev != devNull.st_rdev || in.st_rdev != devNull.st_rdev) std::_Exit(4);
    // The next file opened gets a number above the standard streams.
    const int next = ::open("/dev/zero", O_RDONLY);
    std::_Exit(next > STDERR_FILENO && ::write(STDOUT_FILENO, "x", 1) == 1 ? 0 : 5);
}

// A file opened after start must not take the number of a closed standard stream, where result lines go.
TEST(StandardStreamsDeathTest, ClosedStandardStreamsAreHeldByDevNull) {
    EXPECT_EXIT(closeInputAndOutputThenHoldThem(), testing::ExitedWithCode(0), "");
}

}  // namespace
