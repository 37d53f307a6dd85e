// Automatic levels: stretches each colour channel to 0-255, ignoring the darkest and the
// brightest half per cent of the pixels.
#pragma once

void AutoLevelImage(int picture);
