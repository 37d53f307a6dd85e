// The matched pass's AVX2 form for kernels whose current row sends a share to the next
// pixel and whose rows all fit four-word windows (Floyd-Steinberg among them), for four
// or eight entries.
//
// The pass is bound by one chain: the next pixel cannot be matched before the current
// pixel's share has reached it. While the current pixel is matched, the next pixel's
// word is worked out for every entry, split into channels, and the match only picks
// one of each: the share tables, the saturating add and the move to a general
// register are all off the chain, which is left with the arithmetic of the match (see
// colour_matching_lanes.h) and the pick. The other rows' windows slide in registers
// as in the matched pass.
#pragma once

#include "pipeline/colour_matching.h"
#include "pipeline/colour_matching_lanes.h"
#include "pipeline/remap_padded_picture.h"
#include "pipeline/remap_shares.h"
#include "pipeline/remap_windows.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#if defined(__SSE2__)
namespace remap_detail {

template <std::size_t Count> struct CarriedPlan {
    CarriedPlan(const Channels* entries, const WindowRow& current) : lanes(entries) {
        for (std::size_t j = 0; j < Count; ++j) {
            const Channels& e = entries[j];
            words[j] = WordOf(e.red, e.green, e.blue);
            const int channels[3] = {e.blue, e.green, e.red};
            for (std::size_t c = 0; c < 3; ++c) {
                offsets[j][c] = static_cast<unsigned>(kDifferenceOffset - channels[c]);
                for (int v = 0; v < 256; ++v) {
                    const std::uint8_t* shares = &current.forward[DifferenceIndex(v - channels[c]) * 8];
                    next[c][static_cast<std::size_t>(v)][j] = shares[0];
                    next[c][static_cast<std::size_t>(v)][Count + j] = shares[4];
                }
            }
        }
    }
    EntryLanes<Count> lanes;
    // Per entry: its word, and what turns a channel value into its row of the window
    // tables (the difference offset less the entry's channel: blue, green, red).
    std::array<BufferWord, Count> words{};
    std::array<std::array<unsigned, 3>, Count> offsets{};
    // Per channel (blue, green, red) and channel value, the next pixel's share from
    // each entry: Count bytes to add, then Count to take away.
    alignas(16) std::array<std::array<std::array<std::uint8_t, 2 * Count>, 256>, 3> next{};
};

// One row. When the current row's only share goes to the next pixel (Lone), that row
// needs no window: the next pixel's word is read as it stands.
template <std::size_t Count, bool Reversed, std::size_t Rows, bool Lone>
[[gnu::target("avx2")]] void CarriedRowPassAvx2(BufferWord* line, int width, const CarriedPlan<Count>& plan,
                                                std::span<const Lane> lanes) {
    constexpr std::ptrdiff_t direction = Reversed ? -1 : 1;
    const std::ptrdiff_t first = Reversed ? width - 1 : 0;
    std::array<BufferWord*, Rows> targets{};
    std::array<const std::uint8_t*, Rows> tables{};
    struct Window {
        __m128i words;
    };
    std::array<Window, Rows> windows{};
    constexpr std::size_t firstWindow = Lone ? 1 : 0;
    for (std::size_t k = firstWindow; k < Rows; ++k) {
        targets[k] = line + lanes[k].offset;
        tables[k] = lanes[k].table;
        windows[k].words = LoadWindow<direction>(targets[k] + first);
    }
    const std::uint8_t* const nextBlue = plan.next[0][0].data();
    const std::uint8_t* const nextGreen = plan.next[1][0].data();
    const std::uint8_t* const nextRed = plan.next[2][0].data();
    // The current pixel's word, and its channels each in every lane.
    __m128i current = _mm_set1_epi32(static_cast<int>(line[first]));
    [[maybe_unused]] FourEntries four{};
    [[maybe_unused]] FourWords fourChannels{};
    [[maybe_unused]] EightEntries eight{};
    [[maybe_unused]] EightWords eightChannels{};
    if constexpr (Count == 4) {
        four = FourOf(plan.lanes);
        fourChannels = SplitFour(current);
    } else {
        eight = EightOf(plan.lanes);
        eightChannels = SplitEight(_mm256_broadcastd_epi32(current));
    }
    for (std::ptrdiff_t step = 0; step < width; ++step) {
        const std::ptrdiff_t x = Reversed ? width - 1 - step : step;
        const auto word = static_cast<BufferWord>(_mm_cvtsi128_si32(current));
        const unsigned blue = word & 0xFFu;
        const unsigned green = (word >> 8) & 0xFFu;
        const unsigned red = (word >> 16) & 0xFFu;
        // The next pixel as it stands, in every lane, and its word for each entry.
        const __m128i ahead = Lone ? _mm_set1_epi32(static_cast<int>(line[x + direction]))
                                   : _mm_shuffle_epi32(windows[0].words, 0);
        constexpr std::size_t valueBytes = 2 * Count;
        const VectorShares candidates = SharesOf<static_cast<int>(Count)>(
            nextBlue + blue * valueBytes, nextGreen + green * valueBytes, nextRed + red * valueBytes);
        const __m128i low = AddShares(ahead, candidates.addLow, candidates.subtractLow);
        std::size_t nearest = 0;
        if constexpr (Count == 4) {
            const __m128i key = SmallestKey(KeysOf(fourChannels, four));
            const FourWords split = SplitFour(low);
            current = PickByKey(low, key);
            fourChannels = {PickByKey(split.red, key), PickByKey(split.green, key),
                            PickByKey(split.blue, key)};
            nearest = static_cast<std::size_t>(_mm_cvtsi128_si32(key)) & 7u;
        } else {
            const __m256i key = SmallestKey(KeysOf(eightChannels, eight));
            const __m128i high = AddShares(ahead, candidates.addHigh, candidates.subtractHigh);
            const __m256i words = _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
            const EightWords split = SplitEight(words);
            current = _mm256_castsi256_si128(PickByKey(words, key));
            eightChannels = {PickByKey(split.red, key), PickByKey(split.green, key),
                             PickByKey(split.blue, key)};
            nearest = static_cast<std::size_t>(_mm256_cvtsi256_si32(key)) & 7u;
        }
        line[x] = plan.words[nearest];
        const auto& offset = plan.offsets[nearest];
        const std::size_t db = (blue + offset[0]) * 8;
        const std::size_t dg = (green + offset[1]) * 8;
        const std::size_t dr = (red + offset[2]) * 8;
#pragma GCC unroll 8
        for (std::size_t k = firstWindow; k < Rows; ++k) {
            const VectorShares shares = SharesOf<4>(tables[k] + db, tables[k] + dg, tables[k] + dr);
            const __m128i words = AddShares(windows[k].words, shares.addLow, shares.subtractLow);
            // The current row's first lane is the next pixel, carried in `current`.
            if (k != 0) {
                targets[k][x] = static_cast<BufferWord>(_mm_cvtsi128_si32(words));
            }
            const __m128i entering = _mm_cvtsi32_si128(static_cast<int>(targets[k][x + 4 * direction]));
            windows[k].words = _mm_or_si128(_mm_srli_si128(words, 4), _mm_slli_si128(entering, 12));
        }
    }
    const std::ptrdiff_t end = first + direction * width;
    for (std::size_t k = firstWindow; k < Rows; ++k) {
        StoreWindow<direction>(windows[k].words, targets[k] + end);
    }
}

// Whether a window row's shares all land in its first column.
inline bool OnlyFirstColumn(const WindowRow& row) {
    const auto width = static_cast<std::size_t>(row.width);
    for (std::size_t i = 0; i < row.forward.size(); ++i) {
        if (i % width != 0 && row.forward[i] != 0) {
            return false;
        }
    }
    return true;
}

// The whole picture; `rows[0]` is the current row's window, starting at the next pixel,
// and `forward` and `reversed` are the lanes of the Rows windows for either direction.
template <std::size_t Count, std::size_t Rows>
[[gnu::target("avx2")]] void
CarriedPassAvx2(PaddedPicture& padded, const Channels* entries, const std::vector<WindowRow>& rows,
                std::span<const Lane> forward, std::span<const Lane> reversed, bool serpentine) {
    const auto plan = std::make_unique<CarriedPlan<Count>>(entries, rows[0]);
    const bool lone = OnlyFirstColumn(rows[0]);
    for (int y = 0; y < padded.height; ++y) {
        BufferWord* const line = padded.Row(y);
        const bool back = serpentine && (y % 2) == 1;
        if (lone) {
            back ? CarriedRowPassAvx2<Count, true, Rows, true>(line, padded.width, *plan, reversed)
                 : CarriedRowPassAvx2<Count, false, Rows, true>(line, padded.width, *plan, forward);
        } else {
            back ? CarriedRowPassAvx2<Count, true, Rows, false>(line, padded.width, *plan, reversed)
                 : CarriedRowPassAvx2<Count, false, Rows, false>(line, padded.width, *plan, forward);
        }
    }
}

} // namespace remap_detail
#endif
