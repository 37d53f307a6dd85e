#include "adjust/colour_effects.h"
#include "adjust/pixel_transform.h"
#include "imaging/colour.h"

int Luminance(int red, int green, int blue) {
    // The weights sum to 1, so the result needs no clamping.
    return static_cast<int>(
        RoundHalfEven(kRedLuminance * red + kGreenLuminance * green + kBlueLuminance * blue));
}

void GreyscaleImage(int picture) {
    TransformPictureWords(picture, [](BufferWord word) {
        const auto grey = static_cast<BufferWord>(Luminance(static_cast<int>((word >> 16) & 0xFFu),
                                                            static_cast<int>((word >> 8) & 0xFFu),
                                                            static_cast<int>(word & 0xFFu)));
        return grey | (grey << 8) | (grey << 16);
    });
}
