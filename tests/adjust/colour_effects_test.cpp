#include "adjust/auto_level.h"
#include "adjust/colour_effects.h"
#include "imaging/picture.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

class EffectsTest : public ::testing::Test {
  protected:
    void TearDown() override { DiscardAllPictures(); }

    // Picture 4 holding the given colour values in one row.
    static void Row(const std::vector<ColourValue>& colours) {
        ASSERT_TRUE(CreatePicture(4, static_cast<int>(colours.size()), 1));
        for (std::size_t x = 0; x < colours.size(); ++x) {
            PlotPixel(4, static_cast<int>(x), 0, colours[x]);
        }
    }
    static std::vector<ColourValue> Pixels() {
        std::vector<ColourValue> result;
        for (int y = 0; y < PictureHeight(4); ++y) {
            for (int x = 0; x < PictureWidth(4); ++x) {
                result.push_back(ReadPixel(4, x, y));
            }
        }
        return result;
    }
    static ColourValue Grey(unsigned v) { return MakeColour(v, v, v); }
};

TEST_F(EffectsTest, GreyscaleUsesTheLuminanceWeights) {
    Row({MakeColour(255, 0, 0), MakeColour(0, 255, 0), MakeColour(0, 0, 255), 0xFFFFFF, 0, Grey(77)});
    GreyscaleImage(4);
    EXPECT_EQ(Pixels(),
              (std::vector<ColourValue>{Grey(79), Grey(155), Grey(21), Grey(255), Grey(0), Grey(77)}));
    GreyscaleImage(99); // no picture: nothing happens
}

TEST_F(EffectsTest, LuminanceRoundsToNearest) {
    EXPECT_EQ(Luminance(50, 50, 50), 50);
    EXPECT_EQ(Luminance(5, 0, 0), 2);
    EXPECT_EQ(Luminance(1, 1, 0), 1);
    EXPECT_EQ(Luminance(0, 0, 6), 0); // 0.492
    EXPECT_EQ(Luminance(0, 0, 7), 1); // 0.574
}

TEST_F(EffectsTest, InvertTwiceRestores) {
    Row({0, MakeColour(10, 200, 128)});
    InvertImage(4);
    EXPECT_EQ(Pixels(), (std::vector<ColourValue>{0xFFFFFF, MakeColour(245, 55, 127)}));
    InvertImage(4);
    EXPECT_EQ(Pixels(), (std::vector<ColourValue>{0, MakeColour(10, 200, 128)}));
}

TEST_F(EffectsTest, SolariseInvertsOnlyBytesBelowTheThreshold) {
    Row({MakeColour(0, 127, 128), MakeColour(200, 255, 1)});
    SolariseImage(4, 128);
    const std::vector<ColourValue> once = Pixels();
    EXPECT_EQ(once, (std::vector<ColourValue>{MakeColour(255, 128, 128), MakeColour(200, 255, 254)}));
    SolariseImage(4, 128);
    EXPECT_EQ(Pixels(), once);
}

TEST_F(EffectsTest, AutoLevelStretchesTwoGreysToBlackAndWhite) {
    ASSERT_TRUE(CreatePicture(4, 8, 10));
    FillBox(4, 0, 0, 8, 5, Grey(100));
    FillBox(4, 0, 5, 8, 5, Grey(150));
    AutoLevelImage(4);
    EXPECT_EQ(ReadPixel(4, 3, 2), Grey(0));
    EXPECT_EQ(ReadPixel(4, 3, 7), Grey(255));
}

TEST_F(EffectsTest, AutoLevelIgnoresTheClippedTailAndTruncates) {
    // 200 pixels: clip count 1, so the single 0 is ignored for the low limit.
    ASSERT_TRUE(CreatePicture(4, 20, 10));
    FillBox(4, 0, 0, 20, 5, Grey(100));
    FillBox(4, 0, 5, 20, 5, Grey(150));
    PlotPixel(4, 0, 0, Grey(0));
    PlotPixel(4, 1, 0, Grey(101));
    PlotPixel(4, 2, 0, Grey(120));
    AutoLevelImage(4);
    EXPECT_EQ(ReadPixel(4, 0, 0), Grey(0));
    EXPECT_EQ(ReadPixel(4, 1, 0), Grey(5));   // (101 - 100) * 255 / 50 = 5.1
    EXPECT_EQ(ReadPixel(4, 2, 0), Grey(102)); // (120 - 100) * 255 / 50
    EXPECT_EQ(ReadPixel(4, 5, 9), Grey(255));
}

TEST_F(EffectsTest, AutoLevelLeavesPicturesWithAConstantChannelAlone) {
    Row({MakeColour(10, 20, 0), MakeColour(200, 100, 0), MakeColour(90, 40, 0)});
    const std::vector<ColourValue> before = Pixels();
    AutoLevelImage(4);
    EXPECT_EQ(Pixels(), before);
    Row({MakeColour(1, 2, 3)});
    AutoLevelImage(4);
    EXPECT_EQ(Pixels(), std::vector<ColourValue>{MakeColour(1, 2, 3)});
}

TEST_F(EffectsTest, AutoLevelRoundsAnExactHalfClipCountToEven) {
    // 100 pixels give 0.5, which rounds to 0: the darkest value sets the low limit.
    ASSERT_TRUE(CreatePicture(4, 10, 10));
    FillBox(4, 0, 0, 10, 10, Grey(120));
    FillBox(4, 0, 0, 10, 5, Grey(200));
    PlotPixel(4, 0, 9, Grey(20));
    AutoLevelImage(4);
    EXPECT_EQ(ReadPixel(4, 0, 9), Grey(0));
    EXPECT_EQ(ReadPixel(4, 5, 9), Grey(141)); // (120 - 20) * 255 / 180 = 141.7, truncated
}

} // namespace
