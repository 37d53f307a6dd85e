// The Portable Pixmap reader: text ("P3") and binary ("P6") colour pixmaps.
#pragma once

#include "imaging/picture.h"
#include "imaging/picture_reader.h"

#include <cstdint>
#include <optional>
#include <span>

// Accepts a "P3" or "P6" file whose width, height and maxval (1-65535) can be read,
// reporting width and height; refuses it when the rest of the file is too short for the
// samples (one byte each in "P6", two above maxval 255; at least two characters each
// in "P3").
ReaderCheck CheckPpmPicture(std::span<const std::uint8_t> file);
// Checks and decodes; samples that end early or are not numbers fail the decode, as
// they do in the common tools.
std::optional<Picture> ReadPpmPicture(std::span<const std::uint8_t> file);
PictureReader PpmPictureReader();
