// The "Brightness and Contrast" window: three sliders that set the pending adjustments
// live, then apply them to the working picture or discard them.
#pragma once

#include <string>

// Value label texts: "-100%".."100%" for brightness and contrast, "0.01".."7.99" for gamma.
std::string BrightnessLabel(float offset);
std::string ContrastLabel(float amount);
std::string GammaLabel(float gamma);

// Builds and shows the window; returns its number, or 0 when it cannot be made.
int OpenBrightnessContrastWindow();
// Runs the window until OK, Cancel or its close box.
void RunBrightnessContrastDialog(int picture);
