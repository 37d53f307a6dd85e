// Pictures written as PNG (libpng: 8-bit RGB, not interlaced, row filter none,
// compression level 9), JPEG (libjpeg: RGB, default settings, quality 70) and BMP
// (uncompressed 24-bit, rows bottom-up, each padded to a multiple of 4 bytes).
// The encoders work in memory; the Write... procedures store the result through
// WriteFileAtomically, so a failed save leaves an earlier file as it was.
#pragma once

#include "imaging/picture.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

constexpr int kJpegQuality = 70;

// Each gives nothing for an empty picture or when the encoder fails.
std::optional<std::vector<std::uint8_t>> EncodePng(const Picture& picture);
std::optional<std::vector<std::uint8_t>> EncodeJpeg(const Picture& picture);
std::optional<std::vector<std::uint8_t>> EncodeBmp(const Picture& picture);

// False with a reason naming the file when the picture cannot be encoded or written.
bool WritePngFile(const Picture& picture, std::string_view path, std::string& reason);
bool WriteJpegFile(const Picture& picture, std::string_view path, std::string& reason);
bool WriteBmpFile(const Picture& picture, std::string_view path, std::string& reason);
