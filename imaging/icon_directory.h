// Whether a file that begins as an icon or a cursor does (reserved 0, type 1 or 2) holds
// a directory that could be one. Qt's icon reader takes any file that begins 00 00 01 00
// or 00 00 02 00, and so does every uncompressed Targa file without an identification
// field or colour map (00 00 02 00): the chain must not give those to the icon loader.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// At least one entry, every entry inside the file, and each entry's image inside the
// file, beginning with a bitmap information header or a PNG signature.
bool LooksLikeIconDirectory(std::span<const std::uint8_t> file);

// The AND mask of the directory's entry `index` when its image is a bitmap of fewer than
// 32 bits a pixel (such images carry no alpha of their own): one byte a pixel, top row
// first, non-zero where the icon is transparent. Nothing for a PNG, a 32-bit bitmap, a
// size other than `width` x `height`, or a mask the file does not hold whole.
std::optional<std::vector<std::uint8_t>> IconTransparencyMask(std::span<const std::uint8_t> file, int index,
                                                              int width, int height);
