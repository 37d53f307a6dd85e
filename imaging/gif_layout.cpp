#include "imaging/gif_layout.h"

#include "imaging/byte_cursor.h"

#include <algorithm>
#include <cstddef>

namespace {

constexpr std::uint8_t kExtension = 0x21;
constexpr std::uint8_t kImageDescriptor = 0x2C;
constexpr unsigned kColourTableFlag = 0x80;

// Skips a run of data sub-blocks up to and including the empty one that ends it.
void SkipSubBlocks(ByteCursor& cursor) {
    while (cursor.ok) {
        const std::uint8_t size = cursor.U8();
        if (size == 0) {
            return;
        }
        cursor.Skip(size);
    }
}

void SkipColourTable(ByteCursor& cursor, unsigned packed) {
    if ((packed & kColourTableFlag) != 0) {
        cursor.Skip(3u << ((packed & 7u) + 1));
    }
}

} // namespace

std::optional<GifLayout> ReadGifLayout(std::span<const std::uint8_t> file) {
    ByteCursor cursor(file);
    const auto magic = cursor.Take(6);
    if (!cursor.ok || magic[0] != 'G' || magic[1] != 'I' || magic[2] != 'F') {
        return std::nullopt;
    }
    GifLayout layout;
    layout.screenWidth = cursor.U16LE();
    layout.screenHeight = cursor.U16LE();
    const unsigned packed = cursor.U8();
    cursor.Skip(2); // background colour index and aspect ratio
    SkipColourTable(cursor, packed);
    while (cursor.ok) {
        const std::uint8_t block = cursor.U8();
        if (block == kExtension) {
            cursor.Skip(1); // the extension's label
            SkipSubBlocks(cursor);
        } else if (block == kImageDescriptor) {
            layout.frameLeft = cursor.U16LE();
            layout.frameTop = cursor.U16LE();
            layout.frameWidth = cursor.U16LE();
            layout.frameHeight = cursor.U16LE();
            if (!cursor.ok) {
                return std::nullopt;
            }
            // A side of zero reaches as far as the frame does, as Qt draws it.
            if (layout.screenWidth == 0) {
                layout.screenWidth = layout.frameLeft + layout.frameWidth;
            }
            if (layout.screenHeight == 0) {
                layout.screenHeight = layout.frameTop + layout.frameHeight;
            }
            return layout;
        } else {
            return std::nullopt; // the trailer, or anything else, before a frame
        }
    }
    return std::nullopt;
}

bool GifCanHoldPicture(const GifLayout& layout, std::size_t fileBytes) {
    constexpr std::uint64_t kPixelsPerByte = 2730;
    const auto area = [](int width, int height) {
        return static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    };
    const std::uint64_t pixels =
        std::max(area(layout.frameWidth, layout.frameHeight), area(layout.screenWidth, layout.screenHeight));
    return pixels / kPixelsPerByte <= fileBytes;
}
