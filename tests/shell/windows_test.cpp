#include <gtest/gtest.h>

#include "desktop_support.h"

#include "imaging/picture.h"
#include "platform/controls.h"
#include "platform/menus.h"
#include "platform/platform.h"
#include "platform/test_hooks.h"
#include "platform/window.h"
#include "screen/screen_modes.h"
#include "shell/about_window.h"
#include "shell/brightness_contrast_window.h"
#include "shell/commands.h"
#include "shell/gadget_colours.h"
#include "shell/state/app_state.h"

#include <memory>
#include <regex>

namespace {

// The newest window other than the main window, or 0.
int NewestWindow() {
    const std::vector<int> windows = OpenWindows();
    return windows.empty() || windows.back() == mainWindow ? 0 : windows.back();
}

// The control of `window` whose text is `text`, or 0.
int ControlWithText(int window, const std::string& text) {
    for (const int control : WindowControls(window)) {
        if (ControlText(control) == text) {
            return control;
        }
    }
    return 0;
}

using WindowsTest = DesktopTest;

TEST_F(WindowsTest, PaletteSelectorSwallowsEverythingUntilAColourIsChosen) {
    SelectListItem(screenModeCombo, 1);
    QueueControlEvent(screenModeCombo);
    ASSERT_TRUE(DispatchQueued());
    SimulateMousePosition({100, 120});
    int selector = 0;
    bool enabledMeanwhile = false;
    std::string title;
    PixelSize size;
    ScreenPoint position;
    std::vector<int> controls;
    std::vector<ControlRect> geometry;
    std::vector<int> pictures;
    SetTestIdleHook([&] {
        selector = NewestWindow();
        if (selector == 0) {
            return;
        }
        enabledMeanwhile = WindowEnabled(mainWindow);
        title = WindowTitle(selector);
        size = WindowClientSize(selector);
        position = WindowClientPosition(selector);
        controls = WindowControls(selector);
        for (const int control : controls) {
            geometry.push_back(ControlGeometry(control));
            pictures.push_back(ControlPicture(control));
        }
        // The close box and a command of the main window are read and dropped.
        QueueCloseRequest(mainWindow);
        QueueCommandEvent(mainWindow, cmdExit);
        QueueControlEvent(firstSelectorSwatchControl + 2); // green
        SetTestIdleHook(nullptr);
    });
    QueueControlEvent(firstSwatchControl + 1);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_NE(selector, 0);
    EXPECT_TRUE(enabledMeanwhile);
    EXPECT_EQ(quitRequested, 0);
    EXPECT_EQ(PaletteEntry(1, 1), physicalColours[2]);
    EXPECT_EQ(ReadPixel(firstSwatchPicture + 1, 5, 5), physicalColours[2]);
    EXPECT_FALSE(WindowExists(selector));
    EXPECT_EQ(ReadPixel(firstSelectorSwatchPicture + 7, 3, 3), 0xFFFFFFu);

    // A row of all eight colours, 30 pixels apart, at the pointer.
    EXPECT_EQ(title, "Palette Selector");
    EXPECT_EQ(size.width, 239);
    EXPECT_EQ(size.height, 29);
    EXPECT_EQ(position.x, 100);
    EXPECT_EQ(position.y, 120);
    ASSERT_EQ(controls.size(), 8u);
    for (int k = 0; k < 8; ++k) {
        const auto at = static_cast<std::size_t>(k);
        EXPECT_EQ(controls[at], firstSelectorSwatchControl + k);
        EXPECT_EQ(geometry[at].x, 30 * k);
        EXPECT_EQ(geometry[at].y, 0);
        EXPECT_EQ(geometry[at].width, 25);
        EXPECT_EQ(geometry[at].height, 25);
        EXPECT_EQ(pictures[at], firstSelectorSwatchPicture + k);
        EXPECT_EQ(ReadPixel(firstSelectorSwatchPicture + k, 12, 12), physicalColours[at]);
    }

    // The colour already assigned is stored and converted again all the same.
    QueueDropEvent(mainWindow, {WritePicture("p.png", 16, 16, 0x00FF00)});
    ASSERT_TRUE(DispatchQueued());
    ForgetConversion();
    SetTestIdleHook([&] {
        if (NewestWindow() != 0) {
            QueueControlEvent(firstSelectorSwatchControl + 2);
            SetTestIdleHook(nullptr);
        }
    });
    QueueControlEvent(firstSwatchControl + 1);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_EQ(PaletteEntry(1, 1), physicalColours[2]);
    EXPECT_TRUE(Refreshed());
}

TEST_F(WindowsTest, ZoomedPreviewShowsTheConversionEnlargedUntilClicked) {
    // Nothing to show: nothing opens.
    QueueCommandEvent(mainWindow, cmdToolZoomedPreview);
    ASSERT_TRUE(DispatchQueued());

    QueueDropEvent(mainWindow, {WritePicture("p.png", 50, 50, 0x00FF00)});
    QueueCommandEvent(mainWindow, cmdNtsc);
    ASSERT_TRUE(DispatchQueued());
    int zoom = 0;
    PixelSize size;
    std::string title;
    bool mainEnabled = true;
    SetTestIdleHook([&] {
        zoom = NewestWindow();
        size = WindowClientSize(zoom);
        title = WindowTitle(zoom);
        mainEnabled = WindowEnabled(mainWindow);
        QueueControlEvent(WindowControls(zoom).front());
        SetTestIdleHook(nullptr);
    });
    QueueCommandEvent(mainWindow, cmdZoomedPreview);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_EQ(size.width, 640);
    EXPECT_EQ(size.height, 400);
    EXPECT_EQ(title, "Quillmorph - Click on image to close");
    EXPECT_FALSE(mainEnabled);
    EXPECT_TRUE(WindowEnabled(mainWindow));
    EXPECT_FALSE(WindowExists(zoom));
    EXPECT_FALSE(PictureExists(scratchPicture));
}

TEST_F(WindowsTest, FullScreenPreviewCoversTheDisplayAndClosesOnRequest) {
    QueueDropEvent(mainWindow, {WritePicture("p.png", 50, 50, 0x00FF00)});
    ASSERT_TRUE(DispatchQueued());
    PixelSize size;
    int frame = 0;
    SetTestIdleHook([&] {
        const int window = NewestWindow();
        size = WindowClientSize(window);
        frame = WindowControls(window).front();
        EXPECT_EQ(ControlPicture(frame), scratchPicture);
        QueueCloseRequest(window);
        SetTestIdleHook(nullptr);
    });
    QueueCommandEvent(mainWindow, cmdFullScreenPreview);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_EQ(size.width, DisplaySize().width);
    EXPECT_EQ(size.height, DisplaySize().height);
}

TEST_F(WindowsTest, AboutShowsTheBannerAndVersionUntilOkay) {
    EXPECT_TRUE(std::regex_match(VersionLine(), std::regex("Version 0\\.20\\.0\\.34\u00DF - Compiled on "
                                                           "[0-3][0-9]/[01][0-9]/[0-9]{4} at [0-2][0-9]:[0-5][0-9]:[0-5][0-9]")))
        << VersionLine();
    std::string title;
    int banner = 0;
    ColourValue text = 1, background = 1;
    SetTestIdleHook([&] {
        const int about = NewestWindow();
        title = WindowTitle(about);
        const int version = ControlWithText(about, VersionLine());
        EXPECT_TRUE(GadgetColoursOf(version, text, background));
        for (const int control : WindowControls(about)) {
            banner = ControlPicture(control) != 0 ? ControlPicture(control) : banner;
        }
        EXPECT_FALSE(WindowEnabled(mainWindow));
        QueueControlEvent(ControlWithText(about, "Okay"));
        SetTestIdleHook(nullptr);
    });
    QueueCommandEvent(mainWindow, cmdAbout);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_EQ(title, "Quillmorph - About");
    EXPECT_EQ(banner, aboutBanner);
    EXPECT_EQ(text, 0u);
    EXPECT_EQ(background, 0xFFFFFFu);
    EXPECT_TRUE(WindowEnabled(mainWindow));
    EXPECT_EQ(aboutWindow, 0);
}

TEST_F(WindowsTest, BrightnessAndContrastLabelsFollowTheRoundingRule) {
    EXPECT_EQ(BrightnessLabel(-128), "-100%");
    EXPECT_EQ(BrightnessLabel(16), "12%");
    EXPECT_EQ(BrightnessLabel(48), "38%");
    EXPECT_EQ(BrightnessLabel(80), "62%");
    EXPECT_EQ(BrightnessLabel(112), "88%");
    EXPECT_EQ(ContrastLabel(256), "100%");
    EXPECT_EQ(ContrastLabel(32), "12%");
    EXPECT_EQ(ContrastLabel(96), "38%");
    EXPECT_EQ(GammaLabel(0.01F), "0.01");
    EXPECT_EQ(GammaLabel(1.0F), "1.00");
    EXPECT_EQ(GammaLabel(7.99F), "7.99");
}

// Plays the brightness and contrast window: moves the brightness slider to `position`
// with the button up, then presses `button`.
void PlayBrightnessWindow(int position, const std::string& button, std::string& label, bool& refreshedLive) {
    auto step = std::make_shared<int>(0);
    SetTestIdleHook([&label, &refreshedLive, step, position, button] {
        const int window = NewestWindow();
        const std::vector<int> controls = WindowControls(window);
        if (*step == 0) {
            EXPECT_EQ(WindowTitle(window), "Brightness and Contrast");
            EXPECT_FALSE(WindowEnabled(mainWindow));
            int slider = 0;
            for (const int control : controls) {
                if (TrackBarPosition(control) == 128) {
                    slider = control;
                }
            }
            SetTrackBarPosition(slider, position);
            QueueControlEvent(slider);
            DiscardPicture(convertedPicture);
        } else if (*step == 1) {
            label = ControlText(ControlWithText(window, BrightnessLabel(static_cast<float>(position - 128))));
            refreshedLive = PictureExists(convertedPicture);
            QueueControlEvent(ControlWithText(window, button));
            SetTestIdleHook(nullptr);
        }
        ++*step;
    });
}

TEST_F(WindowsTest, BrightnessAndContrastOkAppliesAndCancelDiscards) {
    QueueDropEvent(mainWindow, {WritePicture("p.png", 20, 20, MakeColour(100, 100, 100))});
    ASSERT_TRUE(DispatchQueued());
    std::string label;
    bool refreshed = false;
    PlayBrightnessWindow(144, "Cancel", label, refreshed);
    QueueCommandEvent(mainWindow, cmdBrightnessContrast);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_EQ(label, "12%");
    EXPECT_TRUE(refreshed);
    EXPECT_EQ(ReadPixel(workingPicture, 0, 0), MakeColour(100, 100, 100));
    EXPECT_EQ(brightnessOffset, 0.0F);
    EXPECT_EQ(gammaValue, 1.0F);
    EXPECT_TRUE(WindowEnabled(mainWindow));

    PlayBrightnessWindow(144, "OK", label, refreshed);
    QueueCommandEvent(mainWindow, cmdBrightnessContrast);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_EQ(ReadPixel(workingPicture, 0, 0), MakeColour(116, 116, 116));
    EXPECT_EQ(brightnessOffset, 0.0F);
}

TEST_F(WindowsTest, HistogramShowsOnlyTheLuminancePairForGreyPictures) {
    QueueDropEvent(mainWindow, {WritePicture("grey.png", 20, 20, MakeColour(90, 90, 90))});
    ASSERT_TRUE(DispatchQueued());
    std::vector<int> top;
    std::string title;
    SetTestIdleHook([&] {
        const int window = NewestWindow();
        title = WindowTitle(window);
        for (const int control : WindowControls(window)) {
            top.push_back(ControlGeometry(control).y);
        }
        EXPECT_FALSE(WindowEnabled(mainWindow));
        QueueCloseRequest(window);
        SetTestIdleHook(nullptr);
    });
    QueueCommandEvent(mainWindow, cmdHistogram);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_EQ(title, "Quillmorph - Histogram");
    EXPECT_EQ(top, (std::vector<int>{320, 402}));
    EXPECT_TRUE(WindowEnabled(mainWindow));
}

} // namespace
