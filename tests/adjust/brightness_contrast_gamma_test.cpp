#include "adjust/brightness_contrast_gamma.h"
#include "imaging/picture.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

std::vector<int> Map(const ByteTable& table, const std::vector<int>& values) {
    std::vector<int> mapped;
    for (const int v : values) {
        mapped.push_back(table[static_cast<std::size_t>(v)]);
    }
    return mapped;
}

TEST(BrightnessTest, OffsetsAreClampedToTheByte) {
    EXPECT_EQ(Map(BrightnessTable(128), {200, 100, 0}), (std::vector<int>{255, 228, 128}));
    EXPECT_EQ(Map(BrightnessTable(-128), {100, 200, 255}), (std::vector<int>{0, 72, 127}));
}

TEST(ContrastTest, FactorIsSinglePrecisionAndRoundingGoesToEven) {
    EXPECT_EQ(Map(ContrastTable(64.0F), {0, 64, 127, 128, 129, 192, 255}),
              (std::vector<int>{0, 22, 126, 128, 130, 234, 255}));
    EXPECT_EQ(Map(ContrastTable(-128.0F), {0, 64, 192, 255}), (std::vector<int>{85, 107, 149, 170}));
    EXPECT_EQ(Map(ContrastTable(256.0F), {0, 127, 128, 129, 255}), (std::vector<int>{0, 0, 128, 255, 255}));
    for (int v = 0; v < 256; ++v) {
        EXPECT_EQ(ContrastTable(0.0F)[static_cast<std::size_t>(v)], v);
        EXPECT_EQ(ContrastTable(-255.0F)[static_cast<std::size_t>(v)], 128);
        EXPECT_EQ(ContrastTable(-256.0F)[static_cast<std::size_t>(v)], 128);
    }
    // Outside the sliders' range the factor can become infinite; no byte goes astray.
    EXPECT_EQ(Map(ContrastTable(259.0F), {0, 128, 255}), (std::vector<int>{0, 128, 255}));
}

TEST(GammaTest, MidTonesMoveAndTheEndsStay) {
    EXPECT_EQ(Map(GammaTable(2.0F), {0, 16, 64, 128, 255}), (std::vector<int>{0, 64, 128, 181, 255}));
    EXPECT_EQ(Map(GammaTable(0.5F), {0, 128, 192, 255}), (std::vector<int>{0, 64, 145, 255}));
    EXPECT_EQ(Map(GammaTable(7.99F), {0, 1, 16, 255}), (std::vector<int>{0, 127, 180, 255}));
    for (int v = 0; v < 256; ++v) {
        EXPECT_EQ(GammaTable(1.0F)[static_cast<std::size_t>(v)], v);
    }
}

class AdjustPictureTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(CreatePicture(4, 2, 1));
        // Bytes a fourth byte might carry must not survive an adjustment.
        FindPicture(4)->pixels = {0xAB102030u, 0x00C86432u};
    }
    void TearDown() override { DiscardAllPictures(); }
};

TEST_F(AdjustPictureTest, AdjustmentsWorkOnEveryChannelAndClearTheFourthByte) {
    AdjustBrightness(4, 10);
    EXPECT_EQ(FindPicture(4)->pixels, (std::vector<BufferWord>{0x001A2A3Au, 0x00D26E3Cu}));
    AdjustContrast(4, 0.0F);
    EXPECT_EQ(FindPicture(4)->pixels, (std::vector<BufferWord>{0x001A2A3Au, 0x00D26E3Cu}));
    AdjustGamma(4, 2.0F);
    const ByteTable gamma = GammaTable(2.0F);
    EXPECT_EQ(FindPicture(4)->pixels[1],
              (BufferWord{gamma[0xD2]} << 16) | (BufferWord{gamma[0x6E]} << 8) | gamma[0x3C]);
}

TEST_F(AdjustPictureTest, GammaOutsideItsRangeAndMissingPicturesChangeNothing) {
    FindPicture(4)->pixels = {0x00102030u, 0x00C86432u};
    const std::vector<BufferWord> before = FindPicture(4)->pixels;
    for (const float gamma : {0.0F, 8.0F, -1.0F, 100.0F}) {
        AdjustGamma(4, gamma);
        EXPECT_EQ(FindPicture(4)->pixels, before) << gamma;
    }
    AdjustBrightness(99, 50);
    AdjustContrast(99, 50.0F);
    AdjustGamma(99, 2.0F);
    EXPECT_FALSE(PictureExists(99));
}

} // namespace
