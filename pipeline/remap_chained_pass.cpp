#include "pipeline/colour_matching.h"
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
#include <vector>

namespace remap_detail {
namespace {

// The chained pass for two colours.
//
// With two palette entries the pass is bound by one chain: the next pixel cannot be
// matched before the current pixel's share has reached it. This pass keeps that share
// out of memory. While the current pixel is matched, the next pixel's channels are
// worked out for either outcome, and the match only picks one of them. The other
// shares go through the windows of the padded pass, into a ring of as many padded rows
// as the kernel reaches, and each matched pixel is written straight to the result.
// lie within -512..512.
constexpr unsigned kShareBias = 512;

class ClampTable {
  public:
    ClampTable() {
        for (std::size_t i = 0; i < values_.size(); ++i) {
            values_[i] = static_cast<std::uint8_t>(
                ClampChannel(static_cast<int>(i) - static_cast<int>(kShareBias), 0));
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
                shares[p][k][static_cast<std::size_t>(v)] =
                    static_cast<unsigned>(share + static_cast<int>(kShareBias));
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
                windows[k].words = SlideWindow<direction>(windows[k].words, target, table + db * 8,
                                                          table + dg * 8, table + dr * 8);
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
    return {static_cast<unsigned>(kDifferenceOffset - entry.blue),
            static_cast<unsigned>(kDifferenceOffset - entry.green),
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
    const auto slot = [&](int y) {
        return ring.data() + (static_cast<std::size_t>(y) % ringRows) * stride + kMargin;
    };
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
        reversed.push_back(Mode == WindowMode::Sliding
                               ? Lane{-row.forwardStart, row.forward.data(), row.width == 8}
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

} // namespace

// The chained pass, when the palette has at most two colours and the kernel suits it:
// no weight at or left of the current pixel on its own row, and at most five window
// rows. Returns false, having done nothing, otherwise.
bool TryChainedPass(RemapPath path, std::span<const BufferWord> source, std::span<BufferWord> target,
                    int width, int height, std::span<const ColourValue> colours,
                    const std::vector<Cell>& cells, const ErrorTable& error, bool serpentine) {
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
    const bool narrow =
        std::all_of(rows->begin(), rows->end(), [](const WindowRow& row) { return row.width == 4; });
    const auto run = [&]<WindowMode Mode>() {
        if (next) {
            ChainedPassFor<Mode, true>(source, target, width, height, *plan, *rows, serpentine);
        } else {
            ChainedPassFor<Mode, false>(source, target, width, height, *plan, *rows, serpentine);
        }
    };
    if constexpr (kHaveVector) {
        if (path == RemapPath::Fastest || path == RemapPath::Baseline) {
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

} // namespace remap_detail
