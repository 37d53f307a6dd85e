// The pop-up that asks which physical colour a logical colour shall be.
#pragma once

#include "imaging/colour.h"

// Builds and shows the pop-up at the mouse pointer; 0 when it cannot be made.
int OpenPaletteSelectorWindow();
// Runs the pop-up until a colour is chosen and returns it (black when it cannot open).
ColourValue SelectPaletteColour();
