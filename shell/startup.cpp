#include "shell/startup.h"

#include "imaging/picture.h"
#include "imaging/picture_reader.h"
#include "imaging/png_reader.h"
#include "pipeline/dither_kernels.h"
#include "pipeline/picture_readers.h"
#include "pipeline/preview_refresh.h"
#include "pipeline/source_loading.h"
#include "platform/controls.h"
#include "platform/platform.h"
#include "platform/window.h"
#include "screen/screen_modes.h"
#include "shell/dispatch.h"
#include "shell/gadget_colours.h"
#include "shell/main_window.h"
#include "state/app_state.h"
#include "state/open_pattern.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>

extern const std::uint8_t aboutBannerPng[];
extern const std::size_t aboutBannerPngSize;

namespace {

void DecodeBanner() {
    const PictureReader png = PngPictureReader();
    auto banner =
        png.decode(std::span<const std::uint8_t>(aboutBannerPng, aboutBannerPngSize), "about_banner.png");
    aboutBanner = banner ? StoreAutomaticPicture(std::move(*banner)) : 0;
}

void FillLists() {
    for (const ScreenMode& mode : screenModes) {
        AddListItem(screenModeCombo, mode.label);
    }
    SelectListItem(screenModeCombo, 2);
    for (const DitherKernel& kernel : ditherTable) {
        if (kernel.name.empty()) {
            break;
        }
        AddListItem(methodCombo, kernel.name);
    }
    SelectListItem(methodCombo, 0);
    ditherMethod = 0;
}

} // namespace

bool StartUp(std::string* reason) {
    const auto fail = [reason](const char* why) {
        if (reason != nullptr) {
            *reason = why;
        }
        return false;
    };
    ResetAppState();
    if (!InitPlatform()) {
        return fail("cannot open a display: none of DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM is set.");
    }
    palette.fill(0);
    openPattern = BuildOpenPattern();
    LoadDitherKernels();
    ClearPictureReaders();
    RegisterPictureReaders();
    DecodeBanner();
    screenMode = 2;
    modeWidth = 160;
    lastModeIndex = 2;
    previewHeight = 256;
    if (OpenMainWindow() == 0) {
        return fail("the main window could not be built.");
    }
    InstallGadgetColourCallback(mainWindow);
    SetWindowAcceptsDrops(mainWindow, true);
    FillLists();
    SetTrackBarPosition(strengthTrackBar, 50);
    SetControlChecked(smoothCheckBox, true);
    sourceScaleMode = 0;
    previewScaleMode = 1;
    keepAspect = 1;
    for (int mode = 0; mode < kPaletteRows; ++mode) {
        ResetPalette(mode);
    }
    RefreshPreview();
    quitRequested = 0;
    return true;
}

void ShutDown() {
    ClearGadgetColours();
    CloseAllWindows();
    DiscardAllPictures();
    ClearPictureReaders();
    ShutdownPlatform();
}

void OpenFileGivenAtStart(const std::string& path) {
    sourcePath = path;
    LoadSourceImage(sourcePath);
}

int RunQuillmorph(const std::string& fileToOpen) {
    std::string reason;
    const bool started = StartUp(&reason);
    if (started) {
        if (!fileToOpen.empty()) {
            OpenFileGivenAtStart(fileToOpen);
        }
        RunMainLoop();
    }
    ShutDown();
    if (!started) {
        // Without a window there is no message box: the terminal is the only place left.
        std::fprintf(stderr, "quillmorph: %s\n", reason.c_str());
        return 1;
    }
    return 0;
}
