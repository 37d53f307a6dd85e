// Turning a decoded picture the way an EXIF orientation tag says.
#pragma once

#include "imaging/picture.h"

// Orientation 1 leaves the picture; 2 mirrors it, 3 turns it 180 degrees, 4 flips it,
// 5 transposes, 6 turns it right (clockwise), 7 transverses, 8 turns it left.
Picture Orient(Picture picture, int orientation);
