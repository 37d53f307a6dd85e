#include "imaging/icon_directory.h"

#include "imaging/byte_cursor.h"

#include <cstddef>

namespace {

constexpr std::size_t kDirectoryHeader = 6;
constexpr std::size_t kEntryBytes = 16;

// The information header sizes a bitmap inside an icon may have (core, version 3,
// with bit fields, version 4, version 5), or a PNG.
bool ImageBeginsAt(std::span<const std::uint8_t> file, std::uint64_t offset) {
    if (offset >= file.size()) {
        return false;
    }
    ByteCursor cursor(file, static_cast<std::size_t>(offset));
    const std::uint32_t headerSize = cursor.U32LE();
    if (!cursor.ok) {
        return false;
    }
    if (headerSize == 0x474E5089u) { // "\x89PNG"
        return true;
    }
    return headerSize == 12 || headerSize == 40 || headerSize == 52 || headerSize == 56 ||
           headerSize == 108 || headerSize == 124;
}

} // namespace

bool LooksLikeIconDirectory(std::span<const std::uint8_t> file) {
    ByteCursor cursor(file);
    const unsigned reserved = cursor.U16LE();
    const unsigned type = cursor.U16LE();
    const unsigned count = cursor.U16LE();
    if (!cursor.ok || reserved != 0 || (type != 1 && type != 2) || count == 0 ||
        kDirectoryHeader + kEntryBytes * count > file.size()) {
        return false;
    }
    for (unsigned i = 0; i < count; ++i) {
        cursor.Skip(8); // width, height, colours, reserved, planes or hot spot, depth or hot spot
        const std::uint32_t bytes = cursor.U32LE();
        const std::uint32_t offset = cursor.U32LE();
        if (!cursor.ok || bytes == 0 || offset < kDirectoryHeader + kEntryBytes * count ||
            !ImageBeginsAt(file, offset)) {
            return false;
        }
    }
    return true;
}

std::optional<std::vector<std::uint8_t>> IconTransparencyMask(std::span<const std::uint8_t> file, int index,
                                                              int width, int height) {
    if (!LooksLikeIconDirectory(file) || index < 0 || width <= 0 || height <= 0) {
        return std::nullopt;
    }
    ByteCursor entry(file, kDirectoryHeader + kEntryBytes * static_cast<std::size_t>(index) + 12);
    const std::uint32_t offset = entry.U32LE();
    ByteCursor header(file, offset);
    const std::uint32_t headerSize = header.U32LE();
    const std::uint32_t storedWidth = header.U32LE();
    const std::uint32_t storedHeight = header.U32LE(); // the colour rows and the mask's
    header.Skip(2);                                    // planes
    const unsigned bits = header.U16LE();
    const std::uint32_t compression = header.U32LE();
    header.Skip(12); // image size, resolution
    const std::uint32_t coloursUsed = header.U32LE();
    if (!entry.ok || !header.ok || headerSize < 40 || headerSize == 0x474E5089u || bits == 0 || bits >= 32 ||
        compression != 0 || storedWidth != static_cast<std::uint32_t>(width) ||
        storedHeight != 2 * static_cast<std::uint32_t>(height)) {
        return std::nullopt;
    }
    const std::uint64_t palette = bits <= 8 ? (coloursUsed != 0 ? coloursUsed : 1u << bits) : 0;
    const std::uint64_t colourRow = (std::uint64_t{storedWidth} * bits + 31) / 32 * 4;
    const std::uint64_t maskRow = (std::uint64_t{storedWidth} + 31) / 32 * 4;
    const std::uint64_t maskStart = std::uint64_t{offset} + headerSize + palette * 4 + colourRow * height;
    if (maskStart + maskRow * height > file.size()) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> mask(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        // Rows are stored bottom row first, the leftmost pixel in each byte's top bit.
        const std::uint8_t* row =
            file.data() + maskStart + maskRow * static_cast<std::uint64_t>(height - 1 - y);
        for (int x = 0; x < width; ++x) {
            mask[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                 static_cast<std::size_t>(x)] = (row[x / 8] >> (7 - x % 8)) & 1u;
        }
    }
    return mask;
}
