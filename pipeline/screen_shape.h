// Padding a picture with black bars to the screen's shape, 320 : previewHeight.
#pragma once

#include <optional>

struct PaddedLayout {
    int width; // size of the padded picture
    int height;
    int x; // where the original goes inside it
    int y;
};

// The padded size and the centring offset for a width x height picture on a screen of
// `lines` lines; nothing when the picture already has the screen's shape (or there is
// no shape to match).
std::optional<PaddedLayout> AspectPadding(int width, int height, int lines);

// Pads picture `picture` in place, centred, using picture 9 as canvas (which keeps the
// result). Returns 0 after reporting when the canvas cannot be made, 1 otherwise.
int CorrectAspectRatio(int picture);
