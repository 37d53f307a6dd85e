// The Targa reader: uncompressed (type 2) and run-length-encoded (type 10) true-colour
// pictures of 15, 16, 24 or 32 bits per pixel.
#pragma once

#include "imaging/picture.h"
#include "imaging/picture_reader.h"

#include <cstdint>
#include <optional>
#include <span>

// Accepts a file whose header is a plausible true-colour one (image type 2 or 10,
// colour-map type 0 or 1, a depth of 15, 16, 24 or 32, a non-empty size, a file at least
// as long as header, identification field and colour map), reporting its size. Refuses
// it when uncompressed data do not hold every pixel, or run-length data cannot hold one
// packet for every 128 pixels.
ReaderCheck CheckTgaPicture(std::span<const std::uint8_t> file);
// Checks and decodes; run-length data that end early leave the rest of the picture black.
std::optional<Picture> ReadTgaPicture(std::span<const std::uint8_t> file);
PictureReader TgaPictureReader();
