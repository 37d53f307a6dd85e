// Start-up and shutdown of the desktop program.
#pragma once

#include <string>

// Start-up up to the main loop: state, kernels, readers, banner, main window, lists and
// controls, palettes and the first refresh. Returns false, with the reason in `reason`
// when given, when no display can be opened or the main window could not be built.
bool StartUp(std::string* reason = nullptr);

// Opens a picture named when the program was started (a desktop's "Open with"), as a
// file dropped on the main window is opened.
void OpenFileGivenAtStart(const std::string& path);

// Closes every window and releases what the program holds.
void ShutDown();

// The whole program: start-up, opening `fileToOpen` when it is not empty, the main loop,
// shutdown. Returns the exit code: 0, or 1 after saying on standard error why the
// program could not start.
int RunQuillmorph(const std::string& fileToOpen);
