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

namespace corners {

bool AllCorners(std::span<const Channels> entries) {
    const auto full = [](int channel) { return channel == 0 || channel == 255; };
    return std::all_of(entries.begin(), entries.end(),
                       [&](const Channels& e) { return full(e.red) && full(e.green) && full(e.blue); });
}

std::array<int, 8> CornerTags(std::span<const Channels> entries) {
    std::array<int, 8> tags{};
    tags.fill(kAbsent);
    int rank = 0;
    for (const Channels& e : entries) {
        const auto corner = static_cast<std::size_t>(
            (e.blue == 255 ? kBlueBit : 0) | (e.green == 255 ? kGreenBit : 0) | (e.red == 255 ? kRedBit : 0));
        if (tags[corner] == kAbsent) {
            tags[corner] = 8 * rank + static_cast<int>(corner);
            ++rank;
        }
    }
    return tags;
}

Terms TermsOf(int v, std::size_t bit) {
    const int corner = bit == 0 ? 0 : 255;
    const int mean = (v + corner) >> 1;
    const int difference = v - corner;
    return {64 * (((512 + mean) * difference * difference) >> 8), static_cast<unsigned>(767 - mean),
            64 * 4 * difference * difference, static_cast<unsigned>(difference * difference)};
}

} // namespace corners

CornerMatch::CornerMatch(std::span<const Channels> entries) : tags_(corners::CornerTags(entries)) {
    for (std::size_t v = 0; v < 256; ++v) {
        for (std::size_t bit = 0; bit < 2; ++bit) {
            const corners::Terms terms = corners::TermsOf(static_cast<int>(v), bit);
            red_[v].term[bit] = terms.red;
            red_[v].blueWeight[bit] = terms.blueWeight;
            green_[v][bit] = terms.green;
            blueSquare_[v][bit] = terms.blueSquare;
        }
    }
}

bool CubeMatch::Fits(std::span<const Channels> entries) {
    const std::array<int, 8> tags = corners::CornerTags(entries);
    return corners::AllCorners(entries) &&
           std::none_of(tags.begin(), tags.end(), [](int tag) { return tag == corners::kAbsent; });
}

CubeMatch::CubeMatch(std::span<const Channels> /*entries*/) {
    for (std::size_t v = 0; v < 256; ++v) {
        const int value = static_cast<int>(v);
        for (std::size_t bit = 0; bit < 2; ++bit) {
            red_[v].term[bit] =
                4 * corners::TermsOf(value, bit).red + static_cast<int>(bit * corners::kRedBit);
            red_[v].blueWeight[bit] = corners::TermsOf(value, bit).blueWeight;
        }
        blueSquare_[v] = corners::TermsOf(value, v >> 7).blueSquare;
    }
}

bool FourCornerMatch::Fits(std::span<const Channels> entries) {
    const std::array<int, 8> tags = corners::CornerTags(entries);
    return corners::AllCorners(entries) &&
           std::count_if(tags.begin(), tags.end(), [](int tag) { return tag != corners::kAbsent; }) <= 4;
}

FourCornerMatch::FourCornerMatch(std::span<const Channels> entries) {
    const std::array<int, 8> tags = corners::CornerTags(entries);
    std::size_t slot = 0;
    for (std::size_t corner = 0; corner < tags.size(); ++corner) {
        if (tags[corner] == corners::kAbsent) {
            continue;
        }
        const std::size_t bits[3] = {(corner & corners::kRedBit) != 0 ? 1u : 0u,
                                     (corner & corners::kGreenBit) != 0 ? 1u : 0u,
                                     (corner & corners::kBlueBit) != 0 ? 1u : 0u};
        for (std::size_t v = 0; v < 256; ++v) {
            const int value = static_cast<int>(v);
            // TermsOf gives 64 x the red and green terms.
            red_[v].term[slot] = 4 * corners::TermsOf(value, bits[0]).red + tags[corner];
            red_[v].blueWeight[slot] = corners::TermsOf(value, bits[0]).blueWeight;
            green_[v][slot] = 4 * corners::TermsOf(value, bits[1]).green;
            blueSquare_[v][slot] = corners::TermsOf(value, bits[2]).blueSquare;
        }
        ++slot;
    }
    // Slots no corner fills never win.
    for (; slot < 4; ++slot) {
        for (std::size_t v = 0; v < 256; ++v) {
            red_[v].term[slot] = corners::kAbsent;
        }
    }
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
        static_cast<std::size_t>(mode) * kPaletteColumns, kPaletteColumns);
    return NearestColourIn(colour,
                           row.first(static_cast<std::size_t>(std::clamp(count, 0, kPaletteColumns))));
}
