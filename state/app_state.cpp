#include "state/app_state.h"

#include "imaging/picture.h"

int screenMode = 0;
int modeWidth = 0;
int previewHeight = 0;
int previewScaleMode = 0;
int sourceScaleMode = 0;
int keepAspect = 0;
int serpentine = 0;
int ditherMethod = 0;
float brightnessOffset = 0.0F;
float contrastAmount = 0.0F;
float gammaValue = 0.0F;
std::array<ColourValue, static_cast<std::size_t>(kPaletteRows) * kPaletteColumns> palette{};

std::string sourcePath;
std::string openPattern;
int lastModeIndex = 0;
int quitRequested = 0;
int aboutBanner = 0;

int mainWindow = 0;
int mainMenu = 0;
int paletteSelectorWindow = 0;
int aboutWindow = 0;
int sourceImageGadget = 0;
int previewImageGadget = 0;
int sourceFrame = 0;
int previewFrame = 0;
int strengthTrackBar = 0;
int strengthValueText = 0;
int serpentineCheckBox = 0;
int methodCombo = 0;
int screenModeCombo = 0;
int smoothCheckBox = 0;
int stretchCheckBox = 0;
int autoPaletteButton = 0;
int resetPaletteButton = 0;

ColourValue& PaletteEntry(int mode, int logical) {
    return palette[(static_cast<std::size_t>(mode) * kPaletteColumns) + static_cast<std::size_t>(logical)];
}

void ResetAppState() {
    screenMode = 0;
    modeWidth = 0;
    previewHeight = 0;
    previewScaleMode = 0;
    sourceScaleMode = 0;
    keepAspect = 0;
    serpentine = 0;
    ditherMethod = 0;
    brightnessOffset = 0.0F;
    contrastAmount = 0.0F;
    gammaValue = 0.0F;
    palette.fill(0);
    sourcePath.clear();
    openPattern.clear();
    lastModeIndex = 0;
    quitRequested = 0;
    aboutBanner = 0;
    mainWindow = 0;
    mainMenu = 0;
    paletteSelectorWindow = 0;
    aboutWindow = 0;
    for (int* control :
         {&sourceImageGadget, &previewImageGadget, &sourceFrame, &previewFrame, &strengthTrackBar,
          &strengthValueText, &serpentineCheckBox, &methodCombo, &screenModeCombo, &smoothCheckBox,
          &stretchCheckBox, &autoPaletteButton, &resetPaletteButton}) {
        *control = 0;
    }
}

void FreePicture(int number) {
    DiscardPicture(number);
}
