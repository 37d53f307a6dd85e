// TIFF pictures through libtiff, read from memory: the first image of the file in any
// layout libtiff's RGBA interface handles, delivered as 24-bit colour. Alpha comes out
// of libtiff premultiplied, which composites it over black.
#pragma once

#include "imaging/picture_reader.h"

// Recognises a classic or big TIFF whose first image libtiff can open, and reports its size.
ReaderCheck CheckTiff(std::span<const std::uint8_t> file);
std::optional<Picture> DecodeTiff(std::span<const std::uint8_t> file);

PictureReader TiffPictureReader();
