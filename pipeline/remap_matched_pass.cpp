// The padded pass for palettes of three to eight colours on the vector paths: every
// entry matched at once (see PaletteKeys), with SSE2 or, where the processor has it,
// AVX2, chosen at run time.
#include "pipeline/colour_matching.h"
#include "pipeline/remap_carried_pass.h"
#include "pipeline/remap_padded_picture.h"
#include "pipeline/remap_passes.h"
#include "pipeline/remap_shares.h"
#include "pipeline/remap_windows.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <type_traits>
#include <vector>

namespace remap_detail {
namespace {

template <std::size_t Count> struct MatchPlan {
    // The keys only where the pass matches by table (see CarriedPassAvx2).
    MatchPlan(const std::vector<Channels>& entries, bool withKeys) {
        if (withKeys) {
            keys.emplace(entries.data());
        }
        for (std::size_t i = 0; i < Count; ++i) {
            const Channels& e = entries[i];
            channels[i] = e;
            words[i] = WordOf(e.red, e.green, e.blue);
            offsets[i] = {static_cast<unsigned>(kDifferenceOffset - e.blue),
                          static_cast<unsigned>(kDifferenceOffset - e.green),
                          static_cast<unsigned>(kDifferenceOffset - e.red)};
        }
    }
    std::optional<PaletteKeys<Count>> keys;
    // Per entry: its word, and what turns a channel value into its row of the window
    // tables (the difference offset less the entry's channel: blue, green, red).
    std::array<BufferWord, 8> words{};
    std::array<std::array<unsigned, 3>, 8> offsets{};
    std::array<Channels, 8> channels{};
};

#if defined(__SSE2__)
struct Sse2Match {
    template <std::size_t Count>
    [[gnu::always_inline]] static std::size_t Nearest(const PaletteKeys<Count>& keys, unsigned r, unsigned g,
                                                      unsigned b) {
        return NearestIndexSse2<Count>(keys, r, g, b);
    }
};

// Inlined only into the AVX2 entry below, which is built for that processor.
struct Avx2Match {
    template <std::size_t Count>
    static std::size_t Nearest(const PaletteKeys<Count>& keys, unsigned r, unsigned g, unsigned b) {
        return NearestIndexAvx2<Count>(keys, r, g, b);
    }
};

template <class Match, std::size_t Count, bool Reversed, std::size_t Rows>
void MatchedRowPass(BufferWord* line, int width, const MatchPlan<Count>& plan, std::span<const Lane> lanes) {
    const std::size_t rows = Rows == 0 ? lanes.size() : Rows;
    for (int step = 0; step < width; ++step) {
        const int x = Reversed ? width - 1 - step : step;
        const BufferWord word = line[x];
        const unsigned blue = word & 0xFFu;
        const unsigned green = (word >> 8) & 0xFFu;
        const unsigned red = (word >> 16) & 0xFFu;
        const std::size_t nearest = Match::template Nearest<Count>(*plan.keys, red, green, blue);
        line[x] = plan.words[nearest];
        const auto& offset = plan.offsets[nearest];
        const std::size_t db = blue + offset[0];
        const std::size_t dg = green + offset[1];
        const std::size_t dr = red + offset[2];
#pragma GCC unroll 8
        for (std::size_t k = 0; k < rows; ++k) {
            const Lane& lane = lanes[k];
            BufferWord* target = line + x + lane.offset;
            if (lane.wide) {
                ApplyWindow<8, true>(target, lane.table + db * 16, lane.table + dg * 16,
                                     lane.table + dr * 16);
            } else {
                ApplyWindow<4, true>(target, lane.table + db * 8, lane.table + dg * 8, lane.table + dr * 8);
            }
        }
    }
}

// Kernels whose rows all fit four-word windows keep those windows in registers (see
// SlideWindow). When the current row's window begins at the next pixel, that pixel's
// value is taken from its register rather than stored and loaded again: the store and
// load would lie on the chain from one pixel to the next.
template <class Match, std::size_t Count, bool Reversed, std::size_t Rows, bool Carry>
void SlidingRowPass(BufferWord* line, int width, const MatchPlan<Count>& plan, std::span<const Lane> lanes) {
    constexpr std::ptrdiff_t direction = Reversed ? -1 : 1;
    const std::ptrdiff_t first = Reversed ? width - 1 : 0;
    std::array<BufferWord*, Rows> targets{};
    std::array<const std::uint8_t*, Rows> tables{};
    struct Window {
        __m128i words;
    };
    std::array<Window, Rows> windows{};
    for (std::size_t k = 0; k < Rows; ++k) {
        targets[k] = line + lanes[k].offset;
        tables[k] = lanes[k].table;
        windows[k].words = LoadWindow<direction>(targets[k] + first);
    }
    BufferWord word = line[first];
    for (std::ptrdiff_t step = 0; step < width; ++step) {
        const std::ptrdiff_t x = Reversed ? width - 1 - step : step;
        const unsigned blue = word & 0xFFu;
        const unsigned green = (word >> 8) & 0xFFu;
        const unsigned red = (word >> 16) & 0xFFu;
        const std::size_t nearest = Match::template Nearest<Count>(*plan.keys, red, green, blue);
        line[x] = plan.words[nearest];
        const auto& offset = plan.offsets[nearest];
        const std::size_t db = (blue + offset[0]) * 8;
        const std::size_t dg = (green + offset[1]) * 8;
        const std::size_t dr = (red + offset[2]) * 8;
        BufferWord next = 0;
#pragma GCC unroll 8
        for (std::size_t k = 0; k < Rows; ++k) {
            const VectorShares shares = SharesOf<4>(tables[k] + db, tables[k] + dg, tables[k] + dr);
            const __m128i words = AddShares(windows[k].words, shares.addLow, shares.subtractLow);
            if (Carry && k == 0) {
                next = static_cast<BufferWord>(_mm_cvtsi128_si32(words));
            } else {
                targets[k][x] = static_cast<BufferWord>(_mm_cvtsi128_si32(words));
            }
            const __m128i entering = _mm_cvtsi32_si128(static_cast<int>(targets[k][x + 4 * direction]));
            windows[k].words = _mm_or_si128(_mm_srli_si128(words, 4), _mm_slli_si128(entering, 12));
        }
        // Without a carry the next pixel has had its last share from the row's window.
        word = Carry ? next : line[x + direction];
    }
    const std::ptrdiff_t end = first + direction * width;
    for (std::size_t k = 0; k < Rows; ++k) {
        StoreWindow<direction>(windows[k].words, targets[k] + end);
    }
}

template <class Match, std::size_t Count, std::size_t Rows, bool Carry>
void SlidingPass(PaddedPicture& padded, const MatchPlan<Count>& plan, const std::vector<WindowRow>& rows,
                 bool serpentine) {
    std::array<Lane, Rows> forward{};
    std::array<Lane, Rows> reversed{};
    for (std::size_t k = 0; k < Rows; ++k) {
        const WindowRow& row = rows[k];
        const auto down = static_cast<std::ptrdiff_t>(row.dy) * static_cast<std::ptrdiff_t>(padded.stride);
        // Right-to-left rows run the windows mirrored with the left-to-right tables.
        forward[k] = {down + row.forwardStart, row.forward.data(), false};
        reversed[k] = {down - row.forwardStart, row.forward.data(), false};
    }
    if constexpr (Carry && std::is_same_v<Match, Avx2Match>) {
        CarriedPassAvx2<Count, Rows>(padded, plan.channels.data(), rows, forward, reversed, serpentine);
    } else {
        for (int y = 0; y < padded.height; ++y) {
            if (serpentine && (y % 2) == 1) {
                SlidingRowPass<Match, Count, true, Rows, Carry>(padded.Row(y), padded.width, plan, reversed);
            } else {
                SlidingRowPass<Match, Count, false, Rows, Carry>(padded.Row(y), padded.width, plan, forward);
            }
        }
    }
}

template <class Match, std::size_t Count, std::size_t Rows>
void SlidingPassFor(PaddedPicture& padded, const MatchPlan<Count>& plan, const std::vector<WindowRow>& rows,
                    bool serpentine) {
    if (rows[0].dy == 0 && rows[0].forwardStart == 1) {
        SlidingPass<Match, Count, Rows, true>(padded, plan, rows, serpentine);
    } else {
        SlidingPass<Match, Count, Rows, false>(padded, plan, rows, serpentine);
    }
}

template <class Match, std::size_t Count, std::size_t Rows>
void MatchedPass(PaddedPicture& padded, const MatchPlan<Count>& plan, const std::vector<WindowRow>& rows,
                 bool serpentine) {
    const auto [forward, reversed] = LanesOf(rows, padded.stride);
    for (int y = 0; y < padded.height; ++y) {
        if (serpentine && (y % 2) == 1) {
            MatchedRowPass<Match, Count, true, Rows>(padded.Row(y), padded.width, plan, reversed);
        } else {
            MatchedRowPass<Match, Count, false, Rows>(padded.Row(y), padded.width, plan, forward);
        }
    }
}

// The table's kernels have one to three window rows; narrow ones slide.
template <class Match, std::size_t Count>
void MatchedPassFor(PaddedPicture& padded, const std::vector<Channels>& entries,
                    const std::vector<WindowRow>& rows, bool serpentine) {
    // The current row's window must lie wholly ahead of the pixel: one reaching back
    // would add to words already matched, which the registers do not hold.
    const bool narrow =
        std::all_of(rows.begin(), rows.end(), [](const WindowRow& row) { return row.width == 4; }) &&
        (rows.empty() || rows[0].dy != 0 || rows[0].forwardStart >= 1);
    const bool carried = std::is_same_v<Match, Avx2Match> && narrow && !rows.empty() && rows.size() <= 3 &&
                         rows[0].dy == 0 && rows[0].forwardStart == 1;
    const auto plan = std::make_unique<MatchPlan<Count>>(entries, !carried);
    switch (narrow ? rows.size() : 0) {
    case 1:
        SlidingPassFor<Match, Count, 1>(padded, *plan, rows, serpentine);
        return;
    case 2:
        SlidingPassFor<Match, Count, 2>(padded, *plan, rows, serpentine);
        return;
    case 3:
        SlidingPassFor<Match, Count, 3>(padded, *plan, rows, serpentine);
        return;
    default:
        break;
    }
    switch (rows.size()) {
    case 0:
        MatchedPass<Match, Count, 0>(padded, *plan, rows, serpentine);
        break;
    case 1:
        MatchedPass<Match, Count, 1>(padded, *plan, rows, serpentine);
        break;
    case 2:
        MatchedPass<Match, Count, 2>(padded, *plan, rows, serpentine);
        break;
    case 3:
        MatchedPass<Match, Count, 3>(padded, *plan, rows, serpentine);
        break;
    default:
        MatchedPass<Match, Count, 0>(padded, *plan, rows, serpentine);
        break;
    }
}

void MatchedPassSse2(PaddedPicture& padded, std::span<const ColourValue> colours,
                     const std::vector<WindowRow>& rows, bool serpentine) {
    if (colours.size() <= 4) {
        MatchedPassFor<Sse2Match, 4>(padded, PaddedEntries(colours, 4), rows, serpentine);
    } else {
        MatchedPassFor<Sse2Match, 8>(padded, PaddedEntries(colours, 8), rows, serpentine);
    }
}

[[gnu::target("avx2"), gnu::flatten]] void MatchedPassAvx2(PaddedPicture& padded,
                                                           std::span<const ColourValue> colours,
                                                           const std::vector<WindowRow>& rows,
                                                           bool serpentine) {
    if (colours.size() <= 4) {
        MatchedPassFor<Avx2Match, 4>(padded, PaddedEntries(colours, 4), rows, serpentine);
    } else {
        MatchedPassFor<Avx2Match, 8>(padded, PaddedEntries(colours, 8), rows, serpentine);
    }
}

// Nearest colours only, eight pixels at a time: each entry's distance for all eight,
// kept where strictly smaller than the best so far, so the earliest of equals wins.
template <std::size_t Count>
[[gnu::target("avx2")]] void NearestOnlyAvx2(const BufferWord* source, BufferWord* target, std::size_t count,
                                             const std::vector<Channels>& entries) {
    std::array<Channels, Count> e{};
    std::copy_n(entries.begin(), Count, e.begin());
    const __m256i mask = _mm256_set1_epi32(0xFF);
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i words = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + i));
        const __m256i b = _mm256_and_si256(words, mask);
        const __m256i g = _mm256_and_si256(_mm256_srli_epi32(words, 8), mask);
        const __m256i r = _mm256_and_si256(_mm256_srli_epi32(words, 16), mask);
        __m256i best = _mm256_set1_epi32(kLargestDistance);
        __m256i result = _mm256_setzero_si256();
#pragma GCC unroll 8
        for (std::size_t k = 0; k < Count; ++k) {
            const __m256i mean = _mm256_srli_epi32(_mm256_add_epi32(r, _mm256_set1_epi32(e[k].red)), 1);
            const __m256i dr = _mm256_sub_epi32(r, _mm256_set1_epi32(e[k].red));
            const __m256i dg = _mm256_sub_epi32(g, _mm256_set1_epi32(e[k].green));
            const __m256i db = _mm256_sub_epi32(b, _mm256_set1_epi32(e[k].blue));
            const __m256i redTerm =
                _mm256_srli_epi32(_mm256_mullo_epi32(_mm256_add_epi32(mean, _mm256_set1_epi32(512)),
                                                     _mm256_mullo_epi32(dr, dr)),
                                  8);
            const __m256i greenTerm = _mm256_slli_epi32(_mm256_mullo_epi32(dg, dg), 2);
            const __m256i blueTerm =
                _mm256_srli_epi32(_mm256_mullo_epi32(_mm256_sub_epi32(_mm256_set1_epi32(767), mean),
                                                     _mm256_mullo_epi32(db, db)),
                                  8);
            const __m256i distance = _mm256_add_epi32(_mm256_add_epi32(redTerm, greenTerm), blueTerm);
            const __m256i closer = _mm256_cmpgt_epi32(best, distance);
            best = _mm256_min_epi32(best, distance);
            result = _mm256_blendv_epi8(
                result, _mm256_set1_epi32(static_cast<int>(WordOf(e[k].red, e[k].green, e[k].blue))), closer);
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(target + i), result);
    }
    for (; i < count; ++i) {
        const Channels c = ChannelsOfWord(source[i]);
        const Channels& q = e[NearestEntry<Count>(c, e.data(), Count)];
        target[i] = WordOf(q.red, q.green, q.blue);
    }
}

bool ProcessorHasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2") != 0;
    return has;
}
#endif

} // namespace

bool TryMatchedPass(RemapPath path, std::span<const BufferWord> source, std::span<BufferWord> target,
                    int width, int height, std::span<const ColourValue> colours,
                    const std::vector<Cell>& cells, const ErrorTable& error, bool serpentine) {
#if defined(__SSE2__)
    if (colours.size() <= 2 || colours.size() > 8 ||
        (path != RemapPath::Fastest && path != RemapPath::Baseline)) {
        return false;
    }
    const std::optional<std::vector<WindowRow>> rows = PlanWindows(cells, error);
    if (!rows) {
        return false;
    }
    const bool avx2 = path == RemapPath::Fastest && ProcessorHasAvx2();
    if (avx2 && rows->empty()) {
        const auto count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
        if (colours.size() <= 4) {
            NearestOnlyAvx2<4>(source.data(), target.data(), count, PaddedEntries(colours, 4));
        } else {
            NearestOnlyAvx2<8>(source.data(), target.data(), count, PaddedEntries(colours, 8));
        }
        return true;
    }
    PaddedPicture padded = Pad(source, width, height, rows->empty() ? 0 : rows->back().dy);
    if (avx2) {
        MatchedPassAvx2(padded, colours, *rows, serpentine);
    } else {
        MatchedPassSse2(padded, colours, *rows, serpentine);
    }
    Unpad(padded, target);
    return true;
#else
    static_cast<void>(path), static_cast<void>(source), static_cast<void>(target), static_cast<void>(width);
    static_cast<void>(height), static_cast<void>(colours), static_cast<void>(cells), static_cast<void>(error);
    static_cast<void>(serpentine);
    return false;
#endif
}

} // namespace remap_detail
