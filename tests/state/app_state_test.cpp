#include "imaging/picture.h"
#include "state/app_state.h"

#include <gtest/gtest.h>

namespace {

TEST(AppStateTest, ResetPutsEverythingBackToZero) {
    screenMode = 5;
    previewHeight = 200;
    gammaValue = 1.0F;
    palette[10] = 0xFFFFFF;
    sourcePath = "x.png";
    quitRequested = 1;
    ResetAppState();
    EXPECT_EQ(screenMode, 0);
    EXPECT_EQ(previewHeight, 0);
    EXPECT_EQ(gammaValue, 0.0F);
    EXPECT_EQ(palette[10], 0u);
    EXPECT_TRUE(sourcePath.empty());
    EXPECT_EQ(quitRequested, 0);
}

TEST(AppStateTest, FreePictureIgnoresMissingPictures) {
    FreePicture(9);
    ASSERT_TRUE(CreatePicture(9, 1, 1));
    FreePicture(9);
    EXPECT_FALSE(PictureExists(9));
}

} // namespace
