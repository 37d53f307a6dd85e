#include "imaging/bmp_header.h"

#include "imaging/byte_cursor.h"
#include "imaging/checked_math.h"

#include <bit>
#include <cstdlib>

namespace {

constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::uint32_t kCoreHeaderBytes = 12;
constexpr std::uint32_t kInfoHeaderBytes = 40;
constexpr std::uint32_t kStored = 0;
constexpr std::uint32_t kBitFields = 3;
constexpr std::uint32_t kAlphaBitFields = 6;

std::uint32_t U32LE(ByteCursor& cursor) {
    const std::uint32_t low = cursor.U16LE();
    return low | (static_cast<std::uint32_t>(cursor.U16LE()) << 16);
}

} // namespace

std::optional<BmpHeader> ReadBmpHeader(std::span<const std::uint8_t> file) {
    ByteCursor cursor(file);
    if (cursor.U8() != 'B' || cursor.U8() != 'M') {
        return std::nullopt;
    }
    cursor.Skip(8); // file size and reserved words
    BmpHeader header;
    header.dataStart = U32LE(cursor);
    const std::uint32_t headerBytes = U32LE(cursor);
    if (headerBytes == kCoreHeaderBytes) {
        header.width = cursor.U16LE();
        header.height = cursor.U16LE();
        cursor.Skip(2);
        header.bitsPerPixel = cursor.U16LE();
        return cursor.ok ? std::optional(header) : std::nullopt;
    }
    header.width = static_cast<std::int32_t>(U32LE(cursor));
    header.height = static_cast<std::int32_t>(U32LE(cursor));
    cursor.Skip(2);
    header.bitsPerPixel = cursor.U16LE();
    header.compression = U32LE(cursor);
    if (header.compression == kBitFields || header.compression == kAlphaBitFields) {
        // The masks follow a 40-byte header, and lie inside the longer ones at the same place.
        cursor.position = kFileHeaderBytes + kInfoHeaderBytes;
        for (std::uint32_t& mask : header.masks) {
            mask = U32LE(cursor);
        }
    }
    return cursor.ok ? std::optional(header) : std::nullopt;
}

bool BmpCanHoldPixels(std::span<const std::uint8_t> file) {
    const std::optional<BmpHeader> header = ReadBmpHeader(file);
    if (!header) {
        return true;
    }
    const bool stored = header->compression == kStored || header->compression == kBitFields ||
                        header->compression == kAlphaBitFields;
    if (!stored || header->bitsPerPixel == 0 || header->bitsPerPixel > 64 ||
        header->dataStart < kFileHeaderBytes) {
        return true;
    }
    const std::size_t rowBytes =
        (static_cast<std::size_t>(std::llabs(header->width)) * header->bitsPerPixel + 31) / 32 * 4;
    const std::optional<std::size_t> pixelBytes =
        CheckedMul(rowBytes, static_cast<std::size_t>(std::llabs(header->height)));
    return pixelBytes && header->dataStart <= file.size() && *pixelBytes <= file.size() - header->dataStart;
}

std::optional<std::array<int, 3>> BmpSixteenBitFieldWidths(std::span<const std::uint8_t> file) {
    const std::optional<BmpHeader> header = ReadBmpHeader(file);
    if (!header || header->bitsPerPixel != 16) {
        return std::nullopt;
    }
    if (header->compression == kStored) {
        return std::array<int, 3>{5, 5, 5};
    }
    if (header->compression != kBitFields && header->compression != kAlphaBitFields) {
        return std::nullopt;
    }
    std::array<int, 3> widths{};
    for (std::size_t i = 0; i < widths.size(); ++i) {
        widths[i] = std::popcount(header->masks[i]);
    }
    return widths;
}
