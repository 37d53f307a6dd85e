// Choosing a mode's logical palette from the physical colours a picture uses most.
#pragma once

#include <array>
#include <cstdint>

struct ColourCount {
    std::int16_t colour = 0; // physical colour 0-7
    std::int32_t count = 0;
};

// Quicksort of the eight entries, largest count first. Not stable: the exact pivot
// choice and partition decide the order of equal counts, and so which unused colours
// fill a mode's spare logical colours.
void SortCountsDescending(std::array<ColourCount, 8>& entries);

// Writes the mode's first colourCount logical colours from the most frequent physical
// colours of `picture`, sampled raw at 320 x previewHeight in picture 9.
void AutoPalette(int picture, int mode);
