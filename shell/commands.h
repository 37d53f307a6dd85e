// Command numbers of the main window's menu items, shortcuts and tool-bar buttons.
#pragma once

constexpr int cmdOpen = 2;
constexpr int cmdImportScreenDump = 3;
constexpr int cmdSaveAs = 4;
constexpr int cmdExit = 5;
constexpr int cmdUndo = 7;
constexpr int cmdRedo = 8;
constexpr int cmdAutoLevel = 10;
constexpr int cmdBrightnessContrast = 11;
constexpr int cmdAdjustLevel = 12;
constexpr int cmdInvert = 13;
constexpr int cmdSolarise = 14;
constexpr int cmdGreyscale = 15;
constexpr int cmdRotateLeft = 16;
constexpr int cmdRotateRight = 17;
constexpr int cmdRotate180 = 18;
constexpr int cmdFlipHorizontally = 19;
constexpr int cmdFlipVertically = 20;
constexpr int cmdResetImage = 21;
constexpr int cmdZoomedPreview = 23;
constexpr int cmdFullScreenPreview = 24;
constexpr int cmdHistogram = 25;
constexpr int cmdNtsc = 27;
constexpr int cmdQvga = 28;
constexpr int cmdCheckForUpdates = 30;
constexpr int cmdAbout = 31;
constexpr int cmdToolOpen = 32;
constexpr int cmdToolSaveAs = 33;
constexpr int cmdToolZoomedPreview = 34;
