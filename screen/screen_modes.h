// The BBC Micro screen modes the program converts to, the machine's eight physical
// colours and the default logical palettes.
#pragma once

#include "imaging/colour.h"

#include <array>
#include <string_view>

struct ScreenMode {
    int position;                 // place in the "Screen Mode:" list, 0-5
    std::string_view label;       // text of that list entry
    int number;                   // BBC Micro mode number: what the program stores and passes
    int width;                    // pixels across
    int bitsPerPixel;             // 1, 2 or 4
    int pixelsPerByte;            // 8 / bitsPerPixel
    int colourCount;              // logical colours assigned, remapped to and written
    int bytesPerLine;             // width / pixelsPerByte
    int bytesPerCharacterRow;     // 8 * bytesPerLine
    std::string_view loadAddress; // six hex digits for the .inf sidecar
    std::string_view lengthField; // six hex digits: the full screen at 256 lines
    int previewScaleMode;         // converted preview scaling: 0 smooth, 1 raw
    int exportWidth;              // width of an exported JPEG, PNG or BMP picture
    int exportHeight;             // its height; 0 for the picture's own line count
};

inline constexpr std::array<ScreenMode, 6> screenModes{{
    {0, "Mode 0", 0, 640, 1, 8, 2, 80, 640, "003000", "005000", 0, 640, 512},
    {1, "Mode 1", 1, 320, 2, 4, 4, 80, 640, "003000", "005000", 1, 320, 0},
    {2, "Mode 2", 2, 160, 4, 2, 8, 80, 640, "003000", "005000", 1, 320, 0},
    {3, "Mode 4", 4, 320, 1, 8, 2, 40, 320, "005800", "002800", 1, 320, 0},
    {4, "Mode 5", 5, 160, 2, 4, 4, 40, 320, "005800", "002800", 1, 320, 0},
    {5, "Mode 8", 8, 80, 4, 2, 8, 40, 320, "005800", "002800", 1, 320, 0},
}};

// The machine's colours 0-7 in its own order: bit 0 red, bit 1 green, bit 2 blue.
inline constexpr std::array<ColourValue, 8> kPhysicalColours{
    0x000000, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF,
};
inline constexpr std::array<std::string_view, 8> kPhysicalColourNames{
    "black", "red", "green", "yellow", "blue", "magenta", "cyan", "white",
};

// nullptr when no mode has that list position or number.
const ScreenMode* ScreenModeAtPosition(int position);
const ScreenMode* ScreenModeByNumber(int number);

// True when every channel of the colour value is 0 or 255.
bool IsPhysicalColour(ColourValue colour);

// Writes the mode's default logical palette into its row of `palette`, entries
// 0..colourCount-1. Mode numbers outside the table are ignored.
void ResetPalette(int modeNumber);

// The colour value of a logical colour under the default palette of a bit depth
// (1, 2 or 4); black for anything out of range.
ColourValue DefaultLogicalColour(int logicalColour, int bitsPerPixel);
