#include "adjust/auto_level.h"

#include "adjust/pixel_transform.h"
#include "imaging/colour.h"

#include <array>
#include <cstdint>

namespace {

struct Limits {
    int low = 0;
    int high = 255;
};

// The smallest value with more than `clip` pixels at or below it, and the largest with
// more than `clip` pixels at or above it.
Limits FindLimits(const std::array<std::int64_t, 256>& counts, std::int64_t clip) {
    Limits limits;
    std::int64_t sum = 0;
    for (limits.low = 0; limits.low < 255; ++limits.low) {
        sum += counts[static_cast<std::size_t>(limits.low)];
        if (sum > clip) {
            break;
        }
    }
    sum = 0;
    for (limits.high = 255; limits.high > 0; --limits.high) {
        sum += counts[static_cast<std::size_t>(limits.high)];
        if (sum > clip) {
            break;
        }
    }
    return limits;
}

} // namespace

void AutoLevelImage(int picture) {
    if (!PictureExists(picture)) {
        return;
    }
    const Picture& source = *FindPicture(picture);
    std::array<std::array<std::int64_t, 256>, 3> counts{};
    for (const BufferWord word : source.pixels) {
        for (std::size_t channel = 0; channel < 3; ++channel) {
            ++counts[channel][(word >> (8 * channel)) & 0xFFu];
        }
    }
    // An exact half (N = 100, 300, 500...) rounds to the even neighbour, like every other
    // rounding in the program.
    const auto clip =
        static_cast<std::int64_t>(RoundHalfEven(static_cast<double>(source.pixels.size()) * 0.005));
    std::array<Limits, 3> limits{};
    for (std::size_t channel = 0; channel < 3; ++channel) {
        limits[channel] = FindLimits(counts[channel], clip);
        if (limits[channel].low == limits[channel].high) {
            return; // a constant channel leaves the whole picture as it is
        }
    }
    TransformPictureWords(picture, [&limits](BufferWord word) {
        BufferWord result = 0;
        for (std::size_t channel = 0; channel < 3; ++channel) {
            const int v = static_cast<int>((word >> (8 * channel)) & 0xFFu);
            const auto [low, high] = limits[channel];
            result |= static_cast<BufferWord>(ClampChannel((v - low) * 255 / (high - low), 0))
                      << (8 * channel);
        }
        return result;
    });
}
