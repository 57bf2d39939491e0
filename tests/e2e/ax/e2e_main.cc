// Desktop tests of the accessibility layer: run inside scripts/desktop-session against the fixture application.

#include <gtest/gtest.h>

#include "platform/services.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    platform::installSystemServices();
    return RUN_ALL_TESTS();
}
