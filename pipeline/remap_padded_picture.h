// The picture with spare columns either side of every row and spare rows below, so that
// shares that would leave the picture land in the spare pixels instead of being tested for.
#pragma once

#include "imaging/colour.h"
#include "pipeline/remap_shares.h"

#include <cstddef>
#include <span>
#include <vector>

namespace remap_detail {

// The picture with spare columns and rows around it; row y starts at Row(y).
struct PaddedPicture {
    std::vector<BufferWord> words;
    std::size_t stride = 0;
    int width = 0;
    int height = 0;

    BufferWord* Row(int y) { return words.data() + static_cast<std::size_t>(y) * stride + kMargin; }
};

// A copy of the width x height words with `spareRows` spare rows, their fourth bytes cleared.
PaddedPicture Pad(std::span<const BufferWord> pixels, int width, int height, int spareRows);

// The picture's own words back into `pixels`.
void Unpad(PaddedPicture& padded, std::span<BufferWord> pixels);

} // namespace remap_detail
