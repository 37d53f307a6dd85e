#include "pipeline/colour_matching.h"
#include "pipeline/remap_passes.h"
#include "pipeline/remap_shares.h"
#include "pipeline/remap_windows.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace remap_detail {
namespace {

// ---- The padded pass: each kernel row's shares land as one window of pixels ----
//
// The picture is copied into a buffer with spare columns either side of every row and
// spare rows below, so shares that would leave the picture land in the spare pixels
// instead of being tested for. Each kernel row's weights then cover a window of 4 or 8
// neighbouring pixels, and its shares for one error are looked up per channel as one
// row of bytes. Adding them is a saturating byte add of the positive shares and a
// saturating subtract of the negative ones, which is ClampChannel on every channel
// because a share is never both.

// The picture with spare columns and rows around it; row y starts at Row(y).
struct PaddedPicture {
    std::vector<BufferWord> words;
    std::size_t stride = 0;
    int width = 0;
    int height = 0;

    BufferWord* Row(int y) { return words.data() + static_cast<std::size_t>(y) * stride + kMargin; }
};

PaddedPicture Pad(std::span<const BufferWord> pixels, int width, int height, int spareRows) {
    PaddedPicture padded;
    padded.width = width;
    padded.height = height;
    padded.stride = static_cast<std::size_t>(width) + 2 * kMargin;
    padded.words.assign(padded.stride * static_cast<std::size_t>(height + spareRows), 0u);
    for (int y = 0; y < height; ++y) {
        const BufferWord* in = pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        // The fourth byte carries no colour; the pass must not see it.
        std::transform(in, in + width, padded.Row(y), [](BufferWord word) { return word & 0x00FFFFFFu; });
    }
    return padded;
}

void Unpad(PaddedPicture& padded, std::span<BufferWord> pixels) {
    for (int y = 0; y < padded.height; ++y) {
        const BufferWord* row = padded.Row(y);
        std::copy(row, row + padded.width,
                  pixels.begin() +
                      static_cast<std::ptrdiff_t>(y) * static_cast<std::ptrdiff_t>(padded.width));
    }
}

// One picture row. `Rows` is the number of window rows when the inner loop is unrolled
// for it, or 0 for any number.
template <std::size_t Count, bool Vector, bool Reversed, std::size_t Rows>
void WindowRowPass(BufferWord* line, int width, const std::array<Channels, Count> entries,
                   std::span<const Lane> lanes) {
    const std::size_t rows = Rows == 0 ? lanes.size() : Rows;
    for (int step = 0; step < width; ++step) {
        const int x = Reversed ? width - 1 - step : step;
        const Channels c = ChannelsOfWord(line[x]);
        const Channels q = NearestOf<Count>(c, entries);
        line[x] = WordOf(q.red, q.green, q.blue);
        const auto dr = static_cast<std::size_t>(c.red - q.red + kDifferenceOffset);
        const auto dg = static_cast<std::size_t>(c.green - q.green + kDifferenceOffset);
        const auto db = static_cast<std::size_t>(c.blue - q.blue + kDifferenceOffset);
#pragma GCC unroll 8
        for (std::size_t k = 0; k < rows; ++k) {
            const Lane& lane = lanes[k];
            BufferWord* target = line + x + lane.offset;
            if (lane.wide) {
                ApplyWindow<8, Vector>(target, lane.table + db * 16, lane.table + dg * 16,
                                       lane.table + dr * 16);
            } else {
                ApplyWindow<4, Vector>(target, lane.table + db * 8, lane.table + dg * 8, lane.table + dr * 8);
            }
        }
    }
}

template <std::size_t Count, bool Vector, std::size_t Rows>
void WindowPass(PaddedPicture& padded, const std::array<Channels, Count>& entries,
                const std::vector<WindowRow>& rows, bool serpentine) {
    std::vector<Lane> forward;
    std::vector<Lane> reversed;
    for (const WindowRow& row : rows) {
        const auto down = static_cast<std::ptrdiff_t>(row.dy) * static_cast<std::ptrdiff_t>(padded.stride);
        forward.push_back({down + row.forwardStart, row.forward.data(), row.width == 8});
        reversed.push_back({down + row.reversedStart, row.reversed.data(), row.width == 8});
    }
    for (int y = 0; y < padded.height; ++y) {
        if (serpentine && (y % 2) == 1) {
            WindowRowPass<Count, Vector, true, Rows>(padded.Row(y), padded.width, entries, reversed);
        } else {
            WindowRowPass<Count, Vector, false, Rows>(padded.Row(y), padded.width, entries, forward);
        }
    }
}

template <std::size_t Count, bool Vector>
void WindowPassFor(PaddedPicture& padded, std::span<const ColourValue> colours,
                   const std::vector<WindowRow>& rows, bool serpentine) {
    const std::vector<Channels> padding = PaddedEntries(colours, Count);
    std::array<Channels, Count> entries{};
    std::copy_n(padding.begin(), Count, entries.begin());
    // The table's kernels have one to five rows.
    switch (rows.size()) {
    case 0:
        WindowPass<Count, Vector, 0>(padded, entries, rows, serpentine);
        break;
    case 1:
        WindowPass<Count, Vector, 1>(padded, entries, rows, serpentine);
        break;
    case 2:
        WindowPass<Count, Vector, 2>(padded, entries, rows, serpentine);
        break;
    case 3:
        WindowPass<Count, Vector, 3>(padded, entries, rows, serpentine);
        break;
    case 4:
        WindowPass<Count, Vector, 4>(padded, entries, rows, serpentine);
        break;
    case 5:
        WindowPass<Count, Vector, 5>(padded, entries, rows, serpentine);
        break;
    default:
        WindowPass<Count, Vector, 0>(padded, entries, rows, serpentine);
        break;
    }
}

template <bool Vector>
void RunWindowPass(PaddedPicture& padded, std::span<const ColourValue> colours,
                   const std::vector<WindowRow>& rows, bool serpentine) {
    if (colours.size() <= 2) {
        WindowPassFor<2, Vector>(padded, colours, rows, serpentine);
    } else if (colours.size() <= 4) {
        WindowPassFor<4, Vector>(padded, colours, rows, serpentine);
    } else {
        WindowPassFor<8, Vector>(padded, colours, rows, serpentine);
    }
}

// ---- Four or eight colours: every entry matched at once ----

template <std::size_t Count> struct MatchPlan {
    explicit MatchPlan(const std::vector<Channels>& entries) : keys(entries.data()) {
        for (std::size_t i = 0; i < Count; ++i) {
            const Channels& e = entries[i];
            words[i] = WordOf(e.red, e.green, e.blue);
            offsets[i] = {static_cast<unsigned>(kDifferenceOffset - e.blue),
                          static_cast<unsigned>(kDifferenceOffset - e.green),
                          static_cast<unsigned>(kDifferenceOffset - e.red)};
        }
    }
    PaletteKeys<Count> keys;
    // Per entry: its word, and what turns a channel value into its row of the window
    // tables (the difference offset less the entry's channel: blue, green, red).
    std::array<BufferWord, 8> words{};
    std::array<std::array<unsigned, 3>, 8> offsets{};
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
        const std::size_t nearest = Match::template Nearest<Count>(plan.keys, red, green, blue);
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

template <class Match, std::size_t Count, std::size_t Rows>
void MatchedPass(PaddedPicture& padded, const MatchPlan<Count>& plan, const std::vector<WindowRow>& rows,
                 bool serpentine) {
    std::vector<Lane> forward;
    std::vector<Lane> reversed;
    for (const WindowRow& row : rows) {
        const auto down = static_cast<std::ptrdiff_t>(row.dy) * static_cast<std::ptrdiff_t>(padded.stride);
        forward.push_back({down + row.forwardStart, row.forward.data(), row.width == 8});
        reversed.push_back({down + row.reversedStart, row.reversed.data(), row.width == 8});
    }
    for (int y = 0; y < padded.height; ++y) {
        if (serpentine && (y % 2) == 1) {
            MatchedRowPass<Match, Count, true, Rows>(padded.Row(y), padded.width, plan, reversed);
        } else {
            MatchedRowPass<Match, Count, false, Rows>(padded.Row(y), padded.width, plan, forward);
        }
    }
}

// The table's kernels have one to three window rows.
template <class Match, std::size_t Count>
void MatchedPassFor(PaddedPicture& padded, const std::vector<Channels>& entries,
                    const std::vector<WindowRow>& rows, bool serpentine) {
    const auto plan = std::make_unique<MatchPlan<Count>>(entries);
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

bool TryPaddedPass(RemapPath path, std::span<const BufferWord> source, std::span<BufferWord> target,
                   int width, int height, std::span<const ColourValue> colours,
                   const std::vector<Cell>& cells, const ErrorTable& error, bool serpentine) {
    if (colours.size() > 8) {
        return false;
    }
    const std::optional<std::vector<WindowRow>> rows = PlanWindows(cells, error);
    if (!rows) {
        return false;
    }
#if defined(__SSE2__)
    // Four or eight colours on the vector paths.
    if (colours.size() > 2 && (path == RemapPath::Fastest || path == RemapPath::Baseline)) {
        const bool avx2 = path == RemapPath::Fastest && ProcessorHasAvx2();
        const auto count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
        if (avx2 && rows->empty()) {
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
    }
#endif
    PaddedPicture padded = Pad(source, width, height, rows->empty() ? 0 : rows->back().dy);
    if ((path == RemapPath::Fastest || path == RemapPath::Baseline) && kHaveVector) {
        RunWindowPass<true>(padded, colours, *rows, serpentine);
    } else {
        RunWindowPass<false>(padded, colours, *rows, serpentine);
    }
    Unpad(padded, target);
    return true;
}

} // namespace remap_detail
