#include "shell/previews.h"

#include "imaging/picture.h"
#include "platform/controls.h"
#include "platform/events.h"
#include "platform/platform.h"
#include "platform/window.h"
#include "shell/state/app_state.h"

namespace {

// Shows picture 9 in a window of its size until the picture is clicked or the window is
// asked to close, with the main window disabled meanwhile.
void RunPreview(int picture, int width, int height, const WindowSpec& spec) {
    if (!PictureExists(picture)) {
        return;
    }
    if (!CopyPicture(picture, scratchPicture) || !ResizePicture(scratchPicture, width, height, ScaleMode::Raw)) {
        FreePicture(scratchPicture);
        return;
    }
    const int window = OpenWindow(spec);
    if (window == 0) {
        FreePicture(scratchPicture);
        return;
    }
    SetWindowEnabled(mainWindow, false);
    const int frame = AddPictureFrame(window, 0, 0, width, height, false);
    ShowPictureInControl(frame, scratchPicture);
    SetClickReporting(frame, true);
    ShowWindow(window);
    WaitForCloseOrControl(window, frame);
    CloseWindow(window);
    FreePicture(scratchPicture);
    SetWindowEnabled(mainWindow, true);
}

} // namespace

void ZoomedPreview(int picture) {
    const int width = 640;
    const int height = 2 * previewHeight;
    WindowSpec spec;
    spec.title = "Quillmorph - Click on image to close";
    spec.width = width;
    spec.height = height;
    spec.placement = WindowPlacement::CentreOfOwner;
    spec.owner = mainWindow;
    spec.frame = WindowFrame::TitleBarWithClose;
    RunPreview(picture, width, height, spec);
}

void FullScreenPreview(int picture) {
    const PixelSize display = DisplaySize();
    WindowSpec spec;
    spec.title = "";
    spec.width = display.width;
    spec.height = display.height;
    spec.placement = WindowPlacement::At;
    spec.x = 0;
    spec.y = 0;
    spec.owner = mainWindow;
    spec.frame = WindowFrame::Borderless;
    RunPreview(picture, display.width, display.height, spec);
}
