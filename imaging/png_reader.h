// PNG pictures through libpng: any colour type, bit depth and interlacing, delivered
// as 24-bit colour. Transparent pixels are composited over black.
#pragma once

#include "imaging/picture_reader.h"

// Recognises the PNG signature followed by an IHDR chunk and reports its size.
ReaderCheck CheckPng(std::span<const std::uint8_t> file);
// Decodes the whole file; nothing for a damaged or truncated file or an unacceptable size.
std::optional<Picture> DecodePng(std::span<const std::uint8_t> file);

PictureReader PngPictureReader();
