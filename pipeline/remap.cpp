#include "pipeline/remap.h"

#include "imaging/picture.h"
#include "platform/platform.h"
#include "screen/screen_modes.h"
#include "state/app_state.h"
#include "state/error_message.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr int kLargestDistance = 268'435'455; // 2^28 - 1, above any real distance

[[gnu::always_inline]] inline int WeightedDistance(int red1, int green1, int blue1, int red2, int green2,
                                                   int blue2) {
    const int meanRed = static_cast<int>(static_cast<unsigned>(red1 + red2) >> 1); // both are 0..255
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

using ErrorTable = std::array<int, kDifferenceRange>;

// round(difference x s) for every channel difference, ties to even.
ErrorTable ScaledErrors(int strength) {
    const float s = static_cast<float>(strength) / 100.0F;
    ErrorTable error{};
    for (int difference = -255; difference <= 255; ++difference) {
        // An integer times a single-precision value is exact in double precision.
        error[static_cast<std::size_t>(difference + kDifferenceOffset)] =
            static_cast<int>(RoundHalfEven(static_cast<double>(difference) * static_cast<double>(s)));
    }
    return error;
}

// round(error x weight), ties to even. A weight above 1 could go beyond 16 bits; no
// share can move a channel further than 255 anyway.
int ShareOf(int error, float weight) {
    const double amount = RoundHalfEven(static_cast<double>(error) * static_cast<double>(weight));
    return static_cast<int>(std::clamp(amount, -512.0, 512.0));
}

// A weight of the kernel, placed relative to the current pixel on a left-to-right row.
struct Cell {
    int dx;
    int dy;
    float weight;
};

// Every cell that sends error, row by row; none for a kernel the table cannot hold.
std::vector<Cell> WeightCells(const DitherKernel& kernel) {
    std::vector<Cell> cells;
    if (kernel.width * kernel.height > static_cast<int>(kernel.cells.size())) {
        return cells;
    }
    const int origin = KernelOriginColumn(kernel);
    for (int row = 0; row < kernel.height; ++row) {
        for (int column = 0; column < kernel.width; ++column) {
            const float weight = kernel.cells[static_cast<std::size_t>(row * kernel.width + column)];
            if ((row != 0 || column != origin) && weight != 0.0F) {
                cells.push_back({column - origin, row, weight});
            }
        }
    }
    return cells;
}

struct Channels {
    int red;
    int green;
    int blue;
};

// Buffer words carry red in bits 16-23 and blue in bits 0-7.
[[gnu::always_inline]] inline Channels ChannelsOfWord(BufferWord word) {
    return {static_cast<int>((word >> 16) & 0xFFu), static_cast<int>((word >> 8) & 0xFFu),
            static_cast<int>(word & 0xFFu)};
}

[[gnu::always_inline]] inline BufferWord WordOf(int red, int green, int blue) {
    return (static_cast<BufferWord>(red) << 16) | (static_cast<BufferWord>(green) << 8) |
           static_cast<BufferWord>(blue);
}

// Index of the nearest entry; on equal distances the earlier one. Written without a
// branch on the comparison: which entry wins is unpredictable.
template <std::size_t Count>
std::size_t NearestEntry(const Channels& c, const Channels* entries, std::size_t count) {
    const std::size_t n = Count == 0 ? count : Count;
    int best = kLargestDistance;
    std::size_t nearest = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const Channels& candidate = entries[i];
        const int distance =
            WeightedDistance(c.red, c.green, c.blue, candidate.red, candidate.green, candidate.blue);
        const bool closer = distance < best;
        best = closer ? distance : best;
        nearest = closer ? i : nearest;
    }
    return nearest;
}

// The nearest entry itself, carried along the comparisons in registers rather than
// looked up by index afterwards: the next pixel waits for it.
template <std::size_t Count>
[[gnu::always_inline]] inline Channels NearestOf(const Channels& c,
                                                 const std::array<Channels, Count>& entries) {
    int best = kLargestDistance;
    Channels nearest = entries[0];
#pragma GCC unroll 8
    for (std::size_t i = 0; i < Count; ++i) {
        const Channels& candidate = entries[i];
        const int distance =
            WeightedDistance(c.red, c.green, c.blue, candidate.red, candidate.green, candidate.blue);
        const bool closer = distance < best;
        best = closer ? distance : best;
        nearest.red = closer ? candidate.red : nearest.red;
        nearest.green = closer ? candidate.green : nearest.green;
        nearest.blue = closer ? candidate.blue : nearest.blue;
    }
    return nearest;
}

// The palette padded to a size the matching loop unrolls for, with copies of its last
// entry, which never win a tie. Empty palettes are handled before this.
std::vector<Channels> PaddedEntries(std::span<const ColourValue> colours, std::size_t size) {
    std::vector<Channels> entries;
    for (const ColourValue colour : colours) {
        entries.push_back({static_cast<int>(RedOf(colour)), static_cast<int>(GreenOf(colour)),
                           static_cast<int>(BlueOf(colour))});
    }
    entries.resize(std::max(size, entries.size()), entries.back());
    return entries;
}

// ---- The plain pass: one share at a time, every target checked against the edges ----

// One weight turned into a table from a channel difference straight to the share.
struct Share {
    int dx;
    int dy;
    std::array<std::int16_t, kDifferenceRange> amount;
};

std::vector<Share> BuildShares(const std::vector<Cell>& cells, const ErrorTable& error) {
    std::vector<Share> shares;
    for (const Cell& cell : cells) {
        Share share{cell.dx, cell.dy, {}};
        for (std::size_t i = 0; i < kDifferenceRange; ++i) {
            share.amount[i] = static_cast<std::int16_t>(ShareOf(error[i], cell.weight));
        }
        shares.push_back(share);
    }
    return shares;
}

template <std::size_t Count>
void PlainPass(std::span<BufferWord> pixels, int width, int height, const std::vector<Channels>& entries,
               const std::vector<Share>& shares, bool serpentine) {
    const auto index = [width](int x, int y) {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x);
    };
    for (int y = 0; y < height; ++y) {
        const bool reversed = serpentine && (y % 2) == 1;
        const int direction = reversed ? -1 : 1;
        for (int step = 0; step < width; ++step) {
            const int x = reversed ? width - 1 - step : step;
            const Channels c = ChannelsOfWord(pixels[index(x, y)]);
            const Channels q = entries[NearestEntry<Count>(c, entries.data(), entries.size())];
            pixels[index(x, y)] = WordOf(q.red, q.green, q.blue);

            const auto dr = static_cast<std::size_t>(c.red - q.red + kDifferenceOffset);
            const auto dg = static_cast<std::size_t>(c.green - q.green + kDifferenceOffset);
            const auto db = static_cast<std::size_t>(c.blue - q.blue + kDifferenceOffset);
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

void RunPlainPass(std::span<BufferWord> pixels, int width, int height, std::span<const ColourValue> colours,
                  const std::vector<Cell>& cells, const ErrorTable& error, bool serpentine) {
    const std::vector<Share> shares = BuildShares(cells, error);
    if (colours.size() <= 2) {
        PlainPass<2>(pixels, width, height, PaddedEntries(colours, 2), shares, serpentine);
    } else if (colours.size() <= 4) {
        PlainPass<4>(pixels, width, height, PaddedEntries(colours, 4), shares, serpentine);
    } else if (colours.size() <= 8) {
        PlainPass<8>(pixels, width, height, PaddedEntries(colours, 8), shares, serpentine);
    } else {
        PlainPass<0>(pixels, width, height, PaddedEntries(colours, 0), shares, serpentine);
    }
}

// ---- The padded pass: each kernel row's shares land as one window of pixels ----
//
// The picture is copied into a buffer with spare columns either side of every row and
// spare rows below, so shares that would leave the picture land in the spare pixels
// instead of being tested for. Each kernel row's weights then cover a window of 4 or 8
// neighbouring pixels, and its shares for one error are looked up per channel as one
// row of bytes. Adding them is a saturating byte add of the positive shares and a
// saturating subtract of the negative ones, which is ClampChannel on every channel
// because a share is never both.

constexpr int kMargin = 16;  // spare columns either side of a row
constexpr int kMaxReach = 8; // the furthest column a weight may reach in this pass

struct WindowRow {
    int dy = 0;
    int width = 0;         // 4 or 8 pixels
    int forwardStart = 0;  // first window column relative to x on left-to-right rows
    int reversedStart = 0; // the same on right-to-left rows, where the kernel is mirrored
    // Per channel difference: `width` bytes to add then `width` to take away, one per
    // window column; for the mirrored kernel the columns are reversed.
    std::vector<std::uint8_t> forward;
    std::vector<std::uint8_t> reversed;
};

// The kernel as windows, or nothing when a row reaches too far for the spare columns.
std::optional<std::vector<WindowRow>> PlanWindows(const std::vector<Cell>& cells, const ErrorTable& error) {
    std::vector<WindowRow> rows;
    for (std::size_t first = 0; first < cells.size();) {
        std::size_t last = first;
        int low = cells[first].dx;
        int high = cells[first].dx;
        while (last < cells.size() && cells[last].dy == cells[first].dy) {
            low = std::min(low, cells[last].dx);
            high = std::max(high, cells[last].dx);
            ++last;
        }
        if (low < -kMaxReach || high > kMaxReach || high - low >= 8) {
            return std::nullopt;
        }
        WindowRow row;
        row.dy = cells[first].dy;
        row.width = high - low < 4 ? 4 : 8;
        row.forwardStart = low;
        row.reversedStart = -(low + row.width - 1);
        const auto entry = static_cast<std::size_t>(2 * row.width);
        row.forward.assign(kDifferenceRange * entry, 0);
        row.reversed.assign(kDifferenceRange * entry, 0);
        for (std::size_t k = first; k < last; ++k) {
            const auto column = static_cast<std::size_t>(cells[k].dx - low);
            const std::size_t mirrored = static_cast<std::size_t>(row.width - 1) - column;
            for (std::size_t d = 0; d < kDifferenceRange; ++d) {
                const int share = ShareOf(error[d], cells[k].weight);
                const auto add = static_cast<std::uint8_t>(std::clamp(share, 0, 255));
                const auto subtract = static_cast<std::uint8_t>(std::clamp(-share, 0, 255));
                std::uint8_t* forward = &row.forward[d * entry];
                std::uint8_t* reversed = &row.reversed[d * entry];
                forward[column] = add;
                forward[static_cast<std::size_t>(row.width) + column] = subtract;
                reversed[mirrored] = add;
                reversed[static_cast<std::size_t>(row.width) + mirrored] = subtract;
            }
        }
        rows.push_back(std::move(row));
        first = last;
    }
    return rows;
}

// Adds one window of shares, given per channel as `Width` bytes to add then `Width` to
// take away, to the `Width` words at `target`. Plain integer code.
template <int Width>
[[gnu::always_inline]] inline void ApplyWindowPortable(BufferWord* target, const std::uint8_t* blue,
                                                       const std::uint8_t* green, const std::uint8_t* red) {
    const auto clamped = [](unsigned channel, std::uint8_t add, std::uint8_t subtract) {
        const int sum = static_cast<int>(channel) + add - subtract;
        return static_cast<BufferWord>(sum < 0 ? 0 : (sum > 255 ? 255 : sum));
    };
    for (int j = 0; j < Width; ++j) {
        const BufferWord word = target[j];
        target[j] = (clamped((word >> 16) & 0xFFu, red[j], red[Width + j]) << 16) |
                    (clamped((word >> 8) & 0xFFu, green[j], green[Width + j]) << 8) |
                    clamped(word & 0xFFu, blue[j], blue[Width + j]) | (word & 0xFF000000u);
    }
}

#if defined(__SSE2__)
// One window's shares for one error: what to add to and take away from its first four
// words, then from the next four. The bytes of the three channels are interleaved into
// buffer-word order (blue, green, red, 0).
struct VectorShares {
    __m128i addLow;
    __m128i subtractLow;
    __m128i addHigh;
    __m128i subtractHigh;
};

template <int Width>
[[gnu::always_inline]] inline VectorShares SharesOf(const std::uint8_t* blue, const std::uint8_t* green,
                                                    const std::uint8_t* red) {
    const __m128i zero = _mm_setzero_si128();
    if constexpr (Width == 4) {
        const __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(blue));
        const __m128i g = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(green));
        const __m128i r = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(red));
        const __m128i blueGreen = _mm_unpacklo_epi8(b, g);
        const __m128i redZero = _mm_unpacklo_epi8(r, zero);
        return {_mm_unpacklo_epi16(blueGreen, redZero), _mm_unpackhi_epi16(blueGreen, redZero), zero, zero};
    } else {
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(blue));
        const __m128i g = _mm_loadu_si128(reinterpret_cast<const __m128i*>(green));
        const __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(red));
        const __m128i blueGreenAdd = _mm_unpacklo_epi8(b, g);
        const __m128i redAdd = _mm_unpacklo_epi8(r, zero);
        const __m128i blueGreenSubtract = _mm_unpackhi_epi8(b, g);
        const __m128i redSubtract = _mm_unpackhi_epi8(r, zero);
        return {_mm_unpacklo_epi16(blueGreenAdd, redAdd), _mm_unpacklo_epi16(blueGreenSubtract, redSubtract),
                _mm_unpackhi_epi16(blueGreenAdd, redAdd), _mm_unpackhi_epi16(blueGreenSubtract, redSubtract)};
    }
}

[[gnu::always_inline]] inline __m128i AddShares(__m128i words, __m128i add, __m128i subtract) {
    return _mm_subs_epu8(_mm_adds_epu8(words, add), subtract);
}

// The same as ApplyWindowPortable with saturating byte arithmetic, four pixels to a register.
template <int Width>
[[gnu::always_inline]] inline void ApplyWindowVector(BufferWord* target, const std::uint8_t* blue,
                                                     const std::uint8_t* green, const std::uint8_t* red) {
    const VectorShares shares = SharesOf<Width>(blue, green, red);
    auto* words = reinterpret_cast<__m128i*>(target);
    _mm_storeu_si128(words, AddShares(_mm_loadu_si128(words), shares.addLow, shares.subtractLow));
    if constexpr (Width == 8) {
        _mm_storeu_si128(words + 1, AddShares(_mm_loadu_si128(words + 1), shares.addHigh, shares.subtractHigh));
    }
}

// A window row of four words held in a register while a row is converted, so that the
// overlapping windows of neighbouring pixels are not stored and loaded again (a load
// that straddles an earlier store waits for it). Lane j holds the word that window
// column j reaches from the current pixel, at start + direction x j, where start moves
// by direction with each pixel; on right-to-left rows the columns are mirrored, so the
// left-to-right tables serve both directions. Where a kernel has wider rows, their
// extra shuffles cost more than the stores save, and the windows stay in memory.
template <std::ptrdiff_t Direction>
[[gnu::always_inline]] inline __m128i LoadWindow(const BufferWord* start) {
    return _mm_setr_epi32(static_cast<int>(start[0]), static_cast<int>(start[Direction]),
                          static_cast<int>(start[2 * Direction]), static_cast<int>(start[3 * Direction]));
}

template <std::ptrdiff_t Direction>
[[gnu::always_inline]] inline void StoreWindow(__m128i window, BufferWord* start) {
    alignas(16) std::array<BufferWord, 4> lanes{};
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes.data()), window);
    for (std::size_t j = 0; j < lanes.size(); ++j) {
        start[Direction * static_cast<std::ptrdiff_t>(j)] = lanes[j];
    }
}

// Adds one pixel's shares, stores lane 0, which no later pixel reaches, and moves the
// window on by one word.
template <std::ptrdiff_t Direction>
[[gnu::always_inline]] inline __m128i SlideWindow(__m128i window, BufferWord* start, const std::uint8_t* blue,
                                                  const std::uint8_t* green, const std::uint8_t* red) {
    const VectorShares shares = SharesOf<4>(blue, green, red);
    const __m128i words = AddShares(window, shares.addLow, shares.subtractLow);
    *start = static_cast<BufferWord>(_mm_cvtsi128_si32(words));
    const __m128i entering = _mm_cvtsi32_si128(static_cast<int>(start[Direction * 4]));
    return _mm_or_si128(_mm_srli_si128(words, 4), _mm_slli_si128(entering, 12));
}
constexpr bool kHaveVector = true;
#else
template <int Width>
[[gnu::always_inline]] inline void ApplyWindowVector(BufferWord* target, const std::uint8_t* blue,
                                                     const std::uint8_t* green, const std::uint8_t* red) {
    ApplyWindowPortable<Width>(target, blue, green, red);
}
constexpr bool kHaveVector = false;
#endif

template <int Width, bool Vector>
[[gnu::always_inline]] inline void ApplyWindow(BufferWord* target, const std::uint8_t* blue,
                                               const std::uint8_t* green, const std::uint8_t* red) {
    if constexpr (Vector) {
        ApplyWindowVector<Width>(target, blue, green, red);
    } else {
        ApplyWindowPortable<Width>(target, blue, green, red);
    }
}

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

// One window row as the inner loop uses it for one direction: where its window starts
// relative to the current pixel, and its table.
struct Lane {
    std::ptrdiff_t offset;
    const std::uint8_t* table;
    bool wide;
};

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

// ---- The chained pass for two colours ----
//
// With two palette entries the pass is bound by one chain: the next pixel cannot be
// matched before the current pixel's share has reached it. This pass keeps that share
// out of memory. While the current pixel is matched, the next pixel's channels are
// worked out for either outcome, and the match only picks one of them. The other
// shares go through the windows of the padded pass, into a ring of as many padded rows
// as the kernel reaches, and each matched pixel is written straight to the result.

// The distance to entry 0 minus that to entry 1, in parts that depend on one channel
// each, except the blue terms, which are products of a red part and a blue part.
class TwoEntryMatch {
  public:
    TwoEntryMatch(const Channels& first, const Channels& second) {
        for (int v = 0; v < 256; ++v) {
            const auto i = static_cast<std::size_t>(v);
            const auto redTerm = [v](int entry) {
                const int mean = (v + entry) / 2;
                return ((512 + mean) * (v - entry) * (v - entry)) / 256;
            };
            const auto square = [v](int entry) { return (v - entry) * (v - entry); };
            redGreen_[0][i] = redTerm(first.red) - redTerm(second.red);
            redGreen_[1][i] = 4 * square(first.green) - 4 * square(second.green);
            blueWeight_[0][i] = 767 - (v + first.red) / 2;
            blueWeight_[1][i] = 767 - (v + second.red) / 2;
            blueSquare_[0][i] = square(first.blue);
            blueSquare_[1][i] = square(second.blue);
        }
    }

    // Entry 1 is strictly nearer when the first of the two is greater than the second;
    // on equal distances entry 0 wins.
    struct Sides {
        int first;
        int second;
    };
    [[gnu::always_inline]] Sides Compare(unsigned red, unsigned green, unsigned blue) const {
        // Both products are never negative, so the shifts are the divisions by 256.
        const auto blueTerm = [&](std::size_t entry) {
            return static_cast<int>(static_cast<unsigned>(blueWeight_[entry][red] * blueSquare_[entry][blue]) >> 8);
        };
        return {redGreen_[0][red] + redGreen_[1][green] + blueTerm(0), blueTerm(1)};
    }

  private:
    // Per channel value: the red and the green terms of entry 0 less those of entry 1;
    // per entry, the blue weight by red value and the blue difference squared.
    std::array<std::array<int, 256>, 2> redGreen_{};
    std::array<std::array<int, 256>, 2> blueWeight_{};
    std::array<std::array<int, 256>, 2> blueSquare_{};
};
// ClampChannel(channel, share) as one look-up, by channel + share + kShareBias; shares
// lie within -512..512.
constexpr unsigned kShareBias = 512;

class ClampTable {
  public:
    ClampTable() {
        for (std::size_t i = 0; i < values_.size(); ++i) {
            values_[i] = static_cast<std::uint8_t>(ClampChannel(static_cast<int>(i) - static_cast<int>(kShareBias), 0));
        }
    }
    [[gnu::always_inline]] unsigned operator()(unsigned channel, unsigned biasedShare) const {
        return values_[channel + biasedShare];
    }

  private:
    std::array<std::uint8_t, 256 + 2 * kShareBias> values_{};
};

// The share the next pixel gets from the current one, plus kShareBias, per entry and
// channel (blue, green, red), indexed by the current pixel's channel value.
using NextShares = std::array<std::array<std::array<unsigned, 256>, 3>, 2>;

NextShares BuildNextShares(const std::array<Channels, 2>& entries, float weight, const ErrorTable& error) {
    NextShares shares{};
    for (std::size_t p = 0; p < 2; ++p) {
        const int channels[3] = {entries[p].blue, entries[p].green, entries[p].red};
        for (std::size_t k = 0; k < 3; ++k) {
            for (int v = 0; v < 256; ++v) {
                const int share =
                    ShareOf(error[static_cast<std::size_t>(v - channels[k] + kDifferenceOffset)], weight);
                shares[p][k][static_cast<std::size_t>(v)] = static_cast<unsigned>(share + static_cast<int>(kShareBias));
            }
        }
    }
    return shares;
}

struct ChainedRow {
    const BufferWord* line;           // the padded row being converted
    BufferWord* out;                  // its row of the result
    std::array<BufferWord*, 8> lanes; // where each window starts for x = 0
};

struct ChainedPlan {
    TwoEntryMatch match;
    std::array<BufferWord, 2> words;
    // Per entry, what turns a channel value into its row of the window tables: the
    // difference offset less the entry's channel.
    std::array<std::array<unsigned, 3>, 2> offsets;
    NextShares next;
    ClampTable clamp;
};

// Replaces the three channels with the others when `first` is greater than `second`.
// Which entry is nearer is unpredictable, and the compiler would branch on it.
[[gnu::always_inline]] inline void PickWhenGreater(int first, int second, unsigned& blue, unsigned& green,
                                                   unsigned& red, unsigned otherBlue, unsigned otherGreen,
                                                   unsigned otherRed) {
#if defined(__x86_64__) || defined(__i386__)
    asm("cmpl %[second], %[first]\n\t"
        "cmovg %[otherBlue], %[blue]\n\t"
        "cmovg %[otherGreen], %[green]\n\t"
        "cmovg %[otherRed], %[red]"
        : [blue] "+r"(blue), [green] "+r"(green), [red] "+r"(red)
        : [first] "r"(first), [second] "r"(second), [otherBlue] "r"(otherBlue), [otherGreen] "r"(otherGreen),
          [otherRed] "r"(otherRed)
        : "cc");
#else
    const unsigned mask = 0u - static_cast<unsigned>(first > second);
    blue ^= (blue ^ otherBlue) & mask;
    green ^= (green ^ otherGreen) & mask;
    red ^= (red ^ otherRed) & mask;
#endif
}

// How the chained pass adds the shares of the window rows.
enum class WindowMode {
    Portable, // plain integer code on the words in memory
    Vector,   // saturating byte arithmetic on the words in memory
    Sliding,  // saturating byte arithmetic on words held in registers; four-word windows only
};

template <WindowMode Mode, bool Reversed, std::size_t Rows, bool Next>
void ChainedRowPass(const ChainedRow& row, int width, const ChainedPlan& plan, std::span<const Lane> lanes) {
    // Everything the loop reads besides the pixels is held locally: the window stores
    // could otherwise alias it and force reloads.
    const BufferWord* const line = row.line;
    BufferWord* const out = row.out;
    std::array<BufferWord*, Rows + 1> targets{};
    std::array<const std::uint8_t*, Rows + 1> tables{};
    std::array<bool, Rows + 1> wide{};
    for (std::size_t k = 0; k < Rows; ++k) {
        targets[k] = row.lanes[k];
        tables[k] = lanes[k].table;
        wide[k] = lanes[k].wide;
    }
    constexpr std::ptrdiff_t direction = Reversed ? -1 : 1;
    const std::ptrdiff_t first = Reversed ? width - 1 : 0;
#if defined(__SSE2__)
    struct Window {
        __m128i words;
    };
    std::array<Window, Rows + 1> windows{};
    if constexpr (Mode == WindowMode::Sliding) {
        for (std::size_t k = 0; k < Rows; ++k) {
            windows[k].words = LoadWindow<direction>(targets[k] + first);
        }
    }
#endif
    BufferWord word = line[first];
    unsigned blue = word & 0xFFu;
    unsigned green = (word >> 8) & 0xFFu;
    unsigned red = (word >> 16) & 0xFFu;
    for (std::ptrdiff_t step = 0; step < width; ++step) {
        const std::ptrdiff_t x = Reversed ? width - 1 - step : step;
        const TwoEntryMatch::Sides sides = plan.match.Compare(red, green, blue);
        const auto second = static_cast<unsigned>(sides.first > sides.second);
        out[x] = plan.words[second];
        const auto& offset = plan.offsets[second];
        const std::size_t db = blue + offset[0];
        const std::size_t dg = green + offset[1];
        const std::size_t dr = red + offset[2];
#pragma GCC unroll 8
        for (std::size_t k = 0; k < Rows; ++k) {
            BufferWord* target = targets[k] + x;
            const std::uint8_t* table = tables[k];
#if defined(__SSE2__)
            if constexpr (Mode == WindowMode::Sliding) {
                windows[k].words =
                    SlideWindow<direction>(windows[k].words, target, table + db * 8, table + dg * 8, table + dr * 8);
                continue;
            }
#endif
            constexpr bool kVectorWindow = Mode != WindowMode::Portable;
            if (wide[k]) {
                ApplyWindow<8, kVectorWindow>(target, table + db * 16, table + dg * 16, table + dr * 16);
            } else {
                ApplyWindow<4, kVectorWindow>(target, table + db * 8, table + dg * 8, table + dr * 8);
            }
        }
        // One past the row's end lies in the spare columns; what is read there goes unused.
        // No window of this pixel reaches the next one.
        word = line[x + direction];
        if constexpr (Next) {
            const auto& next0 = plan.next[0];
            const auto& next1 = plan.next[1];
            const unsigned baseBlue = word & 0xFFu;
            const unsigned baseGreen = (word >> 8) & 0xFFu;
            const unsigned baseRed = (word >> 16) & 0xFFu;
            unsigned blue0 = plan.clamp(baseBlue, next0[0][blue]);
            const unsigned blue1 = plan.clamp(baseBlue, next1[0][blue]);
            unsigned green0 = plan.clamp(baseGreen, next0[1][green]);
            const unsigned green1 = plan.clamp(baseGreen, next1[1][green]);
            unsigned red0 = plan.clamp(baseRed, next0[2][red]);
            const unsigned red1 = plan.clamp(baseRed, next1[2][red]);
            PickWhenGreater(sides.first, sides.second, blue0, green0, red0, blue1, green1, red1);
            blue = blue0;
            green = green0;
            red = red0;
        } else {
            blue = word & 0xFFu;
            green = (word >> 8) & 0xFFu;
            red = (word >> 16) & 0xFFu;
        }
    }
#if defined(__SSE2__)
    if constexpr (Mode == WindowMode::Sliding) {
        const std::ptrdiff_t end = first + direction * width;
        for (std::size_t k = 0; k < Rows; ++k) {
            StoreWindow<direction>(windows[k].words, targets[k] + end);
        }
    }
#endif
}

std::array<unsigned, 3> OffsetsOf(const Channels& entry) {
    return {static_cast<unsigned>(kDifferenceOffset - entry.blue), static_cast<unsigned>(kDifferenceOffset - entry.green),
            static_cast<unsigned>(kDifferenceOffset - entry.red)};
}

// The rows of the picture, each copied into the ring when it first comes within reach.
template <WindowMode Mode, std::size_t Rows, bool Next>
void ChainedPass(std::span<const BufferWord> source, std::span<BufferWord> target, int width, int height,
                 const ChainedPlan& plan, const std::vector<WindowRow>& rows, bool serpentine) {
    const int reach = rows.empty() ? 0 : rows.back().dy;
    const auto ringRows = static_cast<std::size_t>(reach + 1);
    const std::size_t stride = static_cast<std::size_t>(width) + 2 * kMargin;
    std::vector<BufferWord> ring(ringRows * stride, 0u);
    const auto w = static_cast<std::size_t>(width);
    const auto slot = [&](int y) { return ring.data() + (static_cast<std::size_t>(y) % ringRows) * stride + kMargin; };
    const auto load = [&](int y) {
        if (y < height) {
            const BufferWord* in = source.data() + static_cast<std::size_t>(y) * w;
            std::copy(in, in + w, slot(y));
        }
    };
    for (int y = 0; y <= reach; ++y) {
        load(y);
    }
    std::vector<Lane> forward;
    std::vector<Lane> reversed;
    for (const WindowRow& row : rows) {
        forward.push_back({row.forwardStart, row.forward.data(), row.width == 8});
        // The sliding windows run mirrored on right-to-left rows; the others use the
        // mirrored tables.
        reversed.push_back(Mode == WindowMode::Sliding ? Lane{-row.forwardStart, row.forward.data(), row.width == 8}
                                  : Lane{row.reversedStart, row.reversed.data(), row.width == 8});
    }
    for (int y = 0; y < height; ++y) {
        const bool backwards = serpentine && (y % 2) == 1;
        const std::vector<Lane>& lanes = backwards ? reversed : forward;
        ChainedRow row{slot(y), target.data() + static_cast<std::size_t>(y) * w, {}};
        for (std::size_t k = 0; k < Rows; ++k) {
            row.lanes[k] = slot(y + rows[k].dy) + lanes[k].offset;
        }
        if (backwards) {
            ChainedRowPass<Mode, true, Rows, Next>(row, width, plan, lanes);
        } else {
            ChainedRowPass<Mode, false, Rows, Next>(row, width, plan, lanes);
        }
        // Row y's slot now takes the row that has just come within reach.
        load(y + reach + 1);
    }
}

template <WindowMode Mode, bool Next>
void ChainedPassFor(std::span<const BufferWord> source, std::span<BufferWord> target, int width, int height,
                    const ChainedPlan& plan, const std::vector<WindowRow>& rows, bool serpentine) {
    switch (rows.size()) {
    case 0:
        ChainedPass<Mode, 0, Next>(source, target, width, height, plan, rows, serpentine);
        break;
    case 1:
        ChainedPass<Mode, 1, Next>(source, target, width, height, plan, rows, serpentine);
        break;
    case 2:
        ChainedPass<Mode, 2, Next>(source, target, width, height, plan, rows, serpentine);
        break;
    case 3:
        ChainedPass<Mode, 3, Next>(source, target, width, height, plan, rows, serpentine);
        break;
    case 4:
        ChainedPass<Mode, 4, Next>(source, target, width, height, plan, rows, serpentine);
        break;
    default:
        ChainedPass<Mode, 5, Next>(source, target, width, height, plan, rows, serpentine);
        break;
    }
}

// The chained pass, when the palette has at most two colours and the kernel suits it:
// no weight at or left of the current pixel on its own row, and at most five window
// rows. Returns false, having done nothing, otherwise.
bool TryChainedPass(RemapPath path, std::span<const BufferWord> source, std::span<BufferWord> target, int width,
                    int height, std::span<const ColourValue> colours, const std::vector<Cell>& cells,
                    const ErrorTable& error, bool serpentine) {
    if (colours.size() > 2) {
        return false;
    }
    if (width == 0 || height == 0) {
        return true;
    }
    float nextWeight = 0.0F;
    std::vector<Cell> others;
    for (const Cell& cell : cells) {
        if (cell.dy == 0 && cell.dx <= 0) {
            return false;
        }
        if (cell.dy == 0 && cell.dx == 1) {
            nextWeight = cell.weight;
        } else {
            others.push_back(cell);
        }
    }
    const std::optional<std::vector<WindowRow>> rows = PlanWindows(others, error);
    if (!rows || rows->size() > 5) {
        return false;
    }
    const std::vector<Channels> padding = PaddedEntries(colours, 2);
    const std::array<Channels, 2> entries{padding[0], padding[1]};
    const auto plan = std::make_unique<ChainedPlan>(ChainedPlan{
        TwoEntryMatch(entries[0], entries[1]),
        {WordOf(entries[0].red, entries[0].green, entries[0].blue),
         WordOf(entries[1].red, entries[1].green, entries[1].blue)},
        {OffsetsOf(entries[0]), OffsetsOf(entries[1])},
        BuildNextShares(entries, nextWeight, error),
        ClampTable(),
    });
    const bool next = nextWeight != 0.0F;
    const bool narrow = std::all_of(rows->begin(), rows->end(), [](const WindowRow& row) { return row.width == 4; });
    const auto run = [&]<WindowMode Mode>() {
        if (next) {
            ChainedPassFor<Mode, true>(source, target, width, height, *plan, *rows, serpentine);
        } else {
            ChainedPassFor<Mode, false>(source, target, width, height, *plan, *rows, serpentine);
        }
    };
    if constexpr (kHaveVector) {
        if (path == RemapPath::Fastest) {
            if (narrow) {
                run.template operator()<WindowMode::Sliding>();
            } else {
                run.template operator()<WindowMode::Vector>();
            }
            return true;
        }
    }
    run.template operator()<WindowMode::Portable>();
    return true;
}

// The pass from `source` into `target`, both width x height words; they may be the
// same buffer. The arguments have been checked.
void Remap(RemapPath path, std::span<const BufferWord> source, std::span<BufferWord> target, int width,
           int height, std::span<const ColourValue> colours, const DitherKernel& kernel, int strength,
           bool serpentine) {
    const auto count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (colours.empty()) {
        std::fill(target.begin(), target.begin() + static_cast<std::ptrdiff_t>(count), 0u);
        return;
    }
    const ErrorTable error = ScaledErrors(strength);
    const std::vector<Cell> cells = strength == 0 ? std::vector<Cell>{} : WeightCells(kernel);
    if (path != RemapPath::Plain &&
        TryChainedPass(path, source, target, width, height, colours, cells, error, serpentine)) {
        return;
    }
    if (path != RemapPath::Plain && colours.size() <= 8) {
        if (const std::optional<std::vector<WindowRow>> rows = PlanWindows(cells, error)) {
            const int spareRows = rows->empty() ? 0 : rows->back().dy;
            PaddedPicture padded = Pad(source, width, height, spareRows);
            if (path == RemapPath::Fastest && kHaveVector) {
                RunWindowPass<true>(padded, colours, *rows, serpentine);
            } else {
                RunWindowPass<false>(padded, colours, *rows, serpentine);
            }
            Unpad(padded, target);
            return;
        }
    }
    if (source.data() != target.data()) {
        std::copy(source.begin(), source.begin() + static_cast<std::ptrdiff_t>(count), target.begin());
    }
    RunPlainPass(target, width, height, colours, cells, error, serpentine);
}

bool ValidPass(std::size_t pixelCount, int width, int height, int strength) {
    return strength >= 0 && strength <= 100 && width >= 0 && height >= 0 &&
           pixelCount >= static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
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

bool RemapPixelsWith(RemapPath path, std::span<BufferWord> pixels, int width, int height,
                     std::span<const ColourValue> colours, const DitherKernel& kernel, int strength,
                     bool serpentine) {
    if (!ValidPass(pixels.size(), width, height, strength)) {
        return false;
    }
    Remap(path, pixels, pixels, width, height, colours, kernel, strength, serpentine);
    return true;
}

bool RemapPixels(std::span<BufferWord> pixels, int width, int height, std::span<const ColourValue> colours,
                 const DitherKernel& kernel, int strength, bool serpentine) {
    return RemapPixelsWith(RemapPath::Fastest, pixels, width, height, colours, kernel, strength, serpentine);
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
    const Picture* input = FindPicture(picture);
    if (input == nullptr || input->width <= 0 || input->height <= 0) {
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
        // The pass reads the input straight from the store and writes the new picture,
        // which replaces picture 7 only once it is complete (the input may be picture 7).
        Picture result{input->width, input->height,
                       std::vector<BufferWord>(static_cast<std::size_t>(input->width) *
                                               static_cast<std::size_t>(input->height))};
        Remap(RemapPath::Fastest, input->pixels, result.pixels, result.width, result.height, colours, kernel,
              strength, serpentine != 0);
        FreePicture(convertedPicture);
        StorePicture(convertedPicture, std::move(result));
        converted = true;
    } catch (const std::bad_alloc&) {
        converted = false;
    }
    SetWindowEnabled(mainWindow, true);
    return converted ? convertedPicture : 0;
}
