// The IFF reader: "FORM" files of type "ILBM" (bit-planes, with HAM and extra
// half-brite) and "PBM " (one byte per pixel).
#pragma once

#include "imaging/picture.h"
#include "imaging/picture_reader.h"

#include <cstdint>
#include <optional>
#include <span>

// Accepts a FORM ILBM or PBM file with a BMHD chunk whose width and height are below
// 32768, reporting them; refuses it when its BODY is too short for the picture (all of
// the planar store when stored, one ByteRun1 packet for every 128 bytes of it when packed).
ReaderCheck CheckIlbmPicture(std::span<const std::uint8_t> file);
// Checks and decodes; no picture when the file is declined or its decode fails.
std::optional<Picture> ReadIlbmPicture(std::span<const std::uint8_t> file);
PictureReader IlbmPictureReader();
