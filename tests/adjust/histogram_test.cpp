#include "adjust/histogram.h"
#include "imaging/picture.h"

#include <gtest/gtest.h>

namespace {

class HistogramTest : public ::testing::Test {
  protected:
    void TearDown() override { DiscardAllPictures(); }
};

// Rows of column x that are black, from the top.
int BlackRowsInColumn(int picture, int x) {
    int rows = 0;
    for (int y = 0; y < PictureHeight(picture); ++y) {
        rows += ReadPixel(picture, x, y) == 0 ? 1 : 0;
    }
    return rows;
}

TEST_F(HistogramTest, BlackAndWhitePairGivesFullBarsAtBothEnds) {
    ASSERT_TRUE(CreatePicture(4, 2, 1));
    PlotPixel(4, 1, 0, 0xFFFFFF);
    const HistogramData data = ComputeHistogram(4);
    EXPECT_FALSE(data.colour);
    EXPECT_EQ(data.meanLuminance, 127.5F);
    EXPECT_EQ(data.barScale, 5099.9995F); // 80 / (2 / 127.5) in single precision
    EXPECT_EQ(data.luminance[0], 1);
    EXPECT_EQ(data.luminance[255], 1);
    EXPECT_EQ(data.luminance[128], 0);

    const int graph = DrawHistogramGraph(data.luminance, data.barScale);
    EXPECT_EQ(PictureWidth(graph), 258);
    EXPECT_EQ(PictureHeight(graph), 81);
    EXPECT_EQ(BlackRowsInColumn(graph, 1), 81);
    EXPECT_EQ(BlackRowsInColumn(graph, 256), 81);
    EXPECT_EQ(BlackRowsInColumn(graph, 2), 2); // frame rows 0 and 80 only
    EXPECT_EQ(BlackRowsInColumn(graph, 0), 81);
    EXPECT_EQ(ReadPixel(graph, 100, 40), 0xFFFFFFu);
}

TEST_F(HistogramTest, AllBlackHasNoBarsAndAPureRedPixelSetsTheColourFlag) {
    ASSERT_TRUE(CreatePicture(4, 10, 10));
    HistogramData data = ComputeHistogram(4);
    EXPECT_EQ(data.meanLuminance, 0.0F);
    EXPECT_EQ(data.barScale, 0.0F);
    EXPECT_EQ(data.red[0], 100);
    const int graph = DrawHistogramGraph(data.luminance, data.barScale);
    EXPECT_EQ(BlackRowsInColumn(graph, 1), 2);

    FillBox(4, 0, 0, 10, 10, 0x808080);
    EXPECT_FALSE(ComputeHistogram(4).colour);
    PlotPixel(4, 3, 3, 0x0000FF);
    data = ComputeHistogram(4);
    EXPECT_TRUE(data.colour);
    EXPECT_EQ(data.red[255], 1);
    EXPECT_EQ(data.green[0], 1);
    EXPECT_EQ(data.green[128], 99);
}

TEST_F(HistogramTest, AllWhiteFillsOnlyTheLastLuminanceColumn) {
    ASSERT_TRUE(CreatePicture(4, 4, 4));
    FillBox(4, 0, 0, 4, 4, 0xFFFFFF);
    const HistogramData data = ComputeHistogram(4);
    EXPECT_FALSE(data.colour);
    EXPECT_EQ(data.meanLuminance, 255.0F);
    EXPECT_EQ(data.luminance[255], 16);
    const int graph = DrawHistogramGraph(data.luminance, data.barScale);
    EXPECT_EQ(BlackRowsInColumn(graph, 256), 81);
    for (int x = 1; x < 256; ++x) {
        EXPECT_EQ(BlackRowsInColumn(graph, x), 2) << x;
    }
}

TEST_F(HistogramTest, BarsRiseTheirRoundedLengthAboveTheBottomRow) {
    std::array<std::int32_t, 256> counts{};
    counts[10] = 2;  // 2 * 2.5 = 5 -> rows 77..80
    counts[11] = 1;  // 2.5 rounds to 2: only the frame row
    counts[12] = 40; // 100: whole column
    const int graph = DrawHistogramGraph(counts, 2.5F);
    EXPECT_EQ(BlackRowsInColumn(graph, 11), 5);
    EXPECT_EQ(ReadPixel(graph, 11, 76), 0xFFFFFFu);
    EXPECT_EQ(BlackRowsInColumn(graph, 12), 2);
    EXPECT_EQ(BlackRowsInColumn(graph, 13), 81);
}

TEST_F(HistogramTest, StripsShowTheChannelScaleInsideABlackFrame) {
    const int strip = DrawHistogramStrip(StripChannel::Green);
    EXPECT_EQ(PictureWidth(strip), 258);
    EXPECT_EQ(PictureHeight(strip), 12);
    EXPECT_EQ(ReadPixel(strip, 201, 5), MakeColour(0, 200, 0));
    EXPECT_EQ(ReadPixel(strip, 201, 0), 0u);
    EXPECT_EQ(ReadPixel(strip, 257, 5), 0u);
    const int grey = DrawHistogramStrip(StripChannel::Luminance);
    EXPECT_EQ(ReadPixel(grey, 256, 10), 0xFFFFFFu);
}

} // namespace
