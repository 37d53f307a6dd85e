#include "pipeline/colour_matching.h"
#include "pipeline/remap_padded_picture.h"
#include "pipeline/remap_passes.h"
#include "pipeline/remap_shares.h"
#include "pipeline/remap_windows.h"

#include <algorithm>
#include <array>
#include <cstddef>
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
        const std::size_t dr = DifferenceIndex(c.red - q.red);
        const std::size_t dg = DifferenceIndex(c.green - q.green);
        const std::size_t db = DifferenceIndex(c.blue - q.blue);
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
    const auto [forward, reversed] = LanesOf(rows, padded.stride);
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
