#include "screen/screen_modes.h"

#include "state/app_state.h"

namespace {

// Default palettes as physical colour numbers, by bits per pixel.
constexpr std::array<int, 2> kDefaults1Bit{0, 7};
constexpr std::array<int, 4> kDefaults2Bit{0, 1, 3, 7};

} // namespace

const ScreenMode* ScreenModeAtPosition(int position) {
    for (const ScreenMode& mode : screenModes) {
        if (mode.position == position) {
            return &mode;
        }
    }
    return nullptr;
}

const ScreenMode* ScreenModeByNumber(int number) {
    for (const ScreenMode& mode : screenModes) {
        if (mode.number == number) {
            return &mode;
        }
    }
    return nullptr;
}

bool IsPhysicalColour(ColourValue colour) {
    const auto full = [](unsigned channel) { return channel == 0 || channel == 255; };
    return (colour >> 24) == 0 && full(RedOf(colour)) && full(GreenOf(colour)) && full(BlueOf(colour));
}

void ResetPalette(int modeNumber) {
    const ScreenMode* mode = ScreenModeByNumber(modeNumber);
    if (mode == nullptr) {
        return;
    }
    for (int logical = 0; logical < mode->colourCount; ++logical) {
        PaletteEntry(modeNumber, logical) = DefaultLogicalColour(logical, mode->bitsPerPixel);
    }
}

ColourValue DefaultLogicalColour(int logicalColour, int bitsPerPixel) {
    if (logicalColour < 0) {
        return 0;
    }
    const auto index = static_cast<std::size_t>(logicalColour);
    switch (bitsPerPixel) {
    case 1:
        return index < kDefaults1Bit.size() ? kPhysicalColours[static_cast<std::size_t>(kDefaults1Bit[index])]
                                            : 0;
    case 2:
        return index < kDefaults2Bit.size() ? kPhysicalColours[static_cast<std::size_t>(kDefaults2Bit[index])]
                                            : 0;
    case 4:
        // 0-7 show physical colours 0-7; 8-15 show 7 down to 0.
        if (index < 8) {
            return kPhysicalColours[index];
        }
        return index < 16 ? kPhysicalColours[15 - index] : 0;
    default:
        return 0;
    }
}
