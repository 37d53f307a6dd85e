// JPEG pictures read through libjpeg: baseline, progressive, greyscale, YCbCr and CMYK
// (Adobe's inverted form included), turned the right way up by their EXIF orientation.
#pragma once

#include "imaging/picture_reader.h"

#include <cstdint>
#include <optional>
#include <span>

// Header only: accepts a JPEG and reports its size as shown (after the orientation).
ReaderCheck CheckJpegPicture(std::span<const std::uint8_t> file);
// The whole picture at full size; with `atLeast` (as shown), decoded at the smallest of libjpeg's
// scales 1/8 to 8/8 that still gives at least that size on each side, for less work
// when the caller reduces it anyway.
std::optional<Picture> ReadJpegPicture(std::span<const std::uint8_t> file,
                                       std::optional<DecodeSize> atLeast = std::nullopt);

// The EXIF orientation (1-8) of a JPEG's APP1 segment; 1 when there is none.
int JpegExifOrientation(std::span<const std::uint8_t> app1);

PictureReader JpegPictureReader();
