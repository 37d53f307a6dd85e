#include "imaging/pixel_buffer.h"

#include "imaging/picture.h"

#include <algorithm>

int CopyImageToBuffer(int picture, std::span<BufferWord> buffer) {
    const Picture* source = FindPicture(picture);
    if (source != nullptr && buffer.size() >= source->pixels.size()) {
        std::copy(source->pixels.begin(), source->pixels.end(), buffer.begin());
    }
    return 0;
}

void CopyBufferToImage(std::span<const BufferWord> buffer, int picture) {
    Picture* target = FindPicture(picture);
    if (target == nullptr || buffer.size() < target->pixels.size()) {
        return;
    }
    // The store keeps bits 24-31 clear; a buffer word's fourth byte carries no colour.
    std::transform(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(target->pixels.size()),
                   target->pixels.begin(), [](BufferWord word) { return word & 0x00FFFFFFu; });
}
