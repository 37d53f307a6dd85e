#include "pipeline/colour_matching.h"

#include "pipeline/remap.h"
#include "state/app_state.h"

#include <algorithm>

namespace remap_detail {

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
} // namespace remap_detail

using remap_detail::kLargestDistance;
using remap_detail::WeightedDistance;

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
