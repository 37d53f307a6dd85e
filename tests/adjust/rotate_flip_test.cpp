#include "adjust/rotate_flip.h"
#include "imaging/picture.h"

#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <string>

namespace {

// Picture 4 of the letters' codes, rows separated by '/'.
void Make(const std::string& rows) {
    int width = static_cast<int>(rows.find('/'));
    if (width < 0) {
        width = static_cast<int>(rows.size());
    }
    const int height = static_cast<int>((rows.size() + 1) / static_cast<std::size_t>(width + 1));
    ASSERT_TRUE(CreatePicture(4, width, height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            PlotPixel(4, x, y, static_cast<ColourValue>(rows[static_cast<std::size_t>(y * (width + 1) + x)]));
        }
    }
}

std::string Read() {
    std::string rows;
    for (int y = 0; y < PictureHeight(4); ++y) {
        if (y > 0) {
            rows += '/';
        }
        for (int x = 0; x < PictureWidth(4); ++x) {
            rows += static_cast<char>(ReadPixel(4, x, y));
        }
    }
    return rows;
}

class RotateFlipTest : public ::testing::Test {
  protected:
    void TearDown() override { DiscardAllPictures(); }
};

TEST_F(RotateFlipTest, EachOperationMovesPixelsAsTheMenuSays) {
    const std::pair<void (*)(int), std::string> cases[] = {
        {RotateImageLeft90, "cf/be/ad"},    {RotateImageRight90, "da/eb/fc"}, {RotateImage180, "fed/cba"},
        {FlipImageHorizontally, "cba/fed"}, {FlipImageVertically, "def/abc"},
    };
    for (const auto& [operation, expected] : cases) {
        Make("abc/def");
        operation(4);
        EXPECT_EQ(Read(), expected);
    }
}

TEST_F(RotateFlipTest, GroupLawsHoldOnARandomPicture) {
    std::mt19937 random(7);
    const auto makeRandom = [&] {
        ASSERT_TRUE(CreatePicture(4, 13, 6));
        for (int y = 0; y < 6; ++y) {
            for (int x = 0; x < 13; ++x) {
                PlotPixel(4, x, y, random() & 0xFFFFFF);
            }
        }
    };
    makeRandom();
    const std::string start = Read();
    for (int i = 0; i < 4; ++i) {
        RotateImageLeft90(4);
    }
    EXPECT_EQ(Read(), start);
    RotateImageLeft90(4);
    EXPECT_EQ(PictureWidth(4), 6);
    EXPECT_EQ(PictureHeight(4), 13);
    RotateImageRight90(4);
    EXPECT_EQ(Read(), start);
    FlipImageHorizontally(4);
    FlipImageVertically(4);
    const std::string both = Read();
    FlipImageVertically(4);
    FlipImageHorizontally(4);
    EXPECT_EQ(Read(), start);
    RotateImage180(4);
    EXPECT_EQ(Read(), both);
    RotateImage180(4);
    EXPECT_EQ(Read(), start);
}

TEST_F(RotateFlipTest, MissingPicturesAndSinglePixels) {
    RotateImageLeft90(4);
    FlipImageVertically(4);
    EXPECT_FALSE(PictureExists(4));
    Make("z");
    for (auto operation : {RotateImageLeft90, RotateImageRight90, RotateImage180, FlipImageHorizontally,
                           FlipImageVertically}) {
        operation(4);
        EXPECT_EQ(Read(), "z");
    }
}

} // namespace
