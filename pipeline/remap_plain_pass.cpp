// The plain pass: one share at a time, every target checked against the edges. It
// serves every kernel and palette, and is what the faster passes are held to.
#include "pipeline/colour_matching.h"
#include "pipeline/remap_passes.h"
#include "pipeline/remap_shares.h"

#include <array>
#include <cstdint>
#include <vector>

namespace remap_detail {
namespace {

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

} // namespace

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

} // namespace remap_detail
