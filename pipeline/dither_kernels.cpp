#include "pipeline/dither_kernels.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <string_view>
#include <utility>

std::array<DitherKernel, kDitherTableSize> ditherTable{};

namespace {

// One kernel as written down: every cell a fraction over the kernel's common
// denominator; the current pixel is marked by kX.
constexpr int kX = -1;

struct KernelSource {
    std::int8_t index;
    std::string_view name;
    int width;
    int height;
    int denominator;
    std::array<int, 40> numerators; // row by row, kX for the current pixel
};

// Stored order: indices 1 to 16, then "None", whose index 0 ends the reading.
constexpr std::array<KernelSource, 17> kKernelSources{{
    {1, "Simple", 2, 2, 2, {kX, 1, 1, 0}},
    {2, "Simple 2", 2, 2, 5, {kX, 2, 2, 1}},
    {3, "Atkinson", 4, 3, 8, {0, kX, 1, 1, 1, 1, 1, 0, 0, 1, 0, 0}},
    {4, "Burkes", 5, 2, 32, {0, 0, kX, 8, 4, 2, 4, 8, 4, 2}},
    {5, "Floyd-Steinberg", 3, 2, 16, {0, kX, 7, 3, 5, 1}},
    {6, "Floyd-Steinberg (False)", 2, 2, 8, {kX, 3, 3, 2}},
    {7, "Floyd-Steinberg (Fan Modified)", 4, 2, 16, {0, 0, kX, 7, 1, 3, 5, 0}},
    {8, "Jarvis-Judice-Ninke", 5, 3, 48, {0, 0, kX, 7, 5, 3, 5, 7, 5, 3, 1, 3, 5, 3, 1}},
    {9, "Sierra-2-4A", 3, 2, 4, {0, kX, 2, 1, 1, 0}},
    {10, "Sierra2", 5, 2, 16, {0, 0, kX, 4, 3, 1, 2, 3, 2, 1}},
    {11, "Sierra3", 5, 3, 32, {0, 0, kX, 5, 3, 2, 4, 5, 4, 2, 0, 2, 3, 2, 0}},
    {12, "Shiau-Fan", 5, 2, 16, {0, 0, 0, kX, 8, 1, 1, 2, 4, 0}},
    {13, "Shiau-Fan (Varn Modified)", 4, 2, 16, {0, 0, kX, 8, 1, 2, 4, 1}},
    {14, "Stevenson-Arce", 7, 4, 200, {0, 0,  0, kX, 0, 32, 0, 12, 0, 26, 0, 30, 0, 16, //
                                       0, 12, 0, 26, 0, 12, 0, 5,  0, 12, 0, 12, 0, 5}},
    {15, "Stucki", 5, 3, 42, {0, 0, kX, 8, 4, 2, 4, 8, 4, 2, 1, 2, 4, 2, 1}},
    {16, "Stucki (Varn Modified)", 8, 5, 52, {0, 0, 0, kX, 8, 4, 2, 1, //
                                              1, 2, 4, 8,  4, 2, 1, 0, //
                                              0, 1, 2, 4,  2, 1, 0, 0, //
                                              0, 0, 1, 2,  1, 0, 0, 0, //
                                              0, 0, 0, 1,  0, 0, 0, 0}},
    {0, "None", 1, 1, 1, {kX}},
}};

constexpr std::size_t StoredSize() {
    std::size_t size = 0;
    for (const KernelSource& kernel : kKernelSources) {
        size +=
            1 + kernel.name.size() + 1 + 2 + 2 + 4 * static_cast<std::size_t>(kernel.width * kernel.height);
    }
    return size;
}

// IEEE division of two exactly representable integers is correctly rounded, so each
// weight is the single-precision value nearest to its fraction.
constexpr float CellValue(int numerator, int denominator) {
    return numerator == kX ? 1.0F : static_cast<float>(numerator) / static_cast<float>(denominator);
}

constexpr std::array<std::uint8_t, StoredSize()> BuildStoredKernels() {
    std::array<std::uint8_t, StoredSize()> bytes{};
    std::size_t at = 0;
    auto put16 = [&](int value) {
        const auto bits = static_cast<std::uint16_t>(value);
        bytes[at++] = static_cast<std::uint8_t>(bits & 0xFFu);
        bytes[at++] = static_cast<std::uint8_t>(bits >> 8);
    };
    for (const KernelSource& kernel : kKernelSources) {
        bytes[at++] = static_cast<std::uint8_t>(kernel.index);
        for (const char c : kernel.name) {
            bytes[at++] = static_cast<std::uint8_t>(c);
        }
        bytes[at++] = 0;
        put16(kernel.width);
        put16(kernel.height);
        for (int cell = 0; cell < kernel.width * kernel.height; ++cell) {
            const auto bits = std::bit_cast<std::uint32_t>(
                CellValue(kernel.numerators[static_cast<std::size_t>(cell)], kernel.denominator));
            for (int shift = 0; shift < 32; shift += 8) {
                bytes[at++] = static_cast<std::uint8_t>((bits >> shift) & 0xFFu);
            }
        }
    }
    return bytes;
}

constexpr std::array<std::uint8_t, StoredSize()> kStoredKernels = BuildStoredKernels();
static_assert(kStoredKernels.size() == 1106);

// Reads from the stored sequence; reads past its end give 0 and clear ok.
struct Cursor {
    std::span<const std::uint8_t> bytes;
    std::size_t at = 0;
    bool ok = true;

    std::uint8_t Byte() {
        if (at >= bytes.size()) {
            ok = false;
            return 0;
        }
        return bytes[at++];
    }
    std::int16_t Int16() {
        const unsigned low = Byte();
        const unsigned high = Byte();
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(low | (high << 8)));
    }
    float Float() {
        std::uint32_t bits = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            bits |= static_cast<std::uint32_t>(Byte()) << shift;
        }
        return std::bit_cast<float>(bits);
    }
};

} // namespace

std::span<const std::uint8_t> StoredDitherKernels() {
    return kStoredKernels;
}

void LoadDitherKernels() {
    Cursor cursor{StoredDitherKernels()};
    while (cursor.ok) {
        const int index = static_cast<std::int8_t>(cursor.Byte());
        std::string name;
        for (std::uint8_t c = cursor.Byte(); c != 0 && cursor.ok; c = cursor.Byte()) {
            name += static_cast<char>(c);
        }
        const std::int16_t width = cursor.Int16();
        const std::int16_t height = cursor.Int16();
        if (!cursor.ok || index < 0 || width < 0 || height < 0 || width * height > 256) {
            return; // never for the program's own data; guards the table all the same
        }
        DitherKernel& kernel = ditherTable[static_cast<std::size_t>(index)];
        kernel.name = std::move(name);
        kernel.width = width;
        kernel.height = height;
        kernel.cells.fill(0.0F);
        for (int cell = 0; cell < width * height; ++cell) {
            kernel.cells[static_cast<std::size_t>(cell)] = cursor.Float();
        }
        if (index == 0) {
            return;
        }
    }
}

int KernelOriginColumn(const DitherKernel& kernel) {
    int origin = 0;
    const int columns = std::min<int>(kernel.width, static_cast<int>(kernel.cells.size()));
    for (int column = 0; column < columns; ++column) {
        if (kernel.cells[static_cast<std::size_t>(column)] == 1.0F) {
            origin = column;
        }
    }
    return origin;
}
