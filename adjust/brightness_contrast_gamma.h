// Brightness, contrast and gamma: per-byte adjustments of a picture in place. The
// pending settings they are driven by (brightnessOffset, contrastAmount, gammaValue)
// live in the shared state.
#pragma once

#include "imaging/colour.h"

#include <array>
#include <cstdint>
#include <span>

using ByteTable = std::array<std::uint8_t, 256>;

// What each adjustment does to one colour byte, for every byte value.
ByteTable BrightnessTable(int offset);
ByteTable ContrastTable(float amount);
ByteTable GammaTable(float gamma); // only meaningful for 0 < gamma < 8

// Applies a byte table to the three colour bytes of every word; the fourth byte becomes 0.
void ApplyByteTable(std::span<BufferWord> pixels, const ByteTable& table);

// Each does nothing when the picture does not exist; AdjustGamma also when gamma is not
// strictly between 0 and 8.
void AdjustBrightness(int picture, int offset);
void AdjustContrast(int picture, float amount);
void AdjustGamma(int picture, float gamma);
