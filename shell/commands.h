// Command numbers of the main window's menu items, shortcuts and tool-bar buttons.
#pragma once

constexpr int kCommandOpen = 2;
constexpr int kCommandImportScreenDump = 3;
constexpr int kCommandSaveAs = 4;
constexpr int kCommandExit = 5;
constexpr int kCommandUndo = 7;
constexpr int kCommandRedo = 8;
constexpr int kCommandAutoLevel = 10;
constexpr int kCommandBrightnessContrast = 11;
constexpr int kCommandAdjustLevel = 12;
constexpr int kCommandInvert = 13;
constexpr int kCommandSolarise = 14;
constexpr int kCommandGreyscale = 15;
constexpr int kCommandRotateLeft = 16;
constexpr int kCommandRotateRight = 17;
constexpr int kCommandRotate180 = 18;
constexpr int kCommandFlipHorizontally = 19;
constexpr int kCommandFlipVertically = 20;
constexpr int kCommandResetImage = 21;
constexpr int kCommandZoomedPreview = 23;
constexpr int kCommandFullScreenPreview = 24;
constexpr int kCommandHistogram = 25;
constexpr int kCommandNtsc = 27;
constexpr int kCommandQvga = 28;
constexpr int kCommandCheckForUpdates = 30;
constexpr int kCommandAbout = 31;
constexpr int kCommandToolOpen = 32;
constexpr int kCommandToolSaveAs = 33;
constexpr int kCommandToolZoomedPreview = 34;
