// The platform's picture loader: BMP (RLE and UPI included), ICO, CUR, JPEG and GIF
// through Qt's image readers, delivered as 24-bit colour with any transparency
// composited over black. A GIF gives its first frame at its offset on the logical
// screen, black where the frame does not reach; an icon or cursor file its largest image.
#pragma once

#include "imaging/picture_reader.h"

// Files beginning "BM" (the bitmap loader), icons and cursors (the icon loader), JPEG
// and GIF (the picture loader).
PictureReader QtBitmapReader();
PictureReader QtIconReader();
PictureReader QtPictureReader();
