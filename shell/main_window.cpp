#include "shell/main_window.h"

#include "imaging/picture.h"
#include "platform/controls.h"
#include "platform/menus.h"
#include "platform/platform.h"
#include "platform/window.h"
#include "program_identity.h"
#include "screen/screen_modes.h"
#include "shell/commands.h"
#include "shell/state/app_state.h"

#include <string>

namespace {

void BuildMenus(int window) {
    mainMenu = CreateMenuBar(window);
    const int file = AddSubmenu(mainMenu, "&File");
    AddMenuItem(file, cmdOpen, "&Open...\tCtrl+O");
    AddMenuItem(file, cmdImportScreenDump, "&Import Screen Dump...\tCtrl+I");
    AddMenuSeparator(file);
    AddMenuItem(file, cmdSaveAs, "Save &As...\tCtrl+S");
    AddMenuSeparator(file);
    AddMenuItem(file, cmdExit, "E&xit\tCtrl+Q");

    const int edit = AddSubmenu(mainMenu, "&Edit");
    AddMenuItem(edit, cmdUndo, "Undo\tCtrl+Y");
    AddMenuItem(edit, cmdRedo, "Redo\tCtrl+Z");

    const int image = AddSubmenu(mainMenu, "&Image");
    const int autoProcess = AddSubmenu(image, "Auto-process");
    AddMenuItem(autoProcess, cmdAutoLevel, "Level");
    AddMenuItem(image, cmdBrightnessContrast, "Adjust Brightness and Contrast...");
    AddMenuItem(image, cmdAdjustLevel, "Adjust Level...");
    AddMenuSeparator(image);
    const int effects = AddSubmenu(image, "Effects");
    AddMenuItem(effects, cmdGreyscale, "Greyscale");
    AddMenuItem(effects, cmdInvert, "Invert");
    AddMenuItem(effects, cmdSolarise, "Solarise");
    AddMenuSeparator(image);
    AddMenuItem(image, cmdHistogram, "Display Histogram...");
    AddMenuSeparator(image);
    const int rotate = AddSubmenu(image, "Rotate and Flip");
    AddMenuItem(rotate, cmdRotateLeft, "Rotate Left 90\u00B0");
    AddMenuItem(rotate, cmdRotateRight, "Rotate Right 90\u00B0");
    AddMenuItem(rotate, cmdRotate180, "Rotate 180\u00B0");
    AddMenuSeparator(rotate);
    AddMenuItem(rotate, cmdFlipHorizontally, "Flip Horizontally");
    AddMenuItem(rotate, cmdFlipVertically, "Flip Vertically");
    AddMenuSeparator(image);
    AddMenuItem(image, cmdResetImage, "Reset Image");

    const int view = AddSubmenu(mainMenu, "&View");
    AddMenuItem(view, cmdZoomedPreview, "Zoomed Preview...");
    AddMenuItem(view, cmdFullScreenPreview, "Full Screen Preview...");

    const int options = AddSubmenu(mainMenu, "&Options");
    AddMenuItem(options, cmdNtsc, "Use NTSC Resolution");
    AddMenuItem(options, cmdQvga, "Use QVGA Resolution");
    SetMenuItemChecked(cmdNtsc, false);
    SetMenuItemChecked(cmdQvga, false);

    const int help = AddSubmenu(mainMenu, "&Help");
    AddMenuItem(help, cmdCheckForUpdates, "Check for Updates...");
    AddMenuSeparator(help);
    AddMenuItem(help, cmdAbout, "About...");

    // Greyed for good: nothing ever enables them.
    for (const int command : {cmdUndo, cmdRedo, cmdAdjustLevel, cmdCheckForUpdates}) {
        SetMenuItemEnabled(command, false);
    }
}

void BuildShortcutsAndToolBar(int window) {
    AddShortcut(window, "Ctrl+O", cmdOpen);
    AddShortcut(window, "Ctrl+I", cmdImportScreenDump);
    AddShortcut(window, "Ctrl+S", cmdSaveAs);
    AddShortcut(window, "Ctrl+Q", cmdExit);
    AddShortcut(window, "Ctrl+Y", cmdUndo);
    AddShortcut(window, "Ctrl+Z", cmdRedo);
    AddToolButton(window, cmdToolOpen, ToolPicture::Open, "Open");
    AddToolButton(window, cmdToolSaveAs, ToolPicture::Save, "Save As");
    AddToolSeparator(window);
    AddToolButton(window, cmdToolZoomedPreview, ToolPicture::Find, "Zoomed Preview");
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
        ColourSwatchGadget(window, firstSwatchControl + k, firstSwatchPicture + k, 210 + 30 * k, 330, 24, 24,
                           physicalColours[static_cast<std::size_t>(k)], true);
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
