// Small pieces the program's own picture readers share.
#pragma once

#include "imaging/colour.h"
#include "imaging/picture.h"

#include <cstddef>
#include <cstdint>
#include <new>
#include <optional>
#include <string>

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

// The refusal of a header whose pixel data no file of this length could hold, even at
// its format's densest encoding: decoding it would cost time and memory that the file
// itself does not account for.
inline std::string FileTooShortRefusal(std::int64_t width, std::int64_t height) {
    return "The file is too short to hold the " + std::to_string(width) + " x " + std::to_string(height) +
           " pixels its header gives.";
}

// The fewest bytes a run-length coding with at most `perPacket` units a packet of
// `packetBytes` bytes needs for `units` units; nothing when the count overflows.
inline std::optional<std::size_t> RunLengthMinimumBytes(std::size_t units, std::size_t perPacket,
                                                        std::size_t packetBytes) {
    const std::size_t packets = units / perPacket + (units % perPacket != 0 ? 1 : 0);
    std::size_t bytes = 0;
    if (__builtin_mul_overflow(packets, packetBytes, &bytes)) {
        return std::nullopt;
    }
    return bytes;
}
