#include "pipeline/remap_shares.h"

#include "imaging/colour.h"

#include <algorithm>
#include <utility>

namespace remap_detail {

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

} // namespace remap_detail
