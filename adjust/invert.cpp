#include "adjust/colour_effects.h"
#include "adjust/pixel_transform.h"

void InvertImage(int picture) {
    TransformPictureWords(picture, [](BufferWord word) { return ~word; });
}
