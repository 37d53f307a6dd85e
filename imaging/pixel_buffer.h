// Transfer of a picture's pixels to and from a pixel buffer: width x height buffer
// words, top row first, no gaps (blue in bits 0-7, green 8-15, red 16-23).
#pragma once

#include "imaging/colour.h"

#include <span>

// Fills `buffer` with picture `picture`'s pixels; the buffer must hold width x height
// words. Without the picture, or with a buffer too small, the buffer is left as it
// was. Always returns 0.
int CopyImageToBuffer(int picture, std::span<BufferWord> buffer);

// Writes the buffer's words back into picture `picture`, all rows. Without the
// picture, or with a buffer too small, the picture is left as it was.
void CopyBufferToImage(std::span<const BufferWord> buffer, int picture);
