#include "pipeline/screen_shape.h"

#include "imaging/colour.h"
#include "imaging/picture.h"
#include "state/app_state.h"
#include "state/error_message.h"

#include <cmath>
#include <limits>

namespace {

// A size from a double that may lie beyond any picture; such sizes fail at creation.
int SizeFrom(double value) {
    return value > static_cast<double>(std::numeric_limits<int>::max()) ? std::numeric_limits<int>::max()
                                                                        : static_cast<int>(value);
}

} // namespace

std::optional<PaddedLayout> AspectPadding(int width, int height, int lines) {
    if (lines == 0 || height == 0) {
        return std::nullopt;
    }
    // Both ratios are single-precision values; the sizes are worked out in double.
    const float screen = 320.0F / static_cast<float>(lines);
    const float own = static_cast<float>(width) / static_cast<float>(height);
    if (screen > own) {
        const int newWidth =
            SizeFrom(RoundHalfEven(static_cast<double>(height) * static_cast<double>(screen)));
        const double spare = std::fabs(static_cast<double>(newWidth) - width);
        return PaddedLayout{newWidth, height, static_cast<int>(RoundHalfEven(spare / 2.0)), 0};
    }
    if (screen < own) {
        const int newHeight =
            SizeFrom(RoundHalfEven(static_cast<double>(width) / static_cast<double>(screen)));
        const double spare = std::fabs(static_cast<double>(newHeight) - height);
        return PaddedLayout{width, newHeight, 0, static_cast<int>(RoundHalfEven(spare / 2.0))};
    }
    return std::nullopt;
}

int CorrectAspectRatio(int picture) {
    if (!PictureExists(picture)) {
        return 1;
    }
    const std::optional<PaddedLayout> layout =
        AspectPadding(PictureWidth(picture), PictureHeight(picture), previewHeight);
    if (!layout) {
        return 1;
    }
    if (!CreatePicture(scratchPicture, layout->width, layout->height)) {
        FreePicture(scratchPicture);
        ErrorMessage("Unable to create image in CorrectAspectRatio().");
        return 0;
    }
    DrawPicture(picture, scratchPicture, layout->x, layout->y);
    if (!CopyPicture(scratchPicture, picture)) {
        ErrorMessage("Unable to create image in CorrectAspectRatio().");
        return 0;
    }
    return 1;
}
