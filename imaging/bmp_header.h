// The few fields of a bitmap's header that the program checks before and after Qt's
// bitmap loader decodes the file.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

struct BmpHeader {
    std::uint32_t dataStart = 0;
    std::int64_t width = 0;
    std::int64_t height = 0; // negative for a top-down bitmap
    unsigned bitsPerPixel = 0;
    std::uint32_t compression = 0;
    std::array<std::uint32_t, 3> masks{}; // red, green, blue; zero when the header gives none
};

std::optional<BmpHeader> ReadBmpHeader(std::span<const std::uint8_t> file);

// An uncompressed bitmap (no compression, or bit fields) must hold every row; run-length
// bitmaps and headers that cannot be read are not judged.
bool BmpCanHoldPixels(std::span<const std::uint8_t> file);

// The widths of the red, green and blue fields of a 16-bit bitmap (5, 5, 5 without bit
// fields), or nothing for any other bitmap.
std::optional<std::array<int, 3>> BmpSixteenBitFieldWidths(std::span<const std::uint8_t> file);
