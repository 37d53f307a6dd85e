// The common shape of the whole-picture adjustments: copy the picture into a pixel
// buffer, change every word, copy it back. Words written back have a zero top byte.
#pragma once

#include "imaging/picture.h"
#include "imaging/pixel_buffer.h"

#include <vector>

template <typename WordFunction> void TransformPictureWords(int picture, WordFunction transform) {
    if (!PictureExists(picture)) {
        return;
    }
    std::vector<BufferWord> buffer(static_cast<std::size_t>(PictureWidth(picture)) *
                                   static_cast<std::size_t>(PictureHeight(picture)));
    CopyImageToBuffer(picture, buffer);
    for (BufferWord& word : buffer) {
        word = transform(word) & 0x00FFFFFFu;
    }
    CopyBufferToImage(buffer, picture);
}

// Applies one function to each of the three colour bytes of a word.
template <typename ByteFunction> BufferWord MapColourBytes(BufferWord word, ByteFunction map) {
    const auto byte = [&](int shift) {
        return static_cast<BufferWord>(map(static_cast<int>((word >> shift) & 0xFFu))) << shift;
    };
    return byte(0) | byte(8) | byte(16);
}
