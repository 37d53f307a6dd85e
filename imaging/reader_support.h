// Small pieces the program's own picture readers share.
#pragma once

#include "imaging/colour.h"
#include "imaging/picture.h"

#include <cstddef>
#include <cstdint>
#include <new>
#include <optional>

// A black picture of the size a header gives, or nothing when the size is not one the
// program accepts or memory runs out. Readers call this before decoding any pixel.
inline std::optional<Picture> AllocatePicture(std::int64_t width, std::int64_t height) {
    if (!IsAcceptablePictureSize(width, height)) {
        return std::nullopt;
    }
    try {
        Picture picture;
        picture.width = static_cast<int>(width);
        picture.height = static_cast<int>(height);
        picture.pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
        return picture;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

constexpr BufferWord BufferWordOf(unsigned red, unsigned green, unsigned blue) {
    return ((red & 0xFFu) << 16) | ((green & 0xFFu) << 8) | (blue & 0xFFu);
}
