// The program's process-wide state: conversion settings, the fixed picture numbers
// through which the pipeline's stages hand pictures on, and the identifiers of the
// windows and controls. Every variable starts at zero or empty (ResetAppState);
// start-up then gives the values noted beside each.
#pragma once

#include "imaging/colour.h"

#include <array>
#include <string>

// Fixed picture numbers.
constexpr int workingPicture = 4;               // loaded source, changed in place by every adjustment
constexpr int sourcePreviewPicture = 5;         // prepared source at 320 x previewHeight (left frame)
constexpr int convertedPreviewPicture = 6;      // picture 7 at 320 x previewHeight (right frame)
constexpr int convertedPicture = 7;             // modeWidth x previewHeight, only palette colours
constexpr int conversionWorkingCopy = 8;        // copy of picture 4 that the refresh prepares
constexpr int scratchPicture = 9;               // short-lived, inside one operation
constexpr int kFirstSwatchPicture = 10;         // 10-17: main window swatches, logical colours 0-7
constexpr int kFirstSelectorSwatchPicture = 18; // 18-25: palette selector swatches

constexpr int kPaletteRows = 9;    // indexed by mode number 0-8
constexpr int kPaletteColumns = 8; // indexed by logical colour 0-7

// Conversion settings.
extern int screenMode;         // BBC Micro mode number 0,1,2,4,5,8; start 2
extern int modeWidth;          // 640, 320, 160 or 80; start 160
extern int previewHeight;      // 256, 200 (NTSC) or 240 (QVGA); start 256
extern int previewScaleMode;   // converted preview scaling: 0 smooth, 1 raw; start 1
extern int sourceScaleMode;    // source scaling: 0 smooth, 1 raw; start 0
extern int keepAspect;         // 1 pads to the screen's shape, 0 stretches; start 1
extern int serpentine;         // 1 scans alternate rows right to left; start 0
extern int ditherMethod;       // row of ditherTable, 0 = "None"; start 0
extern float brightnessOffset; // pending brightness; start 0
extern float contrastAmount;   // pending contrast; start 0
extern float gammaValue;       // pending gamma, applied only when 0 < g < 8; start 0
// Logical palette: entry (mode m, logical colour k) at m * 8 + k; start ResetPalette for 0..8.
extern std::array<ColourValue, static_cast<std::size_t>(kPaletteRows) * kPaletteColumns> palette;

// Other shell state.
extern std::string sourcePath;  // the file last opened, dropped or imported; start ""
extern std::string openPattern; // the open dialog's pattern list; start BuildOpenPattern()
extern int lastModeIndex;       // list position of the mode in force; start 2
extern int quitRequested;       // 1 once the main window is asked to close; start 0
extern int aboutBanner;         // picture number of the decoded banner; 0 without one

// Window and control identifiers, assigned when created; 0 while they do not exist.
extern int mainWindow;
extern int mainMenu;
extern int paletteSelectorWindow;
extern int aboutWindow;
extern int sourceImageGadget;  // left picture frame, shows picture 5
extern int previewImageGadget; // right picture frame, shows picture 6
extern int sourceFrame;        // group box "Source Image"
extern int previewFrame;       // group box "Preview Image"
extern int strengthTrackBar;   // 0-100, the dither strength
extern int strengthValueText;  // "50%"
extern int serpentineCheckBox;
extern int methodCombo;
extern int screenModeCombo;
extern int smoothCheckBox;
extern int stretchCheckBox;
extern int autoPaletteButton;
extern int resetPaletteButton;
// The swatch of logical colour k is control kFirstSwatchControl + k (35-42); the palette
// selector's swatches are kFirstSelectorSwatchControl + k (43-50).
constexpr int kFirstSwatchControl = 35;
constexpr int kFirstSelectorSwatchControl = 43;

// Palette entry of logical colour `logical` in mode row `mode`.
ColourValue& PaletteEntry(int mode, int logical);

// Puts every variable above back to zero or the empty string (start-up's first step).
void ResetAppState();

// Releases picture `number` if it exists.
void FreePicture(int number);
