#include "shell/palette_selector.h"

#include "platform/events.h"
#include "platform/platform.h"
#include "platform/window.h"
#include "screen/screen_modes.h"
#include "shell/gadget_colours.h"
#include "shell/main_window.h"
#include "state/app_state.h"

int OpenPaletteSelectorWindow() {
    const ScreenPoint pointer = MousePosition();
    WindowSpec layout;
    layout.title = "Palette Selector";
    layout.width = 239;
    layout.height = 29;
    layout.placement = WindowPlacement::At;
    layout.x = pointer.x;
    layout.y = pointer.y;
    layout.owner = mainWindow;
    layout.frame = WindowFrame::ThinFramePopup;
    paletteSelectorWindow = OpenWindow(layout);
    if (paletteSelectorWindow == 0) {
        return 0;
    }
    for (int k = 0; k < 8; ++k) {
        ColourSwatchGadget(paletteSelectorWindow, kFirstSelectorSwatchControl + k,
                           kFirstSelectorSwatchPicture + k, 30 * k, 0, 25, 25,
                           kPhysicalColours[static_cast<std::size_t>(k)], true);
        SetClickReporting(kFirstSelectorSwatchControl + k, true);
    }
    ShowWindow(paletteSelectorWindow);
    return paletteSelectorWindow;
}

ColourValue SelectPaletteColour() {
    if (OpenPaletteSelectorWindow() == 0) {
        return 0;
    }
    InstallGadgetColourCallback(paletteSelectorWindow);
    ColourValue result = 0;
    // Modal by its own loop: the main window stays enabled to look at but takes no input,
    // so its controls cannot show settings that are not in force; whatever still arrives
    // (its close box) is read and dropped until a colour is chosen.
    SetWindowTakesInput(mainWindow, false);
    for (bool done = false; !done;) {
        const Event event = WaitEvent();
        if (event.kind == EventKind::None) {
            break;
        }
        const int k = event.control - kFirstSelectorSwatchControl;
        if (event.kind == EventKind::Control && k >= 0 && k < 8) {
            result = kPhysicalColours[static_cast<std::size_t>(k)];
            done = true;
        } else {
            DiscardEvent(event);
        }
    }
    SetWindowTakesInput(mainWindow, true);
    CloseWindow(paletteSelectorWindow);
    paletteSelectorWindow = 0;
    return result;
}
