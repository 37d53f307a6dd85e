#include "desktop_support.h"
#include "imaging/picture.h"
#include "platform/controls.h"
#include "platform/menus.h"
#include "platform/platform.h"
#include "platform/test_hooks.h"
#include "platform/widget_lookup.h"
#include "platform/window.h"
#include "screen/screen_modes.h"
#include "shell/commands.h"
#include "shell/startup.h"
#include "state/app_state.h"

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <fstream>
#include <gtest/gtest.h>

namespace {

std::string Caption(const std::string& lines, const std::string& width = "160") {
    return "Preview Image (" + width + " x " + lines + " pixels)";
}

using StartUpTest = DesktopTest;

TEST_F(StartUpTest, AFreshStartShowsTheDefaults) {
    EXPECT_EQ(WindowTitle(mainWindow), "Quillmorph 0.20");
    EXPECT_EQ(ListItemCount(screenModeCombo), 6);
    EXPECT_EQ(ListItemText(screenModeCombo, 3), "Mode 4");
    EXPECT_EQ(ListSelection(screenModeCombo), 2);
    EXPECT_EQ(ListItemCount(methodCombo), 17);
    EXPECT_EQ(ListItemText(methodCombo, 0), "None");
    EXPECT_EQ(ListItemText(methodCombo, 16), "Stucki (Varn Modified)");
    EXPECT_EQ(ListSelection(methodCombo), 0);
    EXPECT_EQ(TrackBarPosition(strengthTrackBar), 50);
    EXPECT_EQ(ControlText(strengthValueText), "50%");
    EXPECT_TRUE(ControlChecked(smoothCheckBox));
    EXPECT_FALSE(ControlChecked(serpentineCheckBox));
    EXPECT_FALSE(ControlChecked(stretchCheckBox));
    EXPECT_FALSE(MenuItemChecked(kCommandNtsc));
    EXPECT_FALSE(MenuItemChecked(kCommandQvga));
    EXPECT_EQ(ControlPicture(sourceImageGadget), 0);
    EXPECT_EQ(ControlPicture(previewImageGadget), 0);
    EXPECT_EQ(ControlText(sourceFrame), "Source Image");
    EXPECT_EQ(ControlText(previewFrame), Caption("256"));
    EXPECT_EQ(screenMode, 2);
    EXPECT_EQ(modeWidth, 160);
    EXPECT_EQ(previewHeight, 256);
    EXPECT_EQ(sourceScaleMode, 0);
    EXPECT_EQ(previewScaleMode, 1);
    EXPECT_EQ(keepAspect, 1);
    EXPECT_EQ(serpentine, 0);
    EXPECT_EQ(gammaValue, 0.0F);
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(ReadPixel(kFirstSwatchPicture + k, 12, 12), kPhysicalColours[static_cast<std::size_t>(k)]);
        EXPECT_EQ(ControlPicture(kFirstSwatchControl + k), kFirstSwatchPicture + k);
    }
    for (const int command : {kCommandUndo, kCommandRedo, kCommandAdjustLevel, kCommandCheckForUpdates}) {
        EXPECT_FALSE(MenuItemEnabled(command)) << command;
    }
    EXPECT_TRUE(MenuItemEnabled(kCommandOpen));
    EXPECT_EQ(MenuItemText(kCommandRotateLeft), "Rotate Left 90\u00B0");
    EXPECT_EQ(MenuItemText(kCommandSaveAs), "Save &As...\tCtrl+S");
    EXPECT_TRUE(PictureExists(aboutBanner));
    EXPECT_EQ(PictureWidth(aboutBanner), 415);
    EXPECT_EQ(PictureHeight(aboutBanner), 72);
}

TEST_F(StartUpTest, EveryMainWindowTextFitsItsBox) {
    for (const int control : {serpentineCheckBox, smoothCheckBox, stretchCheckBox}) {
        EXPECT_LT(TextWidth(control, ControlText(control)), 125 - 18) << ControlText(control);
    }
    EXPECT_LE(TextWidth(strengthValueText, "100%"), 35);
}

using DispatchTest = DesktopTest;

TEST_F(DispatchTest, OpenLoadsThePictureAndCancelKeepsIt) {
    const std::string path = WritePicture("photo.png", 200, 100, 0x0000FF);
    QueueFileDialogAnswer(path, 0);
    QueueCommandEvent(mainWindow, kCommandOpen);
    ASSERT_TRUE(DispatchQueued());
    ASSERT_EQ(ShownFileDialogs().size(), 1u);
    EXPECT_EQ(ShownFileDialogs()[0].title, "Open Image File");
    EXPECT_EQ(ShownFileDialogs()[0].patterns, openPattern);
    EXPECT_EQ(sourcePath, path);
    EXPECT_EQ(ControlText(sourceFrame), "Source Image: photo.png (200 x 100 pixels)");
    EXPECT_EQ(ControlPicture(sourceImageGadget), sourcePreviewPicture);
    EXPECT_EQ(ControlPicture(previewImageGadget), convertedPreviewPicture);
    EXPECT_EQ(PictureWidth(convertedPicture), 160);

    // Cancelling loses neither the picture and its adjustments nor what Reset Image reads.
    QueueCommandEvent(mainWindow, kCommandInvert);
    QueueFileDialogCancel();
    QueueCommandEvent(mainWindow, kCommandToolOpen);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_EQ(sourcePath, path);
    EXPECT_EQ(ReadPixel(workingPicture, 0, 0), 0xFFFF00u);
    EXPECT_EQ(ControlPicture(sourceImageGadget), sourcePreviewPicture);
    EXPECT_EQ(ControlPicture(previewImageGadget), convertedPreviewPicture);
    EXPECT_EQ(ControlText(sourceFrame), "Source Image: photo.png (200 x 100 pixels)");
    EXPECT_TRUE(ShownMessageBoxes().empty());
}

TEST_F(DispatchTest, AFailedOpenClearsThePathButAFailedDropKeepsIt) {
    QueueDropEvent(mainWindow, {WritePicture("earlier.png", 10, 10, 0x00FF00)});
    const std::string missing = (folder / "gone.png").string();
    QueueFileDialogAnswer(missing, 0);
    QueueCommandEvent(mainWindow, kCommandOpen);
    QueueMessageBoxAnswer(MessageAnswer::Ok);
    // The earlier conversion went with its picture: Save As has nothing to write (it
    // would fail the test by asking for a file name), as the empty previews say.
    QueueCommandEvent(mainWindow, kCommandSaveAs);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_FALSE(PictureExists(convertedPicture));
    EXPECT_EQ(ControlPicture(previewImageGadget), 0);
    EXPECT_EQ(ShownFileDialogs().size(), 1u);
    EXPECT_EQ(sourcePath, "");
    ASSERT_EQ(ShownMessageBoxes().size(), 1u);
    EXPECT_EQ(ShownMessageBoxes()[0].title, "Error Message");
    EXPECT_EQ(ShownMessageBoxes()[0].text,
              "Unfortunately an error has occurred.\n\nReason: The file 'gone.png' does not exist.");
    EXPECT_EQ(ShownMessageBoxes()[0].icon, MessageIcon::Error);

    const std::string first = WritePicture("first.png", 10, 10, 0xFFFFFF);
    QueueDropEvent(mainWindow, {missing, first});
    QueueMessageBoxAnswer(MessageAnswer::Ok);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_EQ(sourcePath, missing); // only the first file, kept after the failure
    EXPECT_FALSE(PictureExists(workingPicture));

    QueueDropEvent(mainWindow, {first, missing});
    ASSERT_TRUE(DispatchQueued());
    EXPECT_EQ(sourcePath, first);
    EXPECT_TRUE(PictureExists(workingPicture));
}

TEST_F(DispatchTest, AFileGivenAtStartOpensAsADroppedFileDoes) {
    const std::string path = WritePicture("given.png", 64, 32, 0xFFFFFF);
    OpenFileGivenAtStart(path);
    EXPECT_EQ(sourcePath, path);
    EXPECT_EQ(PictureWidth(workingPicture), 64);
    EXPECT_EQ(ControlText(sourceFrame), "Source Image: given.png (64 x 32 pixels)");
    EXPECT_NE(ControlPicture(previewImageGadget), 0);
}

TEST_F(DispatchTest, ResetImageReadsTheFileAgain) {
    const std::string path = WritePicture("reset.png", 8, 8, MakeColour(10, 20, 30));
    QueueDropEvent(mainWindow, {path});
    QueueCommandEvent(mainWindow, kCommandInvert);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_EQ(ReadPixel(workingPicture, 0, 0), MakeColour(245, 235, 225));
    QueueCommandEvent(mainWindow, kCommandResetImage);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_EQ(ReadPixel(workingPicture, 0, 0), MakeColour(10, 20, 30));

    std::filesystem::remove(path);
    QueueCommandEvent(mainWindow, kCommandResetImage);
    QueueMessageBoxAnswer(MessageAnswer::Ok);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_FALSE(PictureExists(workingPicture));
    EXPECT_EQ(sourcePath, "");
    EXPECT_NE(ShownMessageBoxes().back().text.find("' does not exist."), std::string::npos);
}

TEST_F(DispatchTest, RefreshRulesOfTheControls) {
    QueueDropEvent(mainWindow, {WritePicture("p.png", 64, 64, 0x808080)});
    ASSERT_TRUE(DispatchQueued());

    // The mode already selected does nothing; another mode converts.
    ForgetConversion();
    QueueControlEvent(screenModeCombo);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_FALSE(Refreshed());
    SelectListItem(screenModeCombo, 3);
    QueueControlEvent(screenModeCombo);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_TRUE(Refreshed());
    EXPECT_EQ(screenMode, 4);
    EXPECT_EQ(modeWidth, 320);
    EXPECT_EQ(lastModeIndex, 3);
    EXPECT_EQ(ControlText(previewFrame), Caption("256", "320"));

    // Strength and serpentine do nothing visible with "None".
    ForgetConversion();
    SetTrackBarPosition(strengthTrackBar, 75);
    QueueControlEvent(strengthTrackBar);
    SetControlChecked(serpentineCheckBox, true);
    QueueControlEvent(serpentineCheckBox);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_EQ(ControlText(strengthValueText), "75%");
    EXPECT_EQ(serpentine, 1);
    EXPECT_FALSE(Refreshed());

    // A new method converts; the same method again does not.
    SelectListItem(methodCombo, 5);
    QueueControlEvent(methodCombo);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_TRUE(Refreshed());
    ForgetConversion();
    QueueControlEvent(methodCombo);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_FALSE(Refreshed());

    // With a method, the strength converts only once the button is up.
    SimulateLeftButton(true);
    QueueControlEvent(strengthTrackBar);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_FALSE(Refreshed());
    SimulateLeftButton(false);
    QueueControlEvent(strengthTrackBar);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_TRUE(Refreshed());

    SetControlChecked(smoothCheckBox, false);
    QueueControlEvent(smoothCheckBox);
    SetControlChecked(stretchCheckBox, true);
    QueueControlEvent(stretchCheckBox);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_EQ(sourceScaleMode, 1);
    EXPECT_EQ(keepAspect, 0);
}

TEST_F(DispatchTest, AClickOnTheStrengthGrooveConvertsOnRelease) {
    QueueDropEvent(mainWindow, {WritePicture("p.png", 64, 64, 0x808080)});
    SelectListItem(methodCombo, 1);
    QueueControlEvent(methodCombo);
    ASSERT_TRUE(DispatchQueued());
    ForgetConversion();
    PressGroove(strengthTrackBar, true);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_GT(TrackBarPosition(strengthTrackBar), 50);
    EXPECT_FALSE(Refreshed()); // the button is still down
    PressGroove(strengthTrackBar, false);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_EQ(ControlText(strengthValueText), std::to_string(TrackBarPosition(strengthTrackBar)) + "%");
    EXPECT_TRUE(Refreshed());
}

// A file whose name is not UTF-8, dropped from a file manager, opens like any other.
TEST_F(DispatchTest, ADroppedNameThatIsNotUtf8Opens) {
    const std::string path = WritePicture("caf\xE9.png", 8, 6, 0xFF0000);
    QMimeData data;
    data.setUrls(
        {QUrl::fromEncoded(QByteArray("file://") + QByteArray::fromStdString(path).toPercentEncoding("/"))});
    QWidget* top = Named<QWidget>(WindowObjectName(mainWindow));
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(top, &enter);
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(top, &drop);
    QApplication::processEvents();
    ASSERT_TRUE(DispatchQueued());
    EXPECT_TRUE(ShownMessageBoxes().empty());
    EXPECT_EQ(sourcePath, path);
    EXPECT_EQ(PictureWidth(workingPicture), 8);
}

TEST_F(DispatchTest, ResolutionOptionsExcludeEachOther) {
    QueueCommandEvent(mainWindow, kCommandQvga);
    QueueCommandEvent(mainWindow, kCommandNtsc);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_TRUE(MenuItemChecked(kCommandNtsc));
    EXPECT_FALSE(MenuItemChecked(kCommandQvga));
    EXPECT_EQ(previewHeight, 200);
    EXPECT_EQ(ControlText(previewFrame), Caption("200"));
    // Both frames move to stay centred in the 256-line area; only their y and height change.
    for (const int frame : {sourceImageGadget, previewImageGadget}) {
        const ControlRect rect = ControlGeometry(frame);
        EXPECT_EQ(rect.y, 68);
        EXPECT_EQ(rect.height, 200);
        EXPECT_EQ(rect.width, 320);
        EXPECT_EQ(rect.x, frame == sourceImageGadget ? 15 : 370);
    }
    QueueCommandEvent(mainWindow, kCommandNtsc);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_FALSE(MenuItemChecked(kCommandNtsc));
    EXPECT_EQ(previewHeight, 256);
    EXPECT_EQ(ControlGeometry(previewImageGadget).y, 40);
    EXPECT_EQ(ControlGeometry(previewImageGadget).height, 256);
    QueueCommandEvent(mainWindow, kCommandQvga);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_EQ(previewHeight, 240);
    EXPECT_EQ(ControlGeometry(sourceImageGadget).y, 48);
    EXPECT_EQ(ControlGeometry(sourceImageGadget).height, 240);
    SelectListItem(screenModeCombo, 4);
    QueueControlEvent(screenModeCombo);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_EQ(ControlText(previewFrame), Caption("240"));
}

TEST_F(DispatchTest, PaletteButtons) {
    // Auto Palette without a picture does nothing; Reset Palette still resets.
    PaletteEntry(2, 0) = 0xFFFFFF;
    QueueControlEvent(autoPaletteButton);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_EQ(PaletteEntry(2, 0), 0xFFFFFFu);
    QueueControlEvent(resetPaletteButton);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_EQ(PaletteEntry(2, 0), 0u);

    QueueDropEvent(mainWindow, {WritePicture("white.png", 40, 40, 0xFFFFFF)});
    SelectListItem(screenModeCombo, 4); // Mode 5
    QueueControlEvent(screenModeCombo);
    QueueControlEvent(autoPaletteButton);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_EQ(PaletteEntry(5, 0), 0xFFFFFFu);
    EXPECT_EQ(PaletteEntry(5, 1), kPhysicalColours[5]);
    // Mode 5 hides logical colours 4-7 behind a checkerboard that takes no clicks.
    EXPECT_FALSE(ClickReporting(kFirstSwatchControl + 4));
    EXPECT_TRUE(ClickReporting(kFirstSwatchControl + 3));
    EXPECT_EQ(ReadPixel(kFirstSwatchPicture + 4, 0, 0), 0u);
    EXPECT_EQ(ReadPixel(kFirstSwatchPicture + 4, 1, 0), 0xFFFFFFu);
}

TEST_F(DispatchTest, ExitAndTheCloseBoxEndTheLoop) {
    QueueCommandEvent(mainWindow, kCommandUndo);
    QueueCommandEvent(mainWindow, kCommandAdjustLevel);
    EXPECT_TRUE(DispatchQueued());
    QueueCloseRequest(mainWindow);
    EXPECT_FALSE(DispatchQueued());
    EXPECT_EQ(quitRequested, 1);
    quitRequested = 0;
    QueueCommandEvent(mainWindow, kCommandExit);
    EXPECT_FALSE(DispatchQueued());
}

TEST_F(DispatchTest, SaveAsWritesTheDumpAndSidecar) {
    QueueDropEvent(mainWindow, {WritePicture("red.png", 32, 32, 0x0000FF)});
    const std::string target = (folder / "SCREEN").string();
    QueueFileDialogAnswer(target, 0);
    QueueCommandEvent(mainWindow, kCommandSaveAs);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_EQ(std::filesystem::file_size(target), 20480u);
    std::ifstream inf(target + ".inf", std::ios::binary);
    const std::string line((std::istreambuf_iterator<char>(inf)), std::istreambuf_iterator<char>());
    EXPECT_EQ(line, "$.SCREEN  003000 000000 005000");
    EXPECT_EQ(ShownFileDialogs().back().title, "Save Image File");
}

TEST_F(DispatchTest, ImportedDumpBecomesTheWorkingPicture) {
    const std::string dump = (folder / "TESTCARD").string();
    {
        std::ofstream out(dump, std::ios::binary);
        const std::string bytes(10240, '\xF0'); // Mode 5: every pixel logical 2 (yellow)
        out << bytes;
    }
    SelectListItem(screenModeCombo, 4);
    QueueControlEvent(screenModeCombo);
    QueueFileDialogAnswer(dump, 0);
    QueueCommandEvent(mainWindow, kCommandImportScreenDump);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_EQ(sourcePath, dump);
    EXPECT_EQ(PictureWidth(workingPicture), 160);
    EXPECT_EQ(PictureHeight(workingPicture), 256);
    EXPECT_EQ(ShownFileDialogs().back().title, "Open BBC Screen Dump File");
    EXPECT_TRUE(PictureExists(convertedPicture));
}

} // namespace
