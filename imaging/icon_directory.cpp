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
