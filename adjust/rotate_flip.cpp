#include "adjust/rotate_flip.h"

#include "imaging/picture.h"
#include "imaging/pixel_buffer.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

std::vector<BufferWord> BufferOf(int picture) {
    std::vector<BufferWord> buffer(static_cast<std::size_t>(PictureWidth(picture)) *
                                   static_cast<std::size_t>(PictureHeight(picture)));
    CopyImageToBuffer(picture, buffer);
    return buffer;
}

// Moves every word of the picture to the place `target(x, y)` gives in a picture of
// newWidth x newHeight, which then replaces the old one under the same number.
template <typename Target> void Rearrange(int picture, int newWidth, int newHeight, Target target) {
    if (!PictureExists(picture)) {
        return;
    }
    const int width = PictureWidth(picture);
    const int height = PictureHeight(picture);
    const std::vector<BufferWord> source = BufferOf(picture);
    Picture result{newWidth, newHeight, std::vector<BufferWord>(source.size())};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            result.pixels[target(x, y)] = source[static_cast<std::size_t>(y) * width + x] & 0x00FFFFFFu;
        }
    }
    StorePicture(picture, std::move(result));
}

} // namespace

void RotateImageLeft90(int picture) {
    const int w = PictureWidth(picture);
    const int h = PictureHeight(picture);
    Rearrange(picture, h, w, [w, h](int x, int y) { return static_cast<std::size_t>(w - 1 - x) * h + y; });
}

void RotateImageRight90(int picture) {
    const int w = PictureWidth(picture);
    const int h = PictureHeight(picture);
    Rearrange(picture, h, w, [h](int x, int y) { return static_cast<std::size_t>(x) * h + (h - 1 - y); });
}

void RotateImage180(int picture) {
    if (!PictureExists(picture)) {
        return;
    }
    std::vector<BufferWord> buffer = BufferOf(picture);
    std::reverse(buffer.begin(), buffer.end());
    CopyBufferToImage(buffer, picture);
}

void FlipImageHorizontally(int picture) {
    if (!PictureExists(picture)) {
        return;
    }
    const auto width = static_cast<std::size_t>(PictureWidth(picture));
    std::vector<BufferWord> buffer = BufferOf(picture);
    for (auto row = buffer.begin(); row != buffer.end(); row += static_cast<std::ptrdiff_t>(width)) {
        std::reverse(row, row + static_cast<std::ptrdiff_t>(width));
    }
    CopyBufferToImage(buffer, picture);
}

void FlipImageVertically(int picture) {
    if (!PictureExists(picture)) {
        return;
    }
    const auto width = static_cast<std::ptrdiff_t>(PictureWidth(picture));
    std::vector<BufferWord> buffer = BufferOf(picture);
    for (auto top = buffer.begin(), bottom = buffer.end() - width; top < bottom;
         top += width, bottom -= width) {
        std::swap_ranges(top, top + width, bottom);
    }
    CopyBufferToImage(buffer, picture);
}
