// Start-up and shutdown of the desktop program.
#pragma once

// Start-up up to the main loop: state, kernels, readers, banner, main window, lists and
// controls, palettes and the first refresh. Returns false when the main window could
// not be built (the program then ends quietly).
bool StartUp();

// Closes every window and releases what the program holds.
void ShutDown();

// The whole program: start-up, the main loop, shutdown. Always returns exit code 0.
int RunQuillmorph();
