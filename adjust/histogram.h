// The histogram of a picture: counts per channel value, a luminance mix of them, and the
// graph and strip pictures the histogram window shows.
#pragma once

#include <array>
#include <cstdint>

struct HistogramData {
    std::array<std::int32_t, 256> red{};
    std::array<std::int32_t, 256> green{};
    std::array<std::int32_t, 256> blue{};
    std::array<std::int32_t, 256> luminance{}; // weighted mix of the three tables
    bool colour = false;                       // some pixel has red, green and blue not all equal
    float meanLuminance = 0;                   // M
    float barScale = 0;                        // S: bar length per count
};

// Counts picture `picture`; a missing picture gives empty tables.
HistogramData ComputeHistogram(int picture);

// A 258 x 81 graph picture of one table (black frame, white field, black bars), under a
// new automatic number.
int DrawHistogramGraph(const std::array<std::int32_t, 256>& counts, float barScale);

enum class StripChannel { Red, Green, Blue, Luminance };
// A 258 x 12 strip picture of the channel's colour scale, under a new automatic number.
int DrawHistogramStrip(StripChannel channel);

// Shows the histogram window for `picture` until it is closed, with `parentWindow`
// disabled meanwhile. Returns the window's identifier, or 0 without a picture.
int DisplayHistogram(int picture, int parentWindow);
