#include "shell/previews.h"

#include "imaging/picture.h"
#include "platform/controls.h"
#include "platform/events.h"
#include "platform/platform.h"
#include "platform/window.h"
#include "state/app_state.h"

namespace {

// Shows picture 9 in a window of its size until the picture is clicked or the window is
// asked to close, with the main window disabled meanwhile.
void RunPreview(int picture, int width, int height, const WindowSpec& layout) {
    if (!PictureExists(picture)) {
        return;
    }
    if (!CopyPicture(picture, scratchPicture) ||
        !ResizePicture(scratchPicture, width, height, ScaleMode::Raw)) {
        FreePicture(scratchPicture);
        return;
    }
    const int window = OpenWindow(layout);
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
    WindowSpec layout;
    layout.title = "Quillmorph - Click on image to close";
    layout.width = width;
    layout.height = height;
    layout.placement = WindowPlacement::CentreOfOwner;
    layout.owner = mainWindow;
    layout.frame = WindowFrame::TitleBarWithClose;
    RunPreview(picture, width, height, layout);
}

void FullScreenPreview(int picture) {
    const PixelSize display = DisplaySize();
    WindowSpec layout;
    layout.title = "";
    layout.width = display.width;
    layout.height = display.height;
    layout.placement = WindowPlacement::At;
    layout.x = 0;
    layout.y = 0;
    layout.owner = mainWindow;
    layout.frame = WindowFrame::Borderless;
    RunPreview(picture, display.width, display.height, layout);
}
