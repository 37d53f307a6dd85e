// The pixel rows of the commonest PNG files without libpng's row-by-row machinery: the
// compressed stream inflated in one call by libdeflate, unfiltered here and written
// straight as buffer words.
#pragma once

#include "imaging/colour.h"

#include <cstddef>
#include <cstdint>
#include <span>

// The rows of a non-interlaced PNG with 8-bit RGB (`alpha` false, no tRNS) or RGBA samples,
// into `pixels` (width x height words, RGBA composited over black). `firstIdat` is the
// offset of the first IDAT chunk's data, which libpng's header reading stops at.
//
// Only a clean file is read here: every IDAT checksum right, one zlib stream that fills
// the IDAT chunks and holds exactly the rows, known filter types. Anything else returns
// false, with `pixels` in no particular state, and the caller decodes the file with
// libpng, which decides what such a file gives. So does a picture too large to inflate
// in one piece.
bool ReadPngRowsDirectly(std::span<const std::uint8_t> file, std::size_t firstIdat, std::uint32_t width,
                         std::uint32_t height, bool alpha, std::span<BufferWord> pixels);

// RGBA bytes in memory order to a buffer word, composited over black.
BufferWord RgbaOverBlack(const std::uint8_t* rgba);
