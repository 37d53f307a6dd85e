// The About window: banner, version line, notices and "Okay".
#pragma once

#include <string>

// "Version " and the file version (0.20.0.34), then "ß - Compiled on dd/mm/yyyy at hh:mm:ss".
std::string VersionLine();

// Builds and shows the window; returns its number, or 0 when it cannot be made.
int OpenAboutWindow();
// Runs the About window until "Okay" is pressed.
void ShowAbout();
