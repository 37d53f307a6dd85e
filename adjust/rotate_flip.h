// Rotations by 90 and 180 degrees and mirroring, in place under the picture's number.
#pragma once

void RotateImageLeft90(int picture);
void RotateImageRight90(int picture);
void RotateImage180(int picture);
void FlipImageHorizontally(int picture);
void FlipImageVertically(int picture);
