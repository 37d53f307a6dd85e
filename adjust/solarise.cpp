#include "adjust/colour_effects.h"
#include "adjust/pixel_transform.h"

void SolariseImage(int picture, int threshold) {
    TransformPictureWords(picture, [threshold](BufferWord word) {
        return MapColourBytes(word, [threshold](int v) { return v < threshold ? 255 - v : v; });
    });
}
