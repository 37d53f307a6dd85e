#include "screen/screen_modes.h"
#include "state/app_state.h"

#include <gtest/gtest.h>

namespace {

TEST(ScreenModesTest, PositionsAndNumbersDiffer) {
    const ScreenMode* mode = ScreenModeAtPosition(3);
    ASSERT_NE(mode, nullptr);
    EXPECT_EQ(mode->number, 4);
    EXPECT_EQ(mode->width, 320);
    EXPECT_EQ(ScreenModeByNumber(3), nullptr);
    EXPECT_EQ(ScreenModeByNumber(7), nullptr);
    EXPECT_EQ(ScreenModeAtPosition(6), nullptr);
    EXPECT_EQ(ScreenModeByNumber(8)->position, 5);
}

TEST(ScreenModesTest, GeometryIsConsistent) {
    for (const ScreenMode& mode : screenModes) {
        EXPECT_EQ(mode.pixelsPerByte * mode.bitsPerPixel, 8) << mode.label;
        EXPECT_EQ(mode.bytesPerLine * mode.pixelsPerByte, mode.width) << mode.label;
        EXPECT_EQ(mode.bytesPerCharacterRow, 8 * mode.bytesPerLine) << mode.label;
        // The screen ends at &8000 and the length field is the full 256-line screen.
        const int address = std::stoi(std::string(mode.loadAddress), nullptr, 16);
        const int length = std::stoi(std::string(mode.lengthField), nullptr, 16);
        EXPECT_EQ(address + length, 0x8000) << mode.label;
        EXPECT_EQ(length, 256 * mode.bytesPerLine) << mode.label;
    }
    EXPECT_EQ(200 * ScreenModeByNumber(0)->bytesPerLine, 16000);
    EXPECT_EQ(200 * ScreenModeByNumber(8)->bytesPerLine, 8000);
}

TEST(ScreenModesTest, PhysicalColoursFollowTheirBits) {
    for (int n = 0; n < 8; ++n) {
        const ColourValue c = kPhysicalColours[static_cast<std::size_t>(n)];
        EXPECT_EQ(RedOf(c), (n & 1) ? 255u : 0u);
        EXPECT_EQ(GreenOf(c), (n & 2) ? 255u : 0u);
        EXPECT_EQ(BlueOf(c), (n & 4) ? 255u : 0u);
        EXPECT_TRUE(IsPhysicalColour(c));
    }
    EXPECT_FALSE(IsPhysicalColour(0x0000FE));
    EXPECT_FALSE(IsPhysicalColour(0x01000000));
}

TEST(ScreenModesTest, DefaultColoursByBitDepth) {
    EXPECT_EQ(DefaultLogicalColour(9, 4), 0xFFFF00u); // cyan
    EXPECT_EQ(DefaultLogicalColour(2, 2), 0x00FFFFu); // yellow
    EXPECT_EQ(DefaultLogicalColour(8, 4), 0xFFFFFFu); // white
    EXPECT_EQ(DefaultLogicalColour(15, 4), 0u);       // black
    EXPECT_EQ(DefaultLogicalColour(1, 1), 0xFFFFFFu);
    EXPECT_EQ(DefaultLogicalColour(2, 1), 0u);
    EXPECT_EQ(DefaultLogicalColour(16, 4), 0u);
    EXPECT_EQ(DefaultLogicalColour(-1, 4), 0u);
    EXPECT_EQ(DefaultLogicalColour(1, 3), 0u);
}

TEST(ScreenModesTest, ResetPaletteWritesOnlyTheModesOwnColours) {
    ResetAppState();
    palette.fill(0x123456);
    ResetPalette(1);
    EXPECT_EQ(PaletteEntry(1, 0), 0x000000u);
    EXPECT_EQ(PaletteEntry(1, 1), 0x0000FFu);
    EXPECT_EQ(PaletteEntry(1, 2), 0x00FFFFu);
    EXPECT_EQ(PaletteEntry(1, 3), 0xFFFFFFu);
    for (int k = 4; k < 8; ++k) {
        EXPECT_EQ(PaletteEntry(1, k), 0x123456u);
    }
    EXPECT_EQ(PaletteEntry(0, 0), 0x123456u);
    EXPECT_EQ(PaletteEntry(2, 0), 0x123456u);
    ResetPalette(3);
    ResetPalette(-1);
    ResetPalette(99);
    EXPECT_EQ(PaletteEntry(3, 0), 0x123456u);
    ResetAppState();
}

TEST(ScreenModesTest, StartUpPaletteRows) {
    ResetAppState();
    for (int m = 0; m <= 8; ++m) {
        ResetPalette(m);
    }
    for (int m : {3, 6, 7}) {
        for (int k = 0; k < 8; ++k) {
            EXPECT_EQ(PaletteEntry(m, k), 0u);
        }
    }
    for (int m : {0, 4}) {
        EXPECT_EQ(PaletteEntry(m, 0), 0u);
        EXPECT_EQ(PaletteEntry(m, 1), 0xFFFFFFu);
        for (int k = 2; k < 8; ++k) {
            EXPECT_EQ(PaletteEntry(m, k), 0u);
        }
    }
    for (int m : {2, 8}) {
        for (int k = 0; k < 8; ++k) {
            EXPECT_EQ(PaletteEntry(m, k), kPhysicalColours[static_cast<std::size_t>(k)]);
        }
    }
    ResetAppState();
}

} // namespace
