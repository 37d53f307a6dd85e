// JPEG pictures read through libjpeg: baseline, progressive, greyscale, YCbCr and CMYK
// (Adobe's inverted form included), turned the right way up by their EXIF orientation.
#pragma once

#include "imaging/picture_reader.h"

#include <cstdint>
#include <optional>
#include <span>

// Header only: accepts a JPEG and reports its size as shown (after the orientation).
ReaderCheck CheckJpegPicture(std::span<const std::uint8_t> file);
std::optional<Picture> ReadJpegPicture(std::span<const std::uint8_t> file);

// The EXIF orientation (1-8) of a JPEG's APP1 segment; 1 when there is none.
int JpegExifOrientation(std::span<const std::uint8_t> app1);

PictureReader JpegPictureReader();
