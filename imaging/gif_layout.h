// Where a GIF's first frame lies on its logical screen, read from the file's blocks
// without decoding any pixel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

struct GifLayout {
    int screenWidth = 0;
    int screenHeight = 0;
    int frameLeft = 0;
    int frameTop = 0;
    int frameWidth = 0;
    int frameHeight = 0;
};

// The logical screen and the first image descriptor; nothing when the file is no GIF or
// ends before its first frame. A screen side of zero reaches to the frame's far edge.
std::optional<GifLayout> ReadGifLayout(std::span<const std::uint8_t> file);

// LZW codes are at most 12 bits long and stand for at most 4092 pixels, so a GIF's data
// hold at most 2730 pixels a byte: whether a file this long could fill the first frame
// and the logical screen it is shown on (a screen of metres around a few bytes of frame
// would cost its whole size in memory).
bool GifCanHoldPicture(const GifLayout& layout, std::size_t fileBytes);
