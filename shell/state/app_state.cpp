#include "shell/state/app_state.h"

#include "imaging/picture.h"
#include "platform/platform.h"

#include <filesystem>
#include <utility>

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
std::array<ColourValue, kPaletteRows * kPaletteColumns> palette{};

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

namespace {

void ShowErrorBox(std::string_view title, std::string_view text) {
    ShowMessageBox(title, text, MessageIcon::Error, MessageButtons::Ok);
}

ErrorReporter& CurrentReporter() {
    static ErrorReporter reporter = ShowErrorBox;
    return reporter;
}

} // namespace

ColourValue& PaletteEntry(int mode, int logical) {
    return palette[static_cast<std::size_t>(mode * kPaletteColumns + logical)];
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

std::string BuildOpenPattern() {
    static constexpr std::string_view entries[] = {
        "All Supported Image "
        "Files|*.bmp;*.emf;*.gif;*.ico;*.iff;*.ilbm;*.lbm;*.jfif;*.jpe;*.jpeg;*.jpg;*.rle;*.tif;"
        "*.tiff;*.tga;*.upi;*.png;*.ppm;*.wmf",
        "|Amiga Interchange File Format (*.iff, *.ilbm, *.lbm)|*.iff;*.ilbm;*.lbm",
        "|Extended Windows Metafile Format (*.emf)|*.emf",
        "|Graphics Interchange Format (*.gif)|*.gif",
        "|JPEG File Interchange Format (*.jfif, *.jpeg, *.jpg)|*.jfif;*.jpe;*.jpeg;*.jpg",
        "|Portable Network Graphics (*.png)|*.png",
        "|Portable Pixmap File Format (*.ppm)|*.ppm",
        "|Tag Image File Format (*.tif, *.tiff)|*.tif;*.tiff",
        "|Targa File Format (*.tga)|*.tga",
        "|Windows Bitmap (*.bmp, *.rle, *.upi)|*.bmp;*.rle;*.upi",
        "|Windows Cursor File (*.cur)|*.cur",
        "|Windows Icon (*.ico)|*.ico",
        "|Windows Metafile Format (*.wmf)|*.wmf",
    };
    std::string pattern;
    for (const std::string_view entry : entries) {
        pattern += entry;
    }
    return pattern;
}

std::string ErrorMessageText(std::string_view reason) {
    std::string text = "Unfortunately an error has occurred.\n\nReason: ";
    text += reason;
    return text;
}

void ErrorMessage(std::string_view reason) {
    if (CurrentReporter()) {
        CurrentReporter()("Error Message", ErrorMessageText(reason));
    }
}

void SetErrorReporter(ErrorReporter reporter) {
    CurrentReporter() = reporter ? std::move(reporter) : ErrorReporter(ShowErrorBox);
}

int FileExists(std::string_view path) {
    if (path.empty()) {
        return 0;
    }
    // Only "no such file" counts as missing (a missing name, or a path through something
    // that is not a folder); a file the program may not look at, a name too long or a loop
    // of links is there as far as the user can tell, and fails later with its own message.
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(std::filesystem::path(path), error);
    return status.type() == std::filesystem::file_type::not_found ? 0 : 1;
}

void FreePicture(int number) {
    DiscardPicture(number);
}
