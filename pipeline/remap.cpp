#include "pipeline/remap.h"

#include "imaging/picture.h"
#include "imaging/pixel_buffer.h"
#include "platform/platform.h"
#include "screen/screen_modes.h"
#include "shell/state/app_state.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

namespace {

constexpr int kLargestDistance = 268'435'455; // 2^28 - 1, above any real distance

int WeightedDistance(int red1, int green1, int blue1, int red2, int green2, int blue2) {
    const int meanRed = (red1 + red2) / 2;
    const int dr = red1 - red2;
    const int dg = green1 - green2;
    const int db = blue1 - blue2;
    // Both products are never negative, so the shifts are the divisions by 256, rounded down.
    return static_cast<int>(static_cast<unsigned>((512 + meanRed) * dr * dr) >> 8) + 4 * dg * dg +
           static_cast<int>(static_cast<unsigned>((767 - meanRed) * db * db) >> 8);
}

// Channel differences run from -255 to 255; tables are indexed by difference + 255.
constexpr int kDifferenceOffset = 255;
constexpr std::size_t kDifferenceRange = 511;

// One weight of the kernel, already turned into a table from a channel difference
// straight to the share: round(round(difference x s) x weight), both roundings ties to
// even. With strength at most 100 every error stays within the table.
struct Share {
    int dx;
    int dy;
    std::array<std::int16_t, kDifferenceRange> amount;
};

std::vector<Share> BuildShares(const DitherKernel& kernel, int strength) {
    const float s = static_cast<float>(strength) / 100.0F;
    std::array<int, kDifferenceRange> error{};
    for (int difference = -255; difference <= 255; ++difference) {
        // An integer times a single-precision value is exact in double precision.
        error[static_cast<std::size_t>(difference + kDifferenceOffset)] =
            static_cast<int>(RoundHalfEven(static_cast<double>(difference) * static_cast<double>(s)));
    }
    std::vector<Share> shares;
    if (kernel.width * kernel.height > static_cast<int>(kernel.cells.size())) {
        return shares; // not a kernel the table can hold
    }
    const int origin = KernelOriginColumn(kernel);
    for (int row = 0; row < kernel.height; ++row) {
        for (int column = 0; column < kernel.width; ++column) {
            const float weight = kernel.cells[static_cast<std::size_t>(row * kernel.width + column)];
            if ((row == 0 && column == origin) || weight == 0.0F) {
                continue;
            }
            Share share{column - origin, row, {}};
            for (std::size_t i = 0; i < kDifferenceRange; ++i) {
                const double amount =
                    RoundHalfEven(static_cast<double>(error[i]) * static_cast<double>(weight));
                // A weight above 1 could exceed 16 bits; no share can move a channel further than 255 anyway.
                share.amount[i] = static_cast<std::int16_t>(std::clamp(amount, -512.0, 512.0));
            }
            shares.push_back(share);
        }
    }
    return shares;
}

struct Channels {
    int red;
    int green;
    int blue;
};

// Buffer words carry red in bits 16-23 and blue in bits 0-7.
Channels ChannelsOfWord(BufferWord word) {
    return {static_cast<int>((word >> 16) & 0xFFu), static_cast<int>((word >> 8) & 0xFFu),
            static_cast<int>(word & 0xFFu)};
}

BufferWord WordOf(int red, int green, int blue) {
    return (static_cast<BufferWord>(red) << 16) | (static_cast<BufferWord>(green) << 8) |
           static_cast<BufferWord>(blue);
}

} // namespace

ColourValue NearestColourIn(ColourValue colour, std::span<const ColourValue> colours) {
    const int red = static_cast<int>(RedOf(colour));
    const int green = static_cast<int>(GreenOf(colour));
    const int blue = static_cast<int>(BlueOf(colour));
    int best = kLargestDistance;
    ColourValue result = 0;
    for (const ColourValue candidate : colours) {
        const int distance =
            WeightedDistance(red, green, blue, static_cast<int>(RedOf(candidate)),
                             static_cast<int>(GreenOf(candidate)), static_cast<int>(BlueOf(candidate)));
        if (distance < best) {
            best = distance;
            result = candidate;
        }
    }
    return result;
}

ColourValue FindNearestColour(ColourValue colour, int mode, int count) {
    if (mode < 0 || mode >= kPaletteRows) {
        return 0;
    }
    const auto row = std::span<const ColourValue>(palette).subspan(
        static_cast<std::size_t>(mode * kPaletteColumns), kPaletteColumns);
    return NearestColourIn(colour,
                           row.first(static_cast<std::size_t>(std::clamp(count, 0, kPaletteColumns))));
}

namespace {

// The pass proper. With a fixed palette size the matching loop unrolls; palettes are
// padded to that size with copies of their last entry, which never win a tie.
template <std::size_t Size>
void RemapRows(std::span<BufferWord> pixels, int width, int height, std::span<const Channels> entries,
               const std::vector<Share>& shares, bool serpentine) {
    const std::size_t count = Size == 0 ? entries.size() : Size;
    const auto index = [width](int x, int y) {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x);
    };
    for (int y = 0; y < height; ++y) {
        const bool reversed = serpentine && (y % 2) == 1;
        const int direction = reversed ? -1 : 1;
        for (int step = 0; step < width; ++step) {
            const int x = reversed ? width - 1 - step : step;
            const Channels c = ChannelsOfWord(pixels[index(x, y)]);

            // Written without a branch on the comparison: which entry wins is unpredictable.
            int best = kLargestDistance;
            std::size_t nearest = 0;
            for (std::size_t i = 0; i < count; ++i) {
                const Channels& candidate = entries[i];
                const int distance =
                    WeightedDistance(c.red, c.green, c.blue, candidate.red, candidate.green, candidate.blue);
                const bool closer = distance < best;
                best = closer ? distance : best;
                nearest = closer ? i : nearest;
            }
            const Channels q = entries[nearest];
            pixels[index(x, y)] = WordOf(q.red, q.green, q.blue);

            const auto dr = static_cast<std::size_t>(c.red - q.red + kDifferenceOffset);
            const auto dg = static_cast<std::size_t>(c.green - q.green + kDifferenceOffset);
            const auto db = static_cast<std::size_t>(c.blue - q.blue + kDifferenceOffset);
            if (dr == kDifferenceOffset && dg == kDifferenceOffset && db == kDifferenceOffset) {
                continue; // no error, every share is 0
            }
            for (const Share& share : shares) {
                const int tx = x + direction * share.dx;
                const int ty = y + share.dy;
                if (tx < 0 || tx >= width || ty >= height) {
                    continue; // that share leaves the picture and is dropped
                }
                BufferWord& target = pixels[index(tx, ty)];
                const Channels t = ChannelsOfWord(target);
                target =
                    WordOf(ClampChannel(t.red, share.amount[dr]), ClampChannel(t.green, share.amount[dg]),
                           ClampChannel(t.blue, share.amount[db]));
            }
        }
    }
}

} // namespace

bool RemapPixels(std::span<BufferWord> pixels, int width, int height, std::span<const ColourValue> colours,
                 const DitherKernel& kernel, int strength, bool serpentine) {
    if (strength < 0 || strength > 100 || width < 0 || height < 0 ||
        pixels.size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
        return false;
    }
    if (colours.empty()) {
        std::fill(pixels.begin(), pixels.begin() + static_cast<std::ptrdiff_t>(width) * height, 0u);
        return true;
    }
    const std::vector<Share> shares = strength == 0 ? std::vector<Share>{} : BuildShares(kernel, strength);

    std::vector<Channels> entries;
    for (const ColourValue colour : colours) {
        entries.push_back({static_cast<int>(RedOf(colour)), static_cast<int>(GreenOf(colour)),
                           static_cast<int>(BlueOf(colour))});
    }
    if (entries.size() <= 2) {
        entries.resize(2, entries.back());
        RemapRows<2>(pixels, width, height, entries, shares, serpentine);
    } else if (entries.size() <= 4) {
        entries.resize(4, entries.back());
        RemapRows<4>(pixels, width, height, entries, shares, serpentine);
    } else if (entries.size() <= 8) {
        entries.resize(8, entries.back());
        RemapRows<8>(pixels, width, height, entries, shares, serpentine);
    } else {
        RemapRows<0>(pixels, width, height, entries, shares, serpentine);
    }
    return true;
}

int RemapImage(int picture, int mode, int method, int strength, int serpentine) {
    const ScreenMode* screen = ScreenModeByNumber(mode);
    if (screen == nullptr) {
        ErrorMessage("Invalid screen mode parameter passed (" + std::to_string(mode) + ") in RemapImage().");
        return 0;
    }
    if (strength < 0 || strength > 100) {
        ErrorMessage("Dither value out of range (" + std::to_string(strength) + ") in RemapImage().");
        return 0;
    }
    const int width = PictureWidth(picture);
    const int height = PictureHeight(picture);
    if (!PictureExists(picture) || width <= 0 || height <= 0) {
        return 0;
    }
    // Method numbers beyond the table would read outside it; they convert like "None".
    static const DitherKernel noKernel{};
    const DitherKernel& kernel =
        method >= 0 && method < kDitherTableSize ? ditherTable[static_cast<std::size_t>(method)] : noKernel;
    const auto colours = std::span<const ColourValue>(palette).subspan(
        static_cast<std::size_t>(mode * kPaletteColumns), static_cast<std::size_t>(screen->colourCount));

    bool converted = false;
    SetWindowEnabled(mainWindow, false);
    try {
        std::vector<BufferWord> buffer(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
        CopyImageToBuffer(picture, buffer);
        RemapPixels(buffer, width, height, colours, kernel, strength, serpentine != 0);
        FreePicture(convertedPicture);
        if (CreatePicture(convertedPicture, width, height)) {
            CopyBufferToImage(buffer, convertedPicture);
            converted = true;
        }
    } catch (const std::bad_alloc&) {
        converted = false;
    }
    SetWindowEnabled(mainWindow, true);
    return converted ? convertedPicture : 0;
}
