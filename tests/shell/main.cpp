// The desktop tests run the real program headless, with the platform in test mode so a
// dialog or message box without a queued answer fails the test instead of waiting.
#include "platform/platform.h"
#include "platform/test_hooks.h"

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    if (!InitPlatform()) {
        std::fprintf(stderr, "desktop tests: the toolkit could not start\n");
        return 1;
    }
    EnableTestMode(true);
    const int result = RUN_ALL_TESTS();
    ShutdownPlatform();
    return result;
}
