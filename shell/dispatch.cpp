#include "shell/dispatch.h"

#include "adjust/auto_level.h"
#include "adjust/colour_effects.h"
#include "adjust/histogram.h"
#include "adjust/rotate_flip.h"
#include "imaging/picture.h"
#include "pipeline/auto_palette.h"
#include "pipeline/preview_refresh.h"
#include "pipeline/screen_dump_import.h"
#include "pipeline/source_loading.h"
#include "platform/controls.h"
#include "platform/menus.h"
#include "platform/platform.h"
#include "platform/window.h"
#include "screen/dump_writer.h"
#include "screen/screen_modes.h"
#include "shell/about_window.h"
#include "shell/brightness_contrast_window.h"
#include "shell/commands.h"
#include "shell/palette_selector.h"
#include "shell/previews.h"
#include "state/app_state.h"

#include <string>

namespace {

// A cancelled dialog changes nothing: the picture, its adjustments and its path stay.
void OpenSourceFile() {
    const std::string chosen = OpenFileDialog("Open Image File", "", openPattern, 0).path;
    if (chosen.empty()) {
        return;
    }
    sourcePath = chosen;
    if (LoadSourceImage(sourcePath) == 0) {
        sourcePath.clear();
    }
}

// Sets the line count and moves both picture frames so a shorter preview stays centred
// in the 256-line area.
void ApplyResolution(int height) {
    previewHeight = height;
    const int y = 40 + (256 - height) / 2;
    ShowPictureInControl(sourceImageGadget, 0);
    MoveControl(sourceImageGadget, 15, y, 320, height);
    ShowPictureInControl(previewImageGadget, 0);
    MoveControl(previewImageGadget, 370, y, 320, height);
}

// Toggles one resolution option off the other.
void ToggleResolution(int command, int other, int height) {
    SetMenuItemChecked(other, false);
    if (MenuItemChecked(command)) {
        SetMenuItemChecked(command, false);
        ApplyResolution(256);
    } else {
        SetMenuItemChecked(command, true);
        ApplyResolution(height);
    }
    RefreshPreview();
}

// Runs an adjustment of the working picture and shows its result.
void Adjust(void (*operation)(int)) {
    operation(workingPicture);
    RefreshPreview();
}

bool DispatchCommand(int command) {
    switch (command) {
    case kCommandOpen:
    case kCommandToolOpen:
        OpenSourceFile();
        break;
    case kCommandImportScreenDump:
        ImportScreenDump();
        break;
    case kCommandSaveAs:
    case kCommandToolSaveAs:
        SaveBBCScreen(convertedPicture, screenMode);
        break;
    case kCommandExit:
        return false;
    case kCommandAutoLevel:
        Adjust(AutoLevelImage);
        break;
    case kCommandBrightnessContrast:
        RunBrightnessContrastDialog(workingPicture);
        RefreshPreview();
        break;
    case kCommandInvert:
        Adjust(InvertImage);
        break;
    case kCommandSolarise:
        SolariseImage(workingPicture, 128);
        RefreshPreview();
        break;
    case kCommandGreyscale:
        Adjust(GreyscaleImage);
        break;
    case kCommandRotateLeft:
        Adjust(RotateImageLeft90);
        break;
    case kCommandRotateRight:
        Adjust(RotateImageRight90);
        break;
    case kCommandRotate180:
        Adjust(RotateImage180);
        break;
    case kCommandFlipHorizontally:
        Adjust(FlipImageHorizontally);
        break;
    case kCommandFlipVertically:
        Adjust(FlipImageVertically);
        break;
    case kCommandResetImage:
        if (LoadSourceImage(sourcePath) == 0) {
            sourcePath.clear();
        }
        break;
    case kCommandZoomedPreview:
    case kCommandToolZoomedPreview:
        ZoomedPreview(convertedPicture);
        break;
    case kCommandFullScreenPreview:
        FullScreenPreview(convertedPicture);
        break;
    case kCommandHistogram:
        DisplayHistogram(workingPicture, mainWindow);
        break;
    case kCommandNtsc:
        ToggleResolution(kCommandNtsc, kCommandQvga, 200);
        break;
    case kCommandQvga:
        ToggleResolution(kCommandQvga, kCommandNtsc, 240);
        break;
    case kCommandAbout:
        ShowAbout();
        break;
    default:
        break; // Undo, Redo, Adjust Level and Check for Updates have no action
    }
    return true;
}

void DispatchControl(int control) {
    if (control == 0) {
        return;
    }
    if (control == strengthTrackBar) {
        SetControlText(strengthValueText, std::to_string(TrackBarPosition(strengthTrackBar)) + "%");
        if (ditherMethod != 0 && !LeftMouseButtonDown()) {
            RefreshPreview();
        }
    } else if (control == methodCombo) {
        const int previous = ditherMethod;
        ditherMethod = ListSelection(methodCombo);
        if (ditherMethod != previous) {
            RefreshPreview();
        }
    } else if (control == serpentineCheckBox) {
        serpentine = ControlChecked(serpentineCheckBox) ? 1 : 0;
        if (ditherMethod != 0) {
            RefreshPreview();
        }
    } else if (control == screenModeCombo) {
        const int position = ListSelection(screenModeCombo);
        const ScreenMode* mode = ScreenModeAtPosition(position);
        if (position != lastModeIndex && mode != nullptr) {
            lastModeIndex = position;
            screenMode = mode->number;
            modeWidth = mode->width;
            previewScaleMode = mode->previewScaleMode;
            RefreshPreview();
        }
    } else if (control == smoothCheckBox) {
        sourceScaleMode = ControlChecked(smoothCheckBox) ? 0 : 1;
        RefreshPreview();
    } else if (control == stretchCheckBox) {
        keepAspect = ControlChecked(stretchCheckBox) ? 0 : 1;
        RefreshPreview();
    } else if (control >= kFirstSwatchControl && control < kFirstSwatchControl + 8) {
        PaletteEntry(screenMode, control - kFirstSwatchControl) = SelectPaletteColour();
        RefreshPreview();
    } else if (control == autoPaletteButton) {
        if (PictureExists(workingPicture)) {
            AutoPalette(workingPicture, screenMode);
            RefreshPreview();
        }
    } else if (control == resetPaletteButton) {
        ResetPalette(screenMode);
        RefreshPreview();
    }
}

void DispatchDrop(int drop) {
    (void)DroppedFileCount(drop);
    sourcePath = DroppedFileName(drop, 0);
    FinishDrop(drop);
    LoadSourceImage(sourcePath); // a failed drop keeps the dropped path for Reset Image
}

} // namespace

std::string DroppedFileName(int drop, int index) {
    return DroppedFilePath(drop, index);
}

bool DispatchEvent(const Event& event) {
    switch (event.kind) {
    case EventKind::CloseRequest:
        if (event.window == mainWindow) {
            quitRequested = 1;
        }
        break;
    case EventKind::FilesDropped:
        DispatchDrop(event.drop);
        break;
    case EventKind::Command:
        if (!DispatchCommand(event.command)) {
            return false;
        }
        break;
    case EventKind::Control:
        DispatchControl(event.control);
        break;
    case EventKind::None:
        return false; // the platform has gone: nothing more will arrive
    }
    return quitRequested == 0;
}

void RunMainLoop() {
    while (DispatchEvent(WaitEvent())) {
    }
    if (quitRequested != 0) {
        CloseWindow(mainWindow);
    }
}
