#include "pipeline/auto_palette.h"

#include "imaging/picture.h"
#include "pipeline/remap.h"
#include "screen/screen_modes.h"
#include "state/app_state.h"

#include <algorithm>
#include <utility>

namespace {

// Recursion is bounded by the eight entries.
void Sort(std::array<ColourCount, 8>& entries, int lo, int hi) { // NOLINT(misc-no-recursion)
    if (hi - lo <= 0) {
        return;
    }
    const auto k = [&entries](int x) { return entries[static_cast<std::size_t>(x)].count; };
    const int mid = (lo + hi) / 2;
    int pivot = mid;
    if (k(lo) >= k(hi) && k(mid) >= k(lo)) {
        pivot = lo;
    } else if (k(lo) >= k(hi) && k(mid) <= k(hi)) {
        pivot = hi;
    }
    std::swap(entries[static_cast<std::size_t>(lo)], entries[static_cast<std::size_t>(pivot)]);
    const std::int32_t g = k(lo);
    int i = lo - 1;
    int j = hi + 1;
    while (true) {
        do {
            --j;
        } while (k(j) < g);
        do {
            ++i;
        } while (k(i) > g);
        if (i >= j) {
            break;
        }
        std::swap(entries[static_cast<std::size_t>(i)], entries[static_cast<std::size_t>(j)]);
    }
    Sort(entries, lo, j);
    Sort(entries, j + 1, hi);
}

} // namespace

void SortCountsDescending(std::array<ColourCount, 8>& entries) {
    Sort(entries, 0, 7);
}

void AutoPalette(int picture, int mode) {
    if (!CopyPicture(picture, scratchPicture)) {
        return;
    }
    if (!ResizePicture(scratchPicture, 320, previewHeight, ScaleMode::Raw)) {
        FreePicture(scratchPicture);
        return;
    }
    std::array<ColourCount, 8> counts{};
    for (std::size_t i = 0; i < counts.size(); ++i) {
        counts[i].colour = static_cast<std::int16_t>(i);
    }
    const Picture& sample = *FindPicture(scratchPicture);
    for (const BufferWord word : sample.pixels) {
        const ColourValue nearest = NearestColourIn(SwapRedBlue(word), kPhysicalColours);
        const auto index = static_cast<std::size_t>(
            std::find(kPhysicalColours.begin(), kPhysicalColours.end(), nearest) - kPhysicalColours.begin());
        ++counts[index].count;
    }
    FreePicture(scratchPicture);
    SortCountsDescending(counts);
    const ScreenMode* screen = ScreenModeByNumber(mode);
    const int colours = screen != nullptr ? screen->colourCount : 0;
    for (int i = 0; i < colours; ++i) {
        PaletteEntry(mode, i) =
            kPhysicalColours[static_cast<std::size_t>(counts[static_cast<std::size_t>(i)].colour)];
    }
}
