#include "pipeline/remap.h"

#include "imaging/picture.h"
#include "pipeline/remap_passes.h"
#include "pipeline/remap_shares.h"
#include "platform/platform.h"
#include "screen/screen_modes.h"
#include "state/app_state.h"
#include "state/error_message.h"

#include <algorithm>
#include <cstddef>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace remap_detail;

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
    if (TryMatchedPass(path, source, target, width, height, colours, cells, error, serpentine)) {
        return;
    }
    if (path != RemapPath::Plain &&
        TryPaddedPass(path, source, target, width, height, colours, cells, error, serpentine)) {
        return;
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
