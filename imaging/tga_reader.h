// The Targa reader: uncompressed (type 2) and run-length-encoded (type 10) true-colour
// pictures of 16, 24 or 32 bits per pixel.
#pragma once

#include "imaging/picture.h"
#include "imaging/picture_reader.h"

#include <cstdint>
#include <optional>
#include <span>

// Accepts a file with a whole 18-byte header whose image type is 2 or 10, reporting
// the header's width and height.
ReaderCheck CheckTgaPicture(std::span<const std::uint8_t> file);
// Checks and decodes; pixel data that end early leave the rest of the picture black.
std::optional<Picture> ReadTgaPicture(std::span<const std::uint8_t> file);
PictureReader TgaPictureReader();
