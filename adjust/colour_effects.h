// One-shot colour effects of the Image menu, each changing a picture in place.
#pragma once

// Luminance weights shared by greyscale and the histogram.
constexpr double kRedLuminance = 0.3086;
constexpr double kGreenLuminance = 0.6094;
constexpr double kBlueLuminance = 0.0820;

// The grey level of a colour, rounded half to even (0-255).
int Luminance(int red, int green, int blue);

void GreyscaleImage(int picture);
void InvertImage(int picture);
// Inverts every colour byte below the threshold (the menu passes 128).
void SolariseImage(int picture, int threshold);
