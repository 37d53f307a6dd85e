// The main window: menu bar, shortcuts, tool bar and the fixed arrangement of controls.
#pragma once

#include "imaging/colour.h"

// Builds and shows the main window; returns its number, or 0 when it cannot be made.
int OpenMainWindow();

// Creates (or refills) a solid swatch: picture `picture` of width x height in `colour`,
// shown by picture frame `control` at x, y of `window`. When the control and the picture
// exist already only the picture is refilled and shown again.
void ColourSwatchGadget(int window, int control, int picture, int x, int y, int width, int height,
                        ColourValue colour, bool border);
