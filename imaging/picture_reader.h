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

// A size in pixels as the picture is shown (after any orientation).
struct DecodeSize {
    std::int64_t width = 0;
    std::int64_t height = 0;
};

struct PictureReader {
    std::string name; // shown by the command-line converter's "info"
    std::function<ReaderCheck(std::span<const std::uint8_t> file, std::string_view path)> check;
    std::function<std::optional<Picture>(std::span<const std::uint8_t> file, std::string_view path)> decode;
    // Optional, for a format that can be decoded smaller for less work: a picture at
    // least `atLeast` on each side (where the full picture is) and at most full size.
    std::function<std::optional<Picture>(std::span<const std::uint8_t> file, DecodeSize atLeast)>
        decodeReduced = {};
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
    DecodeSize fullSize;    // the file's picture at full size, even when it was decoded smaller
};

// Given a picture's full size, the smallest size the caller will reduce it to; a reader
// that can decode smaller may then do so.
using SizeNeeded = std::function<DecodeSize(DecodeSize full)>;

// Reads the file and offers it to each registered reader in turn; the first whose
// check accepts the file decodes it, and a decode failure fails the load. A size
// beyond the program's limits, or a header the file could not fill, is refused before
// any pixel is decoded.
// With `needed`, a reader that can decode smaller gives a picture of at least the size
// it returns (the caller reduces it the rest of the way).
DecodeResult DecodePictureFile(std::string_view path, const SizeNeeded& needed = nullptr);
DecodeResult DecodePictureBytes(std::span<const std::uint8_t> file, std::string_view path,
                                const SizeNeeded& needed = nullptr);
