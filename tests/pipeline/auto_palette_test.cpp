#include "imaging/picture.h"
#include "pipeline/auto_palette.h"
#include "screen/screen_modes.h"
#include "state/app_state.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

std::vector<int> SortedColours(const std::vector<std::int32_t>& counts) {
    std::array<ColourCount, 8> entries{};
    for (std::size_t i = 0; i < 8; ++i) {
        entries[i] = {static_cast<std::int16_t>(i), counts[i]};
    }
    SortCountsDescending(entries);
    std::vector<int> colours;
    for (const ColourCount& entry : entries) {
        colours.push_back(entry.colour);
    }
    return colours;
}

TEST(SortCountsDescendingTest, ReproducesTheOrderOfEqualCounts) {
    EXPECT_EQ(SortedColours({0, 0, 0, 0, 0, 0, 0, 0}), (std::vector<int>{5, 4, 7, 6, 1, 0, 3, 2}));
    EXPECT_EQ(SortedColours({5, 3, 8, 1, 9, 2, 7, 4}), (std::vector<int>{4, 2, 6, 0, 7, 1, 5, 3}));
    EXPECT_EQ(SortedColours({1, 0, 0, 0, 0, 0, 0, 0}), (std::vector<int>{0, 5, 4, 6, 1, 7, 3, 2}));
}

class AutoPaletteTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetAppState();
        previewHeight = 256;
        for (int m = 0; m <= 8; ++m) {
            ResetPalette(m);
        }
    }
    void TearDown() override {
        DiscardAllPictures();
        ResetAppState();
    }
    static std::vector<ColourValue> Row(int mode, int count) {
        std::vector<ColourValue> row;
        for (int k = 0; k < count; ++k) {
            row.push_back(PaletteEntry(mode, k));
        }
        return row;
    }
};

TEST_F(AutoPaletteTest, UnusedColoursFillTheSpareLogicalColoursInSortOrder) {
    ASSERT_TRUE(CreatePicture(4, 50, 40));
    AutoPalette(4, 1);
    EXPECT_EQ(Row(1, 4), (std::vector<ColourValue>{kPhysicalColours[0], kPhysicalColours[5],
                                                   kPhysicalColours[4], kPhysicalColours[6]}));
    FillBox(4, 0, 0, 50, 40, 0xFFFFFF);
    AutoPalette(4, 5);
    EXPECT_EQ(Row(5, 4), (std::vector<ColourValue>{kPhysicalColours[7], kPhysicalColours[5],
                                                   kPhysicalColours[4], kPhysicalColours[6]}));
    EXPECT_FALSE(PictureExists(scratchPicture));
}

TEST_F(AutoPaletteTest, TheMostFrequentColourComesFirstAndOnlyTheModesColoursChange) {
    PaletteEntry(0, 2) = 0x123456;
    ASSERT_TRUE(CreatePicture(4, 3, 1));
    PlotPixel(4, 0, 0, MakeColour(250, 240, 250)); // nearest white
    PlotPixel(4, 1, 0, MakeColour(20, 10, 0));     // nearest black
    PlotPixel(4, 2, 0, MakeColour(240, 255, 230)); // nearest white
    AutoPalette(4, 0);
    EXPECT_EQ(Row(0, 2), (std::vector<ColourValue>{0xFFFFFF, 0}));
    EXPECT_EQ(PaletteEntry(0, 2), 0x123456u);
    EXPECT_EQ(ReadPixel(4, 1, 0), MakeColour(20, 10, 0)); // the picture itself is untouched
    AutoPalette(4, 3);                                    // no such mode: nothing written
    EXPECT_EQ(Row(3, 2), (std::vector<ColourValue>{0, 0}));
}

TEST_F(AutoPaletteTest, BlackAndWhiteInTheOrderOfTheirFrequency) {
    // 100 pixels nearest black and 50 nearest white, then the reverse; the sample
    // stretches them to 320 columns without changing which is the more frequent.
    const ColourValue dark = MakeColour(30, 20, 40);
    const ColourValue light = MakeColour(230, 240, 220);
    for (const bool blackFirst : {true, false}) {
        SCOPED_TRACE(blackFirst ? "100 black, 50 white" : "100 white, 50 black");
        ASSERT_TRUE(CreatePicture(4, 150, 1));
        FillBox(4, 0, 0, 100, 1, blackFirst ? dark : light);
        FillBox(4, 100, 0, 50, 1, blackFirst ? light : dark);
        AutoPalette(4, 0);
        EXPECT_EQ(Row(0, 2), blackFirst ? (std::vector<ColourValue>{0, 0xFFFFFF})
                                        : (std::vector<ColourValue>{0xFFFFFF, 0}));
    }
}

TEST_F(AutoPaletteTest, CountedColoursFillTheWholeMode2PaletteInSortOrder) {
    // A picture already of the sample's size, so every pixel is counted once: blue the
    // most frequent, then the others with counts in the order of 5, 3, 8, 1, _, 2, 7, 4.
    ASSERT_TRUE(CreatePicture(4, 320, 256));
    FillBox(4, 0, 0, 320, 256, kPhysicalColours[4]);
    const std::array<int, 8> counts{5, 3, 8, 1, 0, 2, 7, 4};
    int x = 0;
    for (std::size_t colour = 0; colour < 8; ++colour) {
        for (int n = 0; n < counts[colour]; ++n) {
            PlotPixel(4, x++, 100, kPhysicalColours[colour]);
        }
    }
    AutoPalette(4, 2);
    EXPECT_EQ(Row(2, 8),
              (std::vector<ColourValue>{kPhysicalColours[4], kPhysicalColours[2], kPhysicalColours[6],
                                        kPhysicalColours[0], kPhysicalColours[7], kPhysicalColours[1],
                                        kPhysicalColours[5], kPhysicalColours[3]}));
}

} // namespace
