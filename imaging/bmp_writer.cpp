#include "imaging/picture_writer.h"

#include <new>

namespace {

constexpr std::uint32_t kFileHeaderBytes = 14;
constexpr std::uint32_t kInfoHeaderBytes = 40;

void PutLittleEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

} // namespace

std::optional<std::vector<std::uint8_t>> EncodeBmp(const Picture& picture) {
    if (!IsAcceptablePictureSize(picture.width, picture.height) ||
        picture.pixels.size() != std::size_t(picture.width) * std::size_t(picture.height)) {
        return std::nullopt;
    }
    const std::uint64_t rowBytes = (std::uint64_t(picture.width) * 3 + 3) / 4 * 4;
    const std::uint64_t imageBytes = rowBytes * std::uint64_t(picture.height);
    const std::uint64_t fileBytes = kFileHeaderBytes + kInfoHeaderBytes + imageBytes;
    if (fileBytes > UINT32_MAX) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> out;
    try {
        out.reserve(static_cast<std::size_t>(fileBytes));
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    out.push_back('B');
    out.push_back('M');
    PutLittleEndian(out, static_cast<std::uint32_t>(fileBytes), 4);
    PutLittleEndian(out, 0, 4); // reserved
    PutLittleEndian(out, kFileHeaderBytes + kInfoHeaderBytes, 4);

    PutLittleEndian(out, kInfoHeaderBytes, 4);
    PutLittleEndian(out, static_cast<std::uint32_t>(picture.width), 4);
    PutLittleEndian(out, static_cast<std::uint32_t>(picture.height), 4); // positive: bottom-up
    PutLittleEndian(out, 1, 2);                                          // planes
    PutLittleEndian(out, 24, 2);                                         // bits per pixel
    PutLittleEndian(out, 0, 4);                                          // no compression
    PutLittleEndian(out, static_cast<std::uint32_t>(imageBytes), 4);
    PutLittleEndian(out, 0, 4); // horizontal resolution: not stated
    PutLittleEndian(out, 0, 4); // vertical resolution
    PutLittleEndian(out, 0, 4); // colours used: no table
    PutLittleEndian(out, 0, 4); // important colours

    const std::size_t padding = static_cast<std::size_t>(rowBytes) - std::size_t(picture.width) * 3;
    for (int y = picture.height - 1; y >= 0; --y) {
        const BufferWord* row = picture.pixels.data() + std::size_t(y) * std::size_t(picture.width);
        for (int x = 0; x < picture.width; ++x) {
            // A buffer word's bytes are already blue, green, red from the lowest up.
            out.push_back(static_cast<std::uint8_t>(row[x]));
            out.push_back(static_cast<std::uint8_t>(row[x] >> 8));
            out.push_back(static_cast<std::uint8_t>(row[x] >> 16));
        }
        out.insert(out.end(), padding, 0);
    }
    return out;
}
