// The remapping passes behind RemapPixels. Each quantises width x height buffer words
// of `source` into `target` (which may be the same buffer) and gives the same words as
// the plain pass; the arguments have been checked and the palette is not empty.
#pragma once

#include "imaging/colour.h"
#include "pipeline/remap.h"
#include "pipeline/remap_shares.h"

#include <span>
#include <vector>

namespace remap_detail {

// Any kernel and palette, in place.
void RunPlainPass(std::span<BufferWord> pixels, int width, int height, std::span<const ColourValue> colours,
                  const std::vector<Cell>& cells, const ErrorTable& error, bool serpentine);

// Palettes of up to eight colours with kernels whose rows fit the windows. Returns false,
// having done nothing, for any other.
bool TryPaddedPass(RemapPath path, std::span<const BufferWord> source, std::span<BufferWord> target,
                   int width, int height, std::span<const ColourValue> colours,
                   const std::vector<Cell>& cells, const ErrorTable& error, bool serpentine);

// Palettes of three to eight colours on the vector paths, with kernels whose rows fit
// the windows. Returns false, having done nothing, for any other.
bool TryMatchedPass(RemapPath path, std::span<const BufferWord> source, std::span<BufferWord> target,
                    int width, int height, std::span<const ColourValue> colours,
                    const std::vector<Cell>& cells, const ErrorTable& error, bool serpentine);

// Palettes of at most two colours, or of colours that all have every channel at 0 or
// 255, with kernels that send nothing left of the current pixel on its own row. Returns
// false, having done nothing, for any other.
bool TryChainedPass(RemapPath path, std::span<const BufferWord> source, std::span<BufferWord> target,
                    int width, int height, std::span<const ColourValue> colours,
                    const std::vector<Cell>& cells, const ErrorTable& error, bool serpentine);

} // namespace remap_detail
