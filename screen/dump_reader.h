// Reading BBC Micro screen dumps: raw screen memory in character-cell order, decoded in
// a given mode with the machine's default colours for the bit depth.
#pragma once

#include "imaging/picture.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Every mode reads at most this many bytes of a dump (the screen of modes 0, 1 and 2).
constexpr std::size_t kMaxDumpBytes = 20480;

// The dump's pixels as a picture, or the reason it cannot be decoded. Never reads past
// the data or draws outside the picture; a last character row that the data covers only
// in part is decoded as far as the data goes and the rest stays black.
struct DecodedDump {
    std::optional<Picture> picture;
    std::string reason;
};
DecodedDump DecodeScreenBytes(std::span<const std::uint8_t> data, int width, int bitsPerPixel);

// Decodes into a new automatically numbered picture; 0 after reporting the failure
// through ErrorMessage.
int DecodeScreenMemory(std::span<const std::uint8_t> data, int width, int bitsPerPixel);
// Picks the mode's geometry and decodes; 0 after reporting an unknown mode number.
int ConvertBBCScreen(std::span<const std::uint8_t> data, int modeNumber);

// Asks whether to go on with a file longer than kMaxDumpBytes; true for shorter files.
bool ConfirmDumpSize(std::uint64_t fileLength);
// The first kMaxDumpBytes bytes of the file, or nothing after reporting why through
// ErrorMessage. A longer file is read only when `acceptLength` says yes to its length
// (the desktop program asks the user; the converter warns and goes on).
std::optional<std::vector<std::uint8_t>>
ReadScreenDumpFile(std::string_view path,
                   const std::function<bool(std::uint64_t fileLength)>& acceptLength = ConfirmDumpSize);
