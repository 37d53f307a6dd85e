#include "imaging/tga_reader.h"

#include "imaging/byte_cursor.h"
#include "imaging/checked_math.h"
#include "imaging/reader_support.h"

#include <algorithm>
#include <cstddef>

namespace {

constexpr std::size_t kHeaderBytes = 18;
constexpr int kUncompressedTrueColour = 2;
constexpr int kRunLengthTrueColour = 10;
constexpr unsigned kTopOrigin = 0x20;
constexpr unsigned kRightToLeft = 0x10;

struct TgaHeader {
    unsigned idLength = 0;
    unsigned colourMapType = 0;
    unsigned imageType = 0;
    unsigned colourMapLength = 0;
    unsigned colourMapEntryBits = 0;
    unsigned width = 0;
    unsigned height = 0;
    unsigned depth = 0;
    unsigned descriptor = 0;
};

std::optional<TgaHeader> ReadHeader(std::span<const std::uint8_t> file) {
    if (file.size() < kHeaderBytes) {
        return std::nullopt;
    }
    ByteCursor cursor(file);
    TgaHeader header;
    header.idLength = cursor.U8();
    header.colourMapType = cursor.U8();
    header.imageType = cursor.U8();
    cursor.Skip(2); // first colour-map entry
    header.colourMapLength = cursor.U16LE();
    header.colourMapEntryBits = cursor.U8();
    cursor.Skip(4); // origin x and y
    header.width = cursor.U16LE();
    header.height = cursor.U16LE();
    header.depth = cursor.U8();
    header.descriptor = cursor.U8();
    return header;
}

// Reads one stored pixel of 2, 3 or 4 bytes as a buffer word.
BufferWord ReadPixel(std::span<const std::uint8_t> bytes) {
    if (bytes.size() == 2) {
        const unsigned value = bytes[0] | (static_cast<unsigned>(bytes[1]) << 8);
        return BufferWordOf(((value >> 10) & 0x1Fu) * 8, ((value >> 5) & 0x1Fu) * 8, (value & 0x1Fu) * 8);
    }
    return BufferWordOf(bytes[2], bytes[1], bytes[0]);
}

// Stored pixels one after another; a pixel the file does not hold whole stays black.
void DecodeUncompressed(std::span<const std::uint8_t> data, std::size_t pixelBytes, Picture& picture) {
    if (pixelBytes == 0) {
        return; // the check takes only 15 to 32 bits a pixel
    }
    const std::size_t count = std::min(picture.pixels.size(), data.size() / pixelBytes);
    for (std::size_t i = 0; i < count; ++i) {
        picture.pixels[i] = ReadPixel(data.subspan(i * pixelBytes, pixelBytes));
    }
}

// Packets until the picture is full; a packet that needs bytes beyond the end of the
// file ends the decoding and the rest stays black.
void DecodeRunLength(std::span<const std::uint8_t> data, std::size_t pixelBytes, Picture& picture) {
    const std::size_t total = picture.pixels.size();
    std::size_t produced = 0;
    std::size_t position = 0;
    while (produced < total && position < data.size()) {
        const unsigned packet = data[position];
        const std::size_t remaining = data.size() - position - 1;
        const std::span<const std::uint8_t> body = data.subspan(position + 1);
        if (packet >= 128) {
            if (remaining < pixelBytes) {
                return;
            }
            const BufferWord pixel = ReadPixel(body.first(pixelBytes));
            const std::size_t run = std::min<std::size_t>(packet - 127, total - produced);
            std::fill_n(picture.pixels.begin() + static_cast<std::ptrdiff_t>(produced), run, pixel);
            produced += run;
            position += 1 + pixelBytes;
        } else {
            const std::size_t run = packet + 1;
            if (remaining < run * pixelBytes) {
                return;
            }
            for (std::size_t i = 0; i < run && produced < total; ++i) {
                picture.pixels[produced++] = ReadPixel(body.subspan(i * pixelBytes, pixelBytes));
            }
            position += 1 + run * pixelBytes;
        }
    }
}

void ReverseRows(Picture& picture) {
    const auto width = static_cast<std::ptrdiff_t>(picture.width);
    auto top = picture.pixels.begin();
    auto bottom = picture.pixels.end() - width;
    while (top < bottom) {
        std::swap_ranges(top, top + width, bottom);
        top += width;
        bottom -= width;
    }
}

void MirrorRows(Picture& picture) {
    const auto width = static_cast<std::ptrdiff_t>(picture.width);
    for (auto row = picture.pixels.begin(); row != picture.pixels.end(); row += width) {
        std::reverse(row, row + width);
    }
}

// Where the pixel data start: after the header, the identification field and the colour
// map, whose entries take whole bytes (a 15-bit entry is stored in two).
std::size_t DataStart(const TgaHeader& header) {
    return kHeaderBytes + header.idLength +
           static_cast<std::size_t>(header.colourMapLength) * ((header.colourMapEntryBits + 7) / 8);
}

std::size_t PixelBytes(const TgaHeader& header) {
    return (header.depth + 7) / 8;
}

// Only a true-colour header of a plausible shape is taken: the image type byte alone
// is 2 or 10 in many files that are not Targa at all (a grey pixmap's line feed, a
// cursor's resource type).
bool IsPlausible(const TgaHeader& header, std::size_t fileSize) {
    const bool trueColour =
        header.imageType == kUncompressedTrueColour || header.imageType == kRunLengthTrueColour;
    const bool depth = header.depth == 15 || header.depth == 16 || header.depth == 24 || header.depth == 32;
    return trueColour && header.colourMapType <= 1 && depth && header.width > 0 && header.height > 0 &&
           DataStart(header) <= fileSize;
}

// Uncompressed data must hold every pixel; run-length data at least one packet for
// every 128 pixels.
bool CanHoldPixels(const TgaHeader& header, std::size_t dataBytes) {
    const std::size_t pixels = static_cast<std::size_t>(header.width) * header.height;
    const std::optional<std::size_t> needed = header.imageType == kRunLengthTrueColour
                                                  ? RunLengthMinimumBytes(pixels, 128, 1 + PixelBytes(header))
                                                  : CheckedMul(pixels, PixelBytes(header));
    return needed && *needed <= dataBytes;
}

} // namespace

ReaderCheck CheckTgaPicture(std::span<const std::uint8_t> file) {
    const std::optional<TgaHeader> header = ReadHeader(file);
    if (!header || !IsPlausible(*header, file.size())) {
        return {};
    }
    ReaderCheck check{true, header->width, header->height};
    if (!CanHoldPixels(*header, file.size() - DataStart(*header))) {
        check.refusal = FileTooShortRefusal(check.width, check.height);
    }
    return check;
}

std::optional<Picture> ReadTgaPicture(std::span<const std::uint8_t> file) {
    const ReaderCheck check = CheckTgaPicture(file);
    if (!check.accepted || !check.refusal.empty()) {
        return std::nullopt;
    }
    const TgaHeader header = *ReadHeader(file);
    std::optional<Picture> picture = AllocatePicture(check.width, check.height);
    if (!picture) {
        return std::nullopt;
    }
    const std::span<const std::uint8_t> data = file.subspan(DataStart(header));
    // 15-bit pixels are stored as 16-bit ones whose top bit is unused.
    const std::size_t pixelBytes = PixelBytes(header);
    if (header.imageType == kRunLengthTrueColour) {
        DecodeRunLength(data, pixelBytes, *picture);
    } else {
        DecodeUncompressed(data, pixelBytes, *picture);
    }
    if ((header.descriptor & kTopOrigin) == 0) {
        ReverseRows(*picture);
    }
    if ((header.descriptor & kRightToLeft) != 0) {
        MirrorRows(*picture);
    }
    return picture;
}

PictureReader TgaPictureReader() {
    return PictureReader{
        "TGA",
        [](std::span<const std::uint8_t> file, std::string_view) { return CheckTgaPicture(file); },
        [](std::span<const std::uint8_t> file, std::string_view) { return ReadTgaPicture(file); },
    };
}
