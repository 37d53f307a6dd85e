#include "pipeline/colour_matching.h"
#include "pipeline/remap_chained_kinds.h"
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
// as the kernel reaches; each matched pixel takes its own place in its row there, and
// the row goes to the result once it is done.
//
// Palettes of more colours whose entries all lie on corners of the colour cube (see
// CornerMatch) take the same pass: each channel of the next pixel then has only two
// outcomes, for the corner's channel at 0 or at 255, and the match picks one per channel.

// ClampChannel(channel, share) as one look-up, by channel + share + kShareBias; shares
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
    [[gnu::always_inline]] std::size_t operator()(std::size_t channel, unsigned biasedShare) const {
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
                const int share = ShareOf(error[DifferenceIndex(v - channels[k])], weight);
                shares[p][k][static_cast<std::size_t>(v)] =
                    static_cast<unsigned>(share + static_cast<int>(kShareBias));
            }
        }
    }
    return shares;
}

struct ChainedRow {
    BufferWord* line;                 // the padded row being converted
    std::array<BufferWord*, 8> lanes; // where each window starts for x = 0
};

template <class Kind> struct ChainedPlan {
    typename Kind::Match match;
    std::array<BufferWord, Kind::kEntries> words{};
    // Per entry, what turns a channel value into its row of the window tables: the
    // difference offset less the entry's channel.
    std::array<std::array<unsigned, 3>, Kind::kEntries> offsets{};
    // The next pixel's shares for either outcome of the match (see Kind::PickNext).
    NextShares next{};
    ClampTable clamp;
};

// How the chained pass adds the shares of the window rows.
enum class WindowMode {
    Portable, // plain integer code on the words in memory
    Vector,   // saturating byte arithmetic on the words in memory
    Sliding,  // saturating byte arithmetic on words held in registers; four-word windows only
};

template <class Kind, WindowMode Mode, bool Reversed, std::size_t Rows, bool Next>
void ChainedRowPass(ChainedRow& row, int width, const ChainedPlan<Kind>& plan, std::span<const Lane> lanes) {
    // Everything the loop reads besides the pixels is held locally: the window stores
    // could otherwise alias it and force reloads. The loop counts towards zero and needs
    // no bound of its own: x runs over -width..-1 left to right, width-1..0 right to
    // left, with the rows moved to suit. Each matched pixel goes to its own slot of the
    // row, which nothing reads again, and the row is copied to the result afterwards: a
    // pointer to the result row would be one register too many, and the compiler would
    // keep it on the stack, and with a load from the stack every pixel the same build
    // runs a third slower in some processes than in others.
    const std::ptrdiff_t origin = Reversed ? 0 : width;
    BufferWord* const line = row.line + origin;
    std::array<BufferWord*, Rows + 1> targets{};
    std::array<const std::uint8_t*, Rows + 1> tables{};
    std::array<bool, Rows + 1> wide{};
    for (std::size_t k = 0; k < Rows; ++k) {
        targets[k] = row.lanes[k] + origin;
        tables[k] = lanes[k].table;
        wide[k] = lanes[k].wide;
    }
    constexpr std::ptrdiff_t direction = Reversed ? -1 : 1;
    const std::ptrdiff_t first = Reversed ? width - 1 : -std::ptrdiff_t{width};
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
    // The channels fill whole registers, so that indexing with them needs no widening.
    std::size_t blue = word & 0xFFu;
    std::size_t green = (word >> 8) & 0xFFu;
    std::size_t red = (word >> 16) & 0xFFu;
    for (std::ptrdiff_t x = first; Reversed ? x >= 0 : x < 0; x += direction) {
        // Where the match needs many registers, the pixel's channels wait in its own
        // slot of the row, which nothing reads again, until the shares need them. Held
        // in registers across the match they would be spilled, and the spill would lie
        // on the chain from pixel to pixel; the loads below are off it.
        auto* const held = reinterpret_cast<std::uint8_t*>(line + x);
        if constexpr (Kind::kHoldsChannels) {
            held[0] = static_cast<std::uint8_t>(blue);
            held[1] = static_cast<std::uint8_t>(green);
            held[2] = static_cast<std::uint8_t>(red);
        }
        const auto outcome = Kind::Nearest(plan.match, red, green, blue);
        const std::size_t entry = Kind::EntryOf(outcome);
        if constexpr (Kind::kHoldsChannels) {
            blue = held[0];
            green = held[1];
            red = held[2];
        }
        line[x] = plan.words[entry];
        const auto& offset = plan.offsets[entry];
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
            std::size_t red0 = plan.clamp(baseRed, next0[2][red]);
            const std::size_t red1 = plan.clamp(baseRed, next1[2][red]);
            if constexpr (Kind::kRedAlonePicked) {
                // Green and blue have one outcome each, the ends nearer the pixel's own,
                // whose shares the plan holds first (see RunCornerPass).
                blue = plan.clamp(baseBlue, next0[0][blue]);
                green = plan.clamp(baseGreen, next0[1][green]);
                Kind::PickRed(outcome, red0, red1);
            } else {
                std::size_t blue0 = plan.clamp(baseBlue, next0[0][blue]);
                const std::size_t blue1 = plan.clamp(baseBlue, next1[0][blue]);
                std::size_t green0 = plan.clamp(baseGreen, next0[1][green]);
                const std::size_t green1 = plan.clamp(baseGreen, next1[1][green]);
                Kind::PickNext(outcome, blue0, green0, red0, blue1, green1, red1);
                blue = blue0;
                green = green0;
            }
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
template <class Kind, WindowMode Mode, std::size_t Rows, bool Next>
void ChainedPass(std::span<const BufferWord> source, std::span<BufferWord> target, int width, int height,
                 const ChainedPlan<Kind>& plan, const std::vector<WindowRow>& rows, bool serpentine) {
    const int reach = rows.empty() ? 0 : rows.back().dy;
    const std::size_t ringRows = static_cast<std::size_t>(reach) + 1;
    const std::size_t stride = static_cast<std::size_t>(width) + (2 * static_cast<std::size_t>(kMargin));
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
        ChainedRow row{slot(y), {}};
        for (std::size_t k = 0; k < Rows; ++k) {
            row.lanes[k] = slot(y + rows[k].dy) + lanes[k].offset;
        }
        if (backwards) {
            ChainedRowPass<Kind, Mode, true, Rows, Next>(row, width, plan, lanes);
        } else {
            ChainedRowPass<Kind, Mode, false, Rows, Next>(row, width, plan, lanes);
        }
        std::copy(slot(y), slot(y) + w, target.data() + static_cast<std::size_t>(y) * w);
        // Row y's slot now takes the row that has just come within reach.
        load(y + reach + 1);
    }
}

template <class Kind, WindowMode Mode, bool Next>
void ChainedPassFor(std::span<const BufferWord> source, std::span<BufferWord> target, int width, int height,
                    const ChainedPlan<Kind>& plan, const std::vector<WindowRow>& rows, bool serpentine) {
    switch (rows.size()) {
    case 0:
        ChainedPass<Kind, Mode, 0, Next>(source, target, width, height, plan, rows, serpentine);
        break;
    case 1:
        ChainedPass<Kind, Mode, 1, Next>(source, target, width, height, plan, rows, serpentine);
        break;
    case 2:
        ChainedPass<Kind, Mode, 2, Next>(source, target, width, height, plan, rows, serpentine);
        break;
    case 3:
        ChainedPass<Kind, Mode, 3, Next>(source, target, width, height, plan, rows, serpentine);
        break;
    case 4:
        ChainedPass<Kind, Mode, 4, Next>(source, target, width, height, plan, rows, serpentine);
        break;
    default:
        ChainedPass<Kind, Mode, 5, Next>(source, target, width, height, plan, rows, serpentine);
        break;
    }
}

// Runs the pass for the kind of palette the plan was made for.
template <class Kind>
void RunChainedPass(RemapPath path, std::span<const BufferWord> source, std::span<BufferWord> target,
                    int width, int height, const ChainedPlan<Kind>& plan, const std::vector<WindowRow>& rows,
                    bool next, bool serpentine) {
    const bool narrow =
        std::all_of(rows.begin(), rows.end(), [](const WindowRow& row) { return row.width == 4; });
    const auto run = [&]<WindowMode Mode>() {
        if (next) {
            ChainedPassFor<Kind, Mode, true>(source, target, width, height, plan, rows, serpentine);
        } else {
            ChainedPassFor<Kind, Mode, false>(source, target, width, height, plan, rows, serpentine);
        }
    };
    if constexpr (kHaveVector) {
        if (path == RemapPath::Fastest || path == RemapPath::Baseline) {
            if (narrow) {
                run.template operator()<WindowMode::Sliding>();
            } else {
                run.template operator()<WindowMode::Vector>();
            }
            return;
        }
    }
    run.template operator()<WindowMode::Portable>();
}

Channels CornerChannels(std::size_t corner) {
    const auto full = [corner](unsigned bit) { return (corner & bit) != 0 ? 255 : 0; };
    return {full(corners::kRedBit), full(corners::kGreenBit), full(corners::kBlueBit)};
}

template <class Kind>
void RunCornerPass(RemapPath path, std::span<const BufferWord> source, std::span<BufferWord> target,
                   int width, int height, std::span<const Channels> entries,
                   const std::vector<WindowRow>& rows, float nextWeight, const ErrorTable& error,
                   bool serpentine) {
    const auto plan = std::make_unique<ChainedPlan<Kind>>(
        ChainedPlan<Kind>{typename Kind::Match(entries),
                          {},
                          {},
                          BuildNextShares({CornerChannels(0), CornerChannels(7)}, nextWeight, error),
                          ClampTable()});
    for (std::size_t corner = 0; corner < Kind::kEntries; ++corner) {
        const Channels c = CornerChannels(corner);
        plan->words[corner] = WordOf(c.red, c.green, c.blue);
        plan->offsets[corner] = OffsetsOf(c);
    }
    if constexpr (Kind::kRedAlonePicked) {
        // Blue and green take the end nearer their value: their shares for it go first.
        for (std::size_t channel = 0; channel < 2; ++channel) {
            for (std::size_t v = 128; v < 256; ++v) {
                plan->next[0][channel][v] = plan->next[1][channel][v];
            }
        }
    }
    RunChainedPass(path, source, target, width, height, *plan, rows, nextWeight != 0.0F, serpentine);
}

} // namespace

// The chained pass, when the palette has at most two colours, or only colours on corners
// of the colour cube, and the kernel suits it: no weight at or left of the current pixel
// on its own row, and at most five window rows. Returns false, having done nothing,
// otherwise.
bool TryChainedPass(RemapPath path, std::span<const BufferWord> source, std::span<BufferWord> target,
                    int width, int height, std::span<const ColourValue> colours,
                    const std::vector<Cell>& cells, const ErrorTable& error, bool serpentine) {
    const std::vector<Channels> entries = PaddedEntries(colours, 2);
    const bool twoEntries = colours.size() <= 2;
    // Plain matching of more colours is quicker on the vector paths, which match every
    // pixel independently of the last.
    if (!twoEntries && (cells.empty() || !corners::AllCorners(entries))) {
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
    const bool next = nextWeight != 0.0F;
    if (twoEntries) {
        const std::array<Channels, 2> pair{entries[0], entries[1]};
        const auto plan = std::make_unique<ChainedPlan<TwoEntries>>(ChainedPlan<TwoEntries>{
            TwoEntryMatch(pair[0], pair[1]),
            {WordOf(pair[0].red, pair[0].green, pair[0].blue),
             WordOf(pair[1].red, pair[1].green, pair[1].blue)},
            {OffsetsOf(pair[0]), OffsetsOf(pair[1])},
            BuildNextShares(pair, nextWeight, error),
            ClampTable(),
        });
        RunChainedPass(path, source, target, width, height, *plan, *rows, next, serpentine);
        return true;
    }
    if (CubeMatch::Fits(entries)) {
        RunCornerPass<Cube>(path, source, target, width, height, entries, *rows, nextWeight, error,
                            serpentine);
    } else if (FourCornerMatch::Fits(entries)) {
        RunCornerPass<Corners<FourCornerMatch>>(path, source, target, width, height, entries, *rows,
                                                nextWeight, error, serpentine);
    } else {
        RunCornerPass<Corners<CornerMatch>>(path, source, target, width, height, entries, *rows, nextWeight,
                                            error, serpentine);
    }
    return true;
}

} // namespace remap_detail
