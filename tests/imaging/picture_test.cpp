#include "imaging/picture.h"
#include "imaging/pixel_buffer.h"

#include <algorithm>
#include <cstdint>
#include <gtest/gtest.h>
#include <random>
#include <set>
#include <vector>

namespace {

class PictureTest : public ::testing::Test {
  protected:
    void TearDown() override { DiscardAllPictures(); }
};

TEST_F(PictureTest, NewPicturesAreBlackAndNumbersStayApart) {
    ASSERT_TRUE(CreatePicture(4, 3, 2));
    EXPECT_TRUE(PictureExists(4));
    EXPECT_EQ(PictureWidth(4), 3);
    EXPECT_EQ(PictureHeight(4), 2);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(ReadPixel(4, x, y), 0u);
        }
    }
    const int automatic = CreateAutomaticPicture(2, 2);
    EXPECT_TRUE(automatic > 25 || automatic < 4);
    EXPECT_NE(automatic, 0);
    EXPECT_NE(CreateAutomaticPicture(1, 1), automatic);
    DiscardPicture(4);
    EXPECT_FALSE(PictureExists(4));
    EXPECT_EQ(PictureWidth(4), 0);
}

TEST_F(PictureTest, AbsurdSizesAreRefused) {
    EXPECT_FALSE(CreatePicture(4, 0, 10));
    EXPECT_FALSE(CreatePicture(4, 32768, 1));
    EXPECT_FALSE(CreatePicture(4, 20000, 20000)); // 400 million pixels
    EXPECT_FALSE(PictureExists(4));
    EXPECT_TRUE(IsAcceptablePictureSize(32767, 4577));
    EXPECT_FALSE(IsAcceptablePictureSize(32767, 4578));
}

TEST_F(PictureTest, PlotAndReadUseColourValuesAndIgnoreTheOutside) {
    ASSERT_TRUE(CreatePicture(4, 2, 2));
    PlotPixel(4, 1, 0, MakeColour(10, 20, 30));
    PlotPixel(4, -1, 0, 0xFFFFFF);
    PlotPixel(4, 2, 0, 0xFFFFFF);
    PlotPixel(4, 0, 2, 0xFFFFFF);
    EXPECT_EQ(ReadPixel(4, 1, 0), MakeColour(10, 20, 30));
    EXPECT_EQ(ReadPixel(4, 0, 0), 0u);
    EXPECT_EQ(ReadPixel(4, 5, 5), 0u);
    EXPECT_EQ(ReadPixel(99, 0, 0), 0u);
}

TEST_F(PictureTest, CopyReplacesTheTargetAndKeepsTheSource) {
    ASSERT_TRUE(CreatePicture(4, 2, 1));
    PlotPixel(4, 0, 0, 0x123456);
    ASSERT_TRUE(CreatePicture(8, 5, 5));
    ASSERT_TRUE(CopyPicture(4, 8));
    EXPECT_EQ(PictureWidth(8), 2);
    EXPECT_EQ(PictureHeight(8), 1);
    EXPECT_EQ(ReadPixel(8, 0, 0), 0x123456u);
    PlotPixel(8, 0, 0, 0);
    EXPECT_EQ(ReadPixel(4, 0, 0), 0x123456u);
    EXPECT_FALSE(CopyPicture(77, 8));
    EXPECT_TRUE(PictureExists(8));
}

TEST_F(PictureTest, DrawingAndFillingAreClippedAtEveryEdge) {
    ASSERT_TRUE(CreatePicture(9, 4, 4));
    ASSERT_TRUE(CreatePicture(4, 3, 3));
    FillBox(4, 0, 0, 3, 3, 0x0000FF);
    DrawPicture(4, 9, -1, 2); // covers x 0..1, y 2..3
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            const bool inside = x <= 1 && y >= 2;
            EXPECT_EQ(ReadPixel(9, x, y), inside ? 0x0000FFu : 0u) << x << "," << y;
        }
    }
    // Past the right or bottom edge while the other axis overlaps: nothing to copy or fill.
    const std::vector<BufferWord> before = FindPicture(9)->pixels;
    DrawPicture(4, 9, 5, 1);
    DrawPicture(4, 9, 1, 4);
    FillBox(9, 4, 3, 2, 2, 0xFFFFFF);
    FillBox(9, 0, 0, -2, 2, 0xFFFFFF);
    EXPECT_EQ(FindPicture(9)->pixels, before);
    DrawPicture(4, 9, 100, 100);
    DrawPicture(4, 9, -100, -100);
    FillBox(9, 3, -5, 10, 6, 0x00FF00); // only (3,0)
    EXPECT_EQ(ReadPixel(9, 3, 0), 0x00FF00u);
    EXPECT_EQ(ReadPixel(9, 2, 0), 0u);
    EXPECT_EQ(ReadPixel(9, 3, 1), 0u);
}

TEST_F(PictureTest, RawResizeRepeatsAndDropsWithoutNewColours) {
    ASSERT_TRUE(CreatePicture(4, 3, 2));
    const ColourValue colours[] = {0x0000FF, 0x00FF00, 0xFF0000, 0x123456, 0xABCDEF, 0xFFFFFF};
    for (int i = 0; i < 6; ++i) {
        PlotPixel(4, i % 3, i / 3, colours[i]);
    }
    ASSERT_TRUE(ResizePicture(4, 7, 5, ScaleMode::Raw));
    EXPECT_EQ(PictureWidth(4), 7);
    EXPECT_EQ(PictureHeight(4), 5);
    const std::set<ColourValue> allowed(std::begin(colours), std::end(colours));
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 7; ++x) {
            EXPECT_TRUE(allowed.contains(ReadPixel(4, x, y)));
        }
    }
    EXPECT_EQ(ReadPixel(4, 0, 0), 0x0000FFu);
    EXPECT_EQ(ReadPixel(4, 6, 4), 0xFFFFFFu);
    // A 2x enlargement doubles every column exactly.
    ASSERT_TRUE(CreatePicture(5, 2, 1));
    PlotPixel(5, 1, 0, 0xFFFFFF);
    ASSERT_TRUE(ResizePicture(5, 4, 1, ScaleMode::Raw));
    EXPECT_EQ(ReadPixel(5, 0, 0), 0u);
    EXPECT_EQ(ReadPixel(5, 1, 0), 0u);
    EXPECT_EQ(ReadPixel(5, 2, 0), 0xFFFFFFu);
    EXPECT_EQ(ReadPixel(5, 3, 0), 0xFFFFFFu);
}

TEST_F(PictureTest, SmoothResizeAveragesTheCoveredArea) {
    ASSERT_TRUE(CreatePicture(4, 2, 2));
    PlotPixel(4, 0, 0, MakeColour(255, 0, 0));
    PlotPixel(4, 1, 0, MakeColour(0, 0, 0));
    PlotPixel(4, 0, 1, MakeColour(100, 200, 0));
    PlotPixel(4, 1, 1, MakeColour(0, 0, 40));
    ASSERT_TRUE(ResizePicture(4, 1, 1, ScaleMode::Smooth));
    // (255 + 0 + 100 + 0) / 4 = 88.75, 200 / 4 = 50, 40 / 4 = 10.
    EXPECT_EQ(ReadPixel(4, 0, 0), MakeColour(89, 50, 10));

    // 3 -> 2: each output covers one whole source pixel and half of the middle one.
    ASSERT_TRUE(CreatePicture(5, 3, 1));
    PlotPixel(5, 0, 0, MakeColour(90, 0, 0));
    PlotPixel(5, 1, 0, MakeColour(30, 0, 0));
    PlotPixel(5, 2, 0, MakeColour(0, 0, 0));
    ASSERT_TRUE(ResizePicture(5, 2, 1, ScaleMode::Smooth));
    EXPECT_EQ(ReadPixel(5, 0, 0), MakeColour(70, 0, 0)); // (90 + 15) / 1.5
    EXPECT_EQ(ReadPixel(5, 1, 0), MakeColour(10, 0, 0)); // (15 + 0) / 1.5

    // Enlarging a flat picture keeps it flat.
    ASSERT_TRUE(CreatePicture(6, 3, 3));
    FillBox(6, 0, 0, 3, 3, 0x405060);
    ASSERT_TRUE(ResizePicture(6, 10, 7, ScaleMode::Smooth));
    for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 10; ++x) {
            EXPECT_EQ(ReadPixel(6, x, y), 0x405060u);
        }
    }
}

// Smooth scaling against the area average written out plainly: each destination pixel
// covers [x sw / dw, (x + 1) sw / dw) of the source, and its channel is the covered
// area's mean rounded half up, in exact integer arithmetic.
TEST_F(PictureTest, SmoothResizeIsTheExactAreaAverage) {
    const auto reference = [](const Picture& source, int dw, int dh) {
        const std::int64_t sw = source.width;
        const std::int64_t sh = source.height;
        const auto overlap = [](std::int64_t i, std::int64_t s, std::int64_t d, std::int64_t j) {
            // Of destination cell i and source cell j, in units of 1 / d source pixels.
            const std::int64_t begin = std::max(i * s, j * d);
            const std::int64_t end = std::min((i + 1) * s, (j + 1) * d);
            return end > begin ? end - begin : 0;
        };
        std::vector<BufferWord> out;
        for (std::int64_t y = 0; y < dh; ++y) {
            for (std::int64_t x = 0; x < dw; ++x) {
                std::int64_t sums[3] = {0, 0, 0};
                for (std::int64_t sy = 0; sy < sh; ++sy) {
                    for (std::int64_t sx = 0; sx < sw; ++sx) {
                        const std::int64_t weight = overlap(x, sw, dw, sx) * overlap(y, sh, dh, sy);
                        const BufferWord word = source.pixels[static_cast<std::size_t>(sy * sw + sx)];
                        for (int c = 0; c < 3; ++c) {
                            sums[c] += weight * ((word >> (8 * c)) & 0xFF);
                        }
                    }
                }
                const std::int64_t area = sw * sh;
                BufferWord word = 0;
                for (int c = 0; c < 3; ++c) {
                    word |= static_cast<BufferWord>((2 * sums[c] + area) / (2 * area)) << (8 * c);
                }
                out.push_back(word);
            }
        }
        return out;
    };
    std::mt19937 random(3);
    for (int round = 0; round < 300; ++round) {
        // Every other round divides both sides by whole ratios, boxes of up to 512 pixels
        // (past what 16-bit sums hold); the rest are any sizes, enlargements too.
        const bool whole = round % 2 == 0;
        const int dw = 1 + static_cast<int>(random() % (whole ? 8 : 29));
        const int dh = 1 + static_cast<int>(random() % (whole ? 6 : 19));
        const int sw =
            whole ? dw * (1 + static_cast<int>(random() % 16)) : 1 + static_cast<int>(random() % 23);
        const int sh =
            whole ? dh * (1 + static_cast<int>(random() % 32)) : 1 + static_cast<int>(random() % 17);
        Picture source{sw, sh, std::vector<BufferWord>(static_cast<std::size_t>(sw * sh))};
        // White now and then, in some rounds mostly, so sums reach their largest values;
        // the spare top byte must not reach the result.
        const unsigned whiteShare = static_cast<unsigned>(round / 2 % 4);
        for (BufferWord& word : source.pixels) {
            word = random() % 4 < whiteShare ? 0xFFFFFFFFu : static_cast<BufferWord>(random());
        }
        EXPECT_EQ(ScalePicture(source, dw, dh, ScaleMode::Smooth).pixels, reference(source, dw, dh))
            << sw << "x" << sh << " to " << dw << "x" << dh;
    }
}

// Over 2^24 pixels 255 x the area no longer fits 32 bits and the sums take 64.
TEST_F(PictureTest, SmoothResizeAveragesAHugeAreaExactly) {
    constexpr int kSide = 4200;
    Picture source{kSide, kSide, std::vector<BufferWord>(static_cast<std::size_t>(kSide) * kSide)};
    std::uint64_t sums[3] = {0, 0, 0};
    BufferWord noise = 1;
    for (BufferWord& word : source.pixels) {
        noise = noise * 1664525u + 1013904223u;
        word = (noise >> 8) | 0xF0F0F0u; // near white, so the sums pass 2^32
        for (int c = 0; c < 3; ++c) {
            sums[c] += (word >> (8 * c)) & 0xFF;
        }
    }
    const std::uint64_t area = std::uint64_t{kSide} * kSide;
    BufferWord mean = 0;
    for (int c = 0; c < 3; ++c) {
        mean |= static_cast<BufferWord>((2 * sums[c] + area) / (2 * area)) << (8 * c);
    }
    EXPECT_EQ(ScalePicture(source, 1, 1, ScaleMode::Smooth).pixels, std::vector<BufferWord>{mean});
}

TEST_F(PictureTest, ResizeToTheSameSizeLeavesThePictureUntouched) {
    ASSERT_TRUE(CreatePicture(4, 3, 3));
    PlotPixel(4, 1, 1, 0x808080);
    ASSERT_TRUE(ResizePicture(4, 3, 3, ScaleMode::Smooth));
    EXPECT_EQ(ReadPixel(4, 1, 1), 0x808080u);
    EXPECT_EQ(ReadPixel(4, 0, 0), 0u);
    EXPECT_FALSE(ResizePicture(77, 3, 3, ScaleMode::Raw));
}

TEST_F(PictureTest, BufferHoldsRedInBits16To23TopRowFirst) {
    ASSERT_TRUE(CreatePicture(4, 2, 2));
    PlotPixel(4, 0, 0, 0x0000FF);
    PlotPixel(4, 1, 1, MakeColour(1, 2, 3));
    std::vector<BufferWord> buffer(4, 0xDEADBEEF);
    EXPECT_EQ(CopyImageToBuffer(4, buffer), 0);
    EXPECT_EQ(buffer[0], 0x00FF0000u);
    EXPECT_EQ(buffer[1], 0u);
    EXPECT_EQ(buffer[3], 0x00010203u);
    EXPECT_EQ(SwapRedBlue(buffer[3]), MakeColour(1, 2, 3));

    buffer[1] = 0xFF00FF00; // fourth byte carries no colour
    CopyBufferToImage(buffer, 4);
    EXPECT_EQ(ReadPixel(4, 1, 0), MakeColour(0, 255, 0));
    std::vector<BufferWord> again(4);
    CopyImageToBuffer(4, again);
    EXPECT_EQ(again[1], 0x0000FF00u);
    EXPECT_EQ(again[0], buffer[0]);
    EXPECT_EQ(again[3], buffer[3]);

    // No picture, or a short buffer: nothing changes.
    std::vector<BufferWord> untouched(4, 7);
    CopyImageToBuffer(99, untouched);
    EXPECT_EQ(untouched, std::vector<BufferWord>(4, 7));
    std::vector<BufferWord> shortBuffer(3, 0xFFFFFF);
    CopyBufferToImage(shortBuffer, 4);
    EXPECT_EQ(ReadPixel(4, 0, 0), 0x0000FFu);
}

TEST(SwapRedBlueTest, ExchangesRedAndBlueAndClearsTheTopByte) {
    EXPECT_EQ(SwapRedBlue(0x00C8640Au), 0x000A64C8u);
    EXPECT_EQ(SwapRedBlue(0xFF000000u), 0u);
    EXPECT_EQ(SwapRedBlue(SwapRedBlue(0xAB123456u)), 0x00123456u);
}

TEST(RoundHalfEvenTest, ExactHalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(RoundHalfEven(12.5), 12.0);
    EXPECT_EQ(RoundHalfEven(13.5), 14.0);
    EXPECT_EQ(RoundHalfEven(-0.5), -0.0);
    EXPECT_EQ(RoundHalfEven(2.4999), 2.0);
    EXPECT_EQ(ClampChannel(10, -13), 0);
    EXPECT_EQ(ClampChannel(200, 100), 255);
    EXPECT_EQ(ClampChannel(100, 28), 128);
    EXPECT_EQ(ClampChannel(2147483647, 2147483647), 255);
    EXPECT_EQ(ClampChannel(-2147483647 - 1, -1), 0);
}

} // namespace
