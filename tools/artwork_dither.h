// The ordered dither of the program's artwork (the About banner, the icon): a channel
// becomes 0 or 255 by a 4 x 4 threshold, so every colour is one of the machine's eight.
#pragma once

#include <array>
#include <cstddef>

inline int ArtworkThreshold(int channel, int x, int y) {
    constexpr std::array<int, 16> kBayer{0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5};
    const int limit = (kBayer[static_cast<std::size_t>((y % 4) * 4 + (x % 4))] * 255 + 127) / 16;
    return channel > limit ? 255 : 0;
}
