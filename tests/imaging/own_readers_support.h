// Helpers for the tests of the program's own picture readers: files from disk, the
// shared corpus, reference renderings as PNG, and the byte-flip and truncation sweep.
#pragma once

#include "imaging/picture.h"
#include "imaging/picture_reader.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path);

// The shared corpus beside the checkout, or nothing when it is absent.
std::optional<std::filesystem::path> CorpusFolder();

struct Rendering {
    Picture picture;                 // colours as buffer words
    std::vector<std::uint8_t> alpha; // one per pixel
};
// Reads a reference rendering (any PNG) as 8-bit RGBA.
std::optional<Rendering> LoadPngRendering(const std::filesystem::path& path);

// Counts pixels whose colour differs; pixels that are fully transparent in the
// reference count only when `includeTransparent` is set. -1 when the sizes differ.
long CountDifferentPixels(const Picture& got, const Rendering& wanted, bool includeTransparent);

// Feeds `decode` the file with every byte in [0, headerBytes) and every `stride`-th
// byte after it replaced by each of a few values, then every truncation of the file.
void SweepMutations(std::span<const std::uint8_t> file, std::size_t headerBytes, std::size_t stride,
                    const std::function<void(std::span<const std::uint8_t>)>& decode);

// Sweeps every byte of `file` through a reader's check and decode; every picture that
// comes out must have the size the check gave. Returns how many mutants decoded.
long SweepReader(std::span<const std::uint8_t> file,
                 const std::function<ReaderCheck(std::span<const std::uint8_t>)>& check,
                 const std::function<std::optional<Picture>(std::span<const std::uint8_t>)>& read);

// Big-endian and little-endian appenders for hand-built files.
void PutU16BE(std::vector<std::uint8_t>& out, unsigned value);
void PutU32BE(std::vector<std::uint8_t>& out, std::uint32_t value);
void PutU16LE(std::vector<std::uint8_t>& out, unsigned value);
void PutText(std::vector<std::uint8_t>& out, const std::string& text);

// The decoded pixel at x, y as a buffer word.
inline BufferWord PixelAt(const Picture& picture, int x, int y) {
    return picture.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(picture.width) +
                          static_cast<std::size_t>(x)];
}

// Runs `read` over every file of tests/data/malformed/<folder>: a name starting with
// "partial-" must decode with some colour and a black last pixel, "decodes-" must
// decode, every other file must give no picture, and a "too-short-" file must be
// accepted and refused by `check`. Returns the number of files seen.
int CheckMalformedFiles(const std::string& folder,
                        const std::function<std::optional<Picture>(std::span<const std::uint8_t>)>& read,
                        const std::function<ReaderCheck(std::span<const std::uint8_t>)>& check);
