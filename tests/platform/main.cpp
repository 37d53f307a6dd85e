// The platform tests need the toolkit running before any test, and run headless.
#include "platform/metafile_sandbox.h"
#include "platform/platform.h"
#include "platform/test_hooks.h"

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    if (!InitPlatform()) {
        std::fprintf(stderr, "platform tests: the toolkit could not start\n");
        return 1;
    }
    EnableTestMode(true);
    SetMetafileHelperPath(QUILLMORPH_METAFILE_HELPER);
    const int result = RUN_ALL_TESTS();
    ShutdownPlatform();
    return result;
}
