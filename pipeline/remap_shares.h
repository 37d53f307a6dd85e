// The error shares of the remapping passes: the strength-scaled errors, the kernel's
// weights as cells, and the windows of shares the padded and chained passes add at once.
#pragma once

#include "pipeline/dither_kernels.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace remap_detail {

// Channel differences run from -255 to 255; tables are indexed by difference + 255.
constexpr int kDifferenceOffset = 255;

// The slot of a channel difference (-255 to 255) in a table indexed by difference.
constexpr std::size_t DifferenceIndex(int difference) {
    const int slot = difference + kDifferenceOffset;
    return static_cast<std::size_t>(slot);
}
constexpr std::size_t kDifferenceRange = 511;

using ErrorTable = std::array<int, kDifferenceRange>;

// round(difference x s) for every channel difference, ties to even.
ErrorTable ScaledErrors(int strength);

// round(error x weight), ties to even. A weight above 1 could go beyond 16 bits; no
// share can move a channel further than 255 anyway.
int ShareOf(int error, float weight);

// A weight of the kernel, placed relative to the current pixel on a left-to-right row.
struct Cell {
    int dx;
    int dy;
    float weight;
};

// Every cell that sends error, row by row; none for a kernel the table cannot hold.
std::vector<Cell> WeightCells(const DitherKernel& kernel);

// ---- The windows: each kernel row's shares land as one window of pixels ----
//
// Each kernel row's weights cover a window of 4 or 8 neighbouring pixels, and its
// shares for one error are looked up per channel as one row of bytes. Adding them is a
// saturating byte add of the positive shares and a saturating subtract of the negative
// ones, which is ClampChannel on every channel because a share is never both.

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
std::optional<std::vector<WindowRow>> PlanWindows(const std::vector<Cell>& cells, const ErrorTable& error);

} // namespace remap_detail
