#include "pipeline/remap_padded_picture.h"

#include <algorithm>

namespace remap_detail {

PaddedPicture Pad(std::span<const BufferWord> pixels, int width, int height, int spareRows) {
    PaddedPicture padded;
    padded.width = width;
    padded.height = height;
    padded.stride = static_cast<std::size_t>(width) + 2 * kMargin;
    padded.words.assign(padded.stride * static_cast<std::size_t>(height + spareRows), 0u);
    for (int y = 0; y < height; ++y) {
        const BufferWord* in = pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        // The fourth byte carries no colour; the pass must not see it.
        std::transform(in, in + width, padded.Row(y), [](BufferWord word) { return word & 0x00FFFFFFu; });
    }
    return padded;
}

void Unpad(PaddedPicture& padded, std::span<BufferWord> pixels) {
    for (int y = 0; y < padded.height; ++y) {
        const BufferWord* row = padded.Row(y);
        std::copy(row, row + padded.width,
                  pixels.begin() +
                      static_cast<std::ptrdiff_t>(y) * static_cast<std::ptrdiff_t>(padded.width));
    }
}

} // namespace remap_detail
