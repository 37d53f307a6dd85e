// Remapping a picture to a mode's logical palette with error diffusion.
#pragma once

#include "imaging/colour.h"
#include "pipeline/dither_kernels.h"

#include <span>

// The nearest of `colours` to `colour` under the program's weighted RGB distance; on
// equal distances the earlier entry wins. 0 when `colours` is empty.
ColourValue NearestColourIn(ColourValue colour, std::span<const ColourValue> colours);

// The nearest of logical colours 0..count-1 of mode row `mode` of `palette`.
ColourValue FindNearestColour(ColourValue colour, int mode, int count);

// Quantises the buffer words in place to `colours`, spreading each pixel's error
// (scaled by strength per cent) with `kernel`; odd rows run right to left with the
// kernel mirrored when `serpentine` is set. Touches nothing outside its arguments.
// Returns false, leaving the pixels unchanged, when strength lies outside 0..100 or
// the buffer is smaller than width x height.
bool RemapPixels(std::span<BufferWord> pixels, int width, int height, std::span<const ColourValue> colours,
                 const DitherKernel& kernel, int strength, bool serpentine);

// The implementations of the pass. All give the same words; Fastest is what
// RemapPixels runs, the others stay selectable so tests can hold them to each other.
enum class RemapPath {
    Fastest,  // the widest vector path the processor has (AVX2, else SSE2), else Portable
    Baseline, // the vector path every processor of its kind has (SSE2), whatever this one has
    Portable, // the padded (or, for two colours, chained) pass with plain integer code throughout
    Plain,    // one share at a time with bounds checks; also the path for unusual kernels
};
bool RemapPixelsWith(RemapPath path, std::span<BufferWord> pixels, int width, int height,
                     std::span<const ColourValue> colours, const DitherKernel& kernel, int strength,
                     bool serpentine);

// Converts picture `picture` into picture 7 with mode `mode`'s logical palette, dither
// method `method` (a row of ditherTable) at `strength` per cent. Returns 7, or 0 after
// reporting an invalid mode or strength (or when there is nothing to convert).
int RemapImage(int picture, int mode, int method, int strength, int serpentine);
