#include "own_readers_support.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <png.h>

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::optional<std::filesystem::path> CorpusFolder() {
    const std::filesystem::path folder(QUILLMORPH_CORPUS);
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) {
        return std::nullopt;
    }
    return folder;
}

std::optional<Rendering> LoadPngRendering(const std::filesystem::path& path) {
    const std::vector<std::uint8_t> bytes = ReadBytes(path);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (bytes.empty() || png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()) == 0) {
        return std::nullopt;
    }
    image.format = PNG_FORMAT_RGBA;
    std::vector<std::uint8_t> rgba(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr) == 0) {
        png_image_free(&image);
        return std::nullopt;
    }
    Rendering rendering;
    rendering.picture.width = static_cast<int>(image.width);
    rendering.picture.height = static_cast<int>(image.height);
    const std::size_t count = static_cast<std::size_t>(image.width) * image.height;
    rendering.picture.pixels.resize(count);
    rendering.alpha.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* p = &rgba[i * 4];
        rendering.picture.pixels[i] =
            (static_cast<BufferWord>(p[0]) << 16) | (static_cast<BufferWord>(p[1]) << 8) | p[2];
        rendering.alpha[i] = p[3];
    }
    return rendering;
}

long CountDifferentPixels(const Picture& got, const Rendering& wanted, bool includeTransparent) {
    if (got.width != wanted.picture.width || got.height != wanted.picture.height) {
        return -1;
    }
    long different = 0;
    for (std::size_t i = 0; i < got.pixels.size(); ++i) {
        if ((includeTransparent || wanted.alpha[i] != 0) && got.pixels[i] != wanted.picture.pixels[i]) {
            ++different;
        }
    }
    return different;
}

void SweepMutations(std::span<const std::uint8_t> file, std::size_t headerBytes, std::size_t stride,
                    const std::function<void(std::span<const std::uint8_t>)>& decode) {
    std::vector<std::uint8_t> copy(file.begin(), file.end());
    static constexpr std::uint8_t kValues[] = {0x00, 0xFF, 0x80, 0x7F, 0x01};
    for (std::size_t i = 0; i < copy.size(); i += (i < headerBytes ? 1 : stride)) {
        const std::uint8_t original = copy[i];
        for (const std::uint8_t value : kValues) {
            copy[i] = value;
            decode(copy);
        }
        copy[i] = static_cast<std::uint8_t>(original ^ 0x55);
        decode(copy);
        copy[i] = original;
    }
    for (std::size_t length = 0; length <= file.size(); ++length) {
        decode(file.first(length));
    }
}

void PutU16BE(std::vector<std::uint8_t>& out, unsigned value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}
void PutU32BE(std::vector<std::uint8_t>& out, std::uint32_t value) {
    PutU16BE(out, value >> 16);
    PutU16BE(out, value & 0xFFFFu);
}
void PutU16LE(std::vector<std::uint8_t>& out, unsigned value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}
void PutText(std::vector<std::uint8_t>& out, const std::string& text) {
    out.insert(out.end(), text.begin(), text.end());
}

int CheckMalformedFiles(const std::string& folder,
                        const std::function<std::optional<Picture>(std::span<const std::uint8_t>)>& read,
                        const std::function<ReaderCheck(std::span<const std::uint8_t>)>& check) {
    int seen = 0;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(QUILLMORPH_TEST_DATA) /
                                                                 "malformed" / folder)) {
        const std::string name = entry.path().filename().string();
        const std::vector<std::uint8_t> bytes = ReadBytes(entry.path());
        const std::optional<Picture> picture = read(bytes);
        ++seen;
        if (name.starts_with("too-short-")) {
            const ReaderCheck checked = check(bytes);
            EXPECT_TRUE(checked.accepted && !checked.refusal.empty()) << name;
        }
        if (name.starts_with("partial-")) {
            EXPECT_TRUE(picture.has_value()) << name;
            if (!picture) {
                continue;
            }
            EXPECT_EQ(picture->pixels.back(), 0u) << name;
            EXPECT_TRUE(std::any_of(picture->pixels.begin(), picture->pixels.end(), [](BufferWord w) {
                return w != 0;
            })) << name;
        } else if (name.starts_with("decodes-")) {
            EXPECT_TRUE(picture.has_value()) << name;
        } else {
            EXPECT_FALSE(picture.has_value()) << name;
        }
    }
    return seen;
}

long SweepReader(std::span<const std::uint8_t> file,
                 const std::function<ReaderCheck(std::span<const std::uint8_t>)>& check,
                 const std::function<std::optional<Picture>(std::span<const std::uint8_t>)>& read) {
    long decoded = 0;
    SweepMutations(file, file.size(), 1, [&](std::span<const std::uint8_t> bytes) {
        const ReaderCheck checked = check(bytes);
        const std::optional<Picture> picture = read(bytes);
        if (picture) {
            ++decoded;
            ASSERT_TRUE(checked.accepted);
            ASSERT_EQ(picture->pixels.size(), static_cast<std::size_t>(checked.width * checked.height));
        }
    });
    return decoded;
}
