#include "adjust/brightness_contrast_gamma.h"

#include "imaging/picture.h"
#include "imaging/pixel_buffer.h"

#include <cmath>
#include <new>
#include <vector>

namespace {

std::uint8_t ClampedByte(double value) {
    // Clamped before the conversion, so no value outside the byte's range is converted.
    if (std::isnan(value)) {
        return 0;
    }
    return static_cast<std::uint8_t>(value < 0.0 ? 0.0 : (value > 255.0 ? 255.0 : value));
}

// Copies the picture into a buffer, maps every colour byte and copies it back.
void AdjustThroughTable(int picture, const ByteTable& table) {
    const Picture* found = FindPicture(picture);
    if (found == nullptr) {
        return;
    }
    try {
        std::vector<BufferWord> buffer(found->pixels.size());
        CopyImageToBuffer(picture, buffer);
        ApplyByteTable(buffer, table);
        CopyBufferToImage(buffer, picture);
    } catch (const std::bad_alloc&) {
        // Without room for the buffer the picture stays as it was.
    }
}

} // namespace

ByteTable BrightnessTable(int offset) {
    ByteTable table{};
    for (int v = 0; v < 256; ++v) {
        table[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(ClampChannel(v, offset));
    }
    return table;
}

ByteTable ContrastTable(float amount) {
    const auto a = static_cast<double>(amount);
    const auto factor = static_cast<float>(((a + 255.0) * 259.0) / ((259.0 - a) * 255.0));
    ByteTable table{};
    for (int v = 0; v < 256; ++v) {
        // (v - 128) x f is exact in double precision, and so is adding 128.
        double t = static_cast<double>(v - 128) * static_cast<double>(factor) + 128.0;
        if (std::isnan(t)) {
            t = 128.0; // an amount of 259 makes the factor infinite; the middle stays where it is
        }
        table[static_cast<std::size_t>(v)] = ClampedByte(RoundHalfEven(t));
    }
    return table;
}

ByteTable GammaTable(float gamma) {
    const float exponent = 1.0F / gamma;
    ByteTable table{};
    for (int v = 0; v < 256; ++v) {
        const float x = static_cast<float>(v) / 255.0F;
        const auto p = static_cast<float>(std::pow(static_cast<double>(x), static_cast<double>(exponent)));
        table[static_cast<std::size_t>(v)] = ClampedByte(RoundHalfEven(static_cast<double>(p) * 255.0));
    }
    return table;
}

void ApplyByteTable(std::span<BufferWord> pixels, const ByteTable& table) {
    for (BufferWord& word : pixels) {
        word = static_cast<BufferWord>(table[word & 0xFFu]) |
               (static_cast<BufferWord>(table[(word >> 8) & 0xFFu]) << 8) |
               (static_cast<BufferWord>(table[(word >> 16) & 0xFFu]) << 16);
    }
}

void AdjustBrightness(int picture, int offset) {
    AdjustThroughTable(picture, BrightnessTable(offset));
}

void AdjustContrast(int picture, float amount) {
    AdjustThroughTable(picture, ContrastTable(amount));
}

void AdjustGamma(int picture, float gamma) {
    if (!PictureExists(picture) || !(gamma > 0.0F && gamma < 8.0F)) {
        return;
    }
    AdjustThroughTable(picture, GammaTable(gamma));
}
