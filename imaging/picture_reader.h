// The reader chain: picture readers registered in order, each a header check and a
// decode over the whole file in memory. The chain knows no reader by name, so the
// Qt-based platform loader plugs in from platform/ like any other.
#pragma once

#include "imaging/picture.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct ReaderCheck {
    bool accepted = false; // the reader recognises the file
    std::int64_t width = 0;
    std::int64_t height = 0;
    // Set when the reader recognises the file but refuses it before decoding, such as a
    // header that promises more pixel data than a file of this length could hold.
    std::string refusal = {};
};

struct PictureReader {
    std::string name; // shown by the command-line converter's "info"
    std::function<ReaderCheck(std::span<const std::uint8_t> file, std::string_view path)> check;
    std::function<std::optional<Picture>(std::span<const std::uint8_t> file, std::string_view path)> decode;
};

void RegisterPictureReader(PictureReader reader);
void ClearPictureReaders();
// The registered readers' names in the order they are tried.
std::vector<std::string> RegisteredPictureReaderNames();

// Files larger than this are not read into memory.
constexpr std::uint64_t kMaxPictureFileBytes = 512ull * 1024 * 1024;

struct DecodeResult {
    std::optional<Picture> picture;
    std::string readerName; // the reader that accepted the file, if any
    std::string reason;     // why no picture came out, for the command-line converter
    bool tooLarge = false;  // refused by the size limits; `reason` gives the size and the limits
};

// Reads the file and offers it to each registered reader in turn; the first whose
// check accepts the file decodes it, and a decode failure fails the load. A size
// beyond the program's limits, or a header the file could not fill, is refused before
// any pixel is decoded.
DecodeResult DecodePictureFile(std::string_view path);
DecodeResult DecodePictureBytes(std::span<const std::uint8_t> file, std::string_view path);
