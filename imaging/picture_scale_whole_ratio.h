// Smooth reduction by whole ratios (640 x 512 to 160 x 256 and the like), where every
// source pixel of a destination pixel's box weighs the same.
#pragma once

#include "imaging/picture.h"

// Fills `result`, already sized, with the means of `source`'s boxes rounded half up,
// exactly as the general smooth scaling does. Returns false, leaving `result` alone,
// unless both source sides are whole multiples of the result's and a box is small
// enough for 16-bit sums.
bool ReduceByWholeRatio(const Picture& source, Picture& result);
