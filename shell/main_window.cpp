#include "shell/main_window.h"

#include "imaging/picture.h"
#include "platform/controls.h"
#include "platform/menus.h"
#include "platform/platform.h"
#include "platform/window.h"
#include "program_identity.h"
#include "screen/screen_modes.h"
#include "shell/commands.h"
#include "state/app_state.h"

#include <string>

namespace {

void BuildMenus(int window) {
    mainMenu = CreateMenuBar(window);
    const int file = AddSubmenu(mainMenu, "&File");
    AddMenuItem(file, kCommandOpen, "&Open...\tCtrl+O");
    AddMenuItem(file, kCommandImportScreenDump, "&Import Screen Dump...\tCtrl+I");
    AddMenuSeparator(file);
    AddMenuItem(file, kCommandSaveAs, "Save &As...\tCtrl+S");
    AddMenuSeparator(file);
    AddMenuItem(file, kCommandExit, "E&xit\tCtrl+Q");

    const int edit = AddSubmenu(mainMenu, "&Edit");
    AddMenuItem(edit, kCommandUndo, "Undo\tCtrl+Y");
    AddMenuItem(edit, kCommandRedo, "Redo\tCtrl+Z");

    const int image = AddSubmenu(mainMenu, "&Image");
    const int autoProcess = AddSubmenu(image, "Auto-process");
    AddMenuItem(autoProcess, kCommandAutoLevel, "Level");
    AddMenuItem(image, kCommandBrightnessContrast, "Adjust Brightness and Contrast...");
    AddMenuItem(image, kCommandAdjustLevel, "Adjust Level...");
    AddMenuSeparator(image);
    const int effects = AddSubmenu(image, "Effects");
    AddMenuItem(effects, kCommandGreyscale, "Greyscale");
    AddMenuItem(effects, kCommandInvert, "Invert");
    AddMenuItem(effects, kCommandSolarise, "Solarise");
    AddMenuSeparator(image);
    AddMenuItem(image, kCommandHistogram, "Display Histogram...");
    AddMenuSeparator(image);
    const int rotate = AddSubmenu(image, "Rotate and Flip");
    AddMenuItem(rotate, kCommandRotateLeft, "Rotate Left 90\u00B0");
    AddMenuItem(rotate, kCommandRotateRight, "Rotate Right 90\u00B0");
    AddMenuItem(rotate, kCommandRotate180, "Rotate 180\u00B0");
    AddMenuSeparator(rotate);
    AddMenuItem(rotate, kCommandFlipHorizontally, "Flip Horizontally");
    AddMenuItem(rotate, kCommandFlipVertically, "Flip Vertically");
    AddMenuSeparator(image);
    AddMenuItem(image, kCommandResetImage, "Reset Image");

    const int view = AddSubmenu(mainMenu, "&View");
    AddMenuItem(view, kCommandZoomedPreview, "Zoomed Preview...");
    AddMenuItem(view, kCommandFullScreenPreview, "Full Screen Preview...");

    const int options = AddSubmenu(mainMenu, "&Options");
    AddMenuItem(options, kCommandNtsc, "Use NTSC Resolution");
    AddMenuItem(options, kCommandQvga, "Use QVGA Resolution");
    SetMenuItemChecked(kCommandNtsc, false);
    SetMenuItemChecked(kCommandQvga, false);

    const int help = AddSubmenu(mainMenu, "&Help");
    AddMenuItem(help, kCommandCheckForUpdates, "Check for Updates...");
    AddMenuSeparator(help);
    AddMenuItem(help, kCommandAbout, "About...");

    // Greyed for good: nothing ever enables them.
    for (const int command : {kCommandUndo, kCommandRedo, kCommandAdjustLevel, kCommandCheckForUpdates}) {
        SetMenuItemEnabled(command, false);
    }
}

void BuildShortcutsAndToolBar(int window) {
    AddShortcut(window, "Ctrl+O", kCommandOpen);
    AddShortcut(window, "Ctrl+I", kCommandImportScreenDump);
    AddShortcut(window, "Ctrl+S", kCommandSaveAs);
    AddShortcut(window, "Ctrl+Q", kCommandExit);
    AddShortcut(window, "Ctrl+Y", kCommandUndo);
    AddShortcut(window, "Ctrl+Z", kCommandRedo);
    AddToolButton(window, kCommandToolOpen, ToolPicture::Open, "Open");
    AddToolButton(window, kCommandToolSaveAs, ToolPicture::Save, "Save As");
    AddToolSeparator(window);
    AddToolButton(window, kCommandToolZoomedPreview, ToolPicture::Find, "Zoomed Preview");
}

void BuildControls(int window) {
    sourceImageGadget = AddPictureFrame(window, 15, 40, 320, 256, true);
    previewImageGadget = AddPictureFrame(window, 370, 40, 320, 256, true);
    sourceFrame = AddGroupBox(window, 5, 25, 345, 285, "Source Image");
    previewFrame = AddGroupBox(window, 360, 25, 345, 285, "Preview Image");
    strengthTrackBar = AddTrackBar(window, 520, 355, 140, 20, 0, 100);
    AddStaticText(window, 475, 355, 45, 15, "Strength:", TextAlign::Left);
    AddStaticText(window, 475, 335, 50, 15, "Method:", TextAlign::Left);
    serpentineCheckBox = AddCheckBox(window, 475, 375, 170, 15, "Use Serpentine Method");
    methodCombo = AddDropDownList(window, 525, 330, 170, 200);
    AddStaticText(window, 15, 335, 70, 15, "Screen Mode:", TextAlign::Left);
    screenModeCombo = AddDropDownList(window, 85, 330, 100, 200);
    smoothCheckBox = AddCheckBox(window, 15, 355, 125, 15, "Smooth Image Scaling");
    stretchCheckBox = AddCheckBox(window, 15, 375, 125, 15, "Stretch Image");
    autoPaletteButton = AddPushButton(window, 210, 365, 115, 20, "Auto Palette");
    resetPaletteButton = AddPushButton(window, 335, 365, 115, 20, "Reset Palette");
    AddGroupBox(window, 465, 315, 240, 80, "Dither Options");
    AddGroupBox(window, 5, 315, 190, 80, "Image Options");
    AddGroupBox(window, 200, 315, 260, 80, "Palette Options");
    strengthValueText = AddStaticText(window, 660, 355, 35, 15, "50%", TextAlign::Centre);
    for (int k = 0; k < 8; ++k) {
        ColourSwatchGadget(window, kFirstSwatchControl + k, kFirstSwatchPicture + k, 210 + 30 * k, 330, 24,
                           24, kPhysicalColours[static_cast<std::size_t>(k)], true);
    }
}

} // namespace

void ColourSwatchGadget(int window, int control, int picture, int x, int y, int width, int height,
                        ColourValue colour, bool border) {
    if (ControlExists(control) && PictureExists(picture)) {
        FillBox(picture, 0, 0, PictureWidth(picture), PictureHeight(picture), colour);
        ShowPictureInControl(control, picture);
        return;
    }
    if (!CreatePicture(picture, width, height)) {
        return;
    }
    FillBox(picture, 0, 0, width, height, colour);
    if (AddPictureFrame(window, x, y, width, height, border, control) != 0) {
        ShowPictureInControl(control, picture);
    }
}

int OpenMainWindow() {
    WindowSpec layout;
    static const std::string title = std::string("Quillmorph ") + kProgramVersion;
    layout.title = title;
    layout.width = 710;
    layout.height = 420;
    layout.placement = WindowPlacement::CentreOfScreen;
    layout.frame = WindowFrame::TitleBarWithCloseMinimise;
    mainWindow = OpenWindow(layout);
    if (mainWindow == 0) {
        return 0;
    }
    BuildMenus(mainWindow);
    BuildShortcutsAndToolBar(mainWindow);
    BuildControls(mainWindow);
    ShowWindow(mainWindow);
    return mainWindow;
}
