#include "adjust/brightness_contrast_gamma.h"
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
#include "state/app_state.h"

#include <QApplication>
#include <QTest>
#include <QWidget>
#include <algorithm>
#include <clocale>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <regex>
#include <tuple>

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

// Plays the user of the window a command opens: each step runs, with the newest window,
// the next time the program waits for an event, and must queue at least one event; the
// last one must end the window.
void PlayWindow(std::vector<std::function<void(int)>> steps) {
    auto remaining = std::make_shared<std::deque<std::function<void(int)>>>(steps.begin(), steps.end());
    SetTestIdleHook([remaining] {
        const std::function<void(int)> step = remaining->front();
        remaining->pop_front();
        if (remaining->empty()) {
            SetTestIdleHook(nullptr);
        }
        step(NewestWindow());
    });
}

// A widget of the program by its object name, for real key presses.
QWidget* NamedWidget(const std::string& name) {
    for (QWidget* widget : QApplication::allWidgets()) {
        if (widget->objectName() == QString::fromStdString(name)) {
            return widget;
        }
    }
    return nullptr;
}

using WindowsTest = DesktopTest;

TEST_F(WindowsTest, PaletteSelectorSwallowsEverythingUntilAColourIsChosen) {
    SelectListItem(screenModeCombo, 1);
    QueueControlEvent(screenModeCombo);
    ASSERT_TRUE(DispatchQueued());
    SimulateMousePosition({100, 120});
    int selector = 0;
    int drop = 0;
    bool inputIgnored = false;
    QPoint corner;
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
        corner = NamedWidget(WindowObjectName(selector))->pos();
        size = WindowClientSize(selector);
        position = WindowClientPosition(selector);
        controls = WindowControls(selector);
        for (const int control : controls) {
            geometry.push_back(ControlGeometry(control));
            pictures.push_back(ControlPicture(control));
        }
        inputIgnored = !WindowTakesInput(mainWindow) && WindowTakesInput(selector);
        // The close box, a command and a drop still queued are read and dropped.
        QueueCloseRequest(mainWindow);
        QueueCommandEvent(mainWindow, kCommandExit);
        drop = QueueDropEvent(mainWindow, {"/tmp/ignored.png"});
        QueueControlEvent(kFirstSelectorSwatchControl + 2); // green
        SetTestIdleHook(nullptr);
    });
    QueueControlEvent(kFirstSwatchControl + 1);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_NE(selector, 0);
    EXPECT_TRUE(enabledMeanwhile);
    EXPECT_TRUE(inputIgnored);
    EXPECT_EQ(DroppedFileCount(drop), 0); // the dropped drop's paths are not kept
    EXPECT_EQ(quitRequested, 0);
    EXPECT_EQ(PaletteEntry(1, 1), kPhysicalColours[2]);
    EXPECT_EQ(ReadPixel(kFirstSwatchPicture + 1, 5, 5), kPhysicalColours[2]);
    EXPECT_FALSE(WindowExists(selector));
    EXPECT_EQ(ReadPixel(kFirstSelectorSwatchPicture + 7, 3, 3), 0xFFFFFFu);

    // A row of all eight colours, 30 pixels apart, in a thin frame whose corner is at
    // the pointer.
    EXPECT_EQ(title, "Palette Selector");
    EXPECT_EQ(size.width, 239);
    EXPECT_EQ(size.height, 29);
    EXPECT_EQ(corner, QPoint(100, 120));
    EXPECT_EQ(position.x, 103);
    EXPECT_EQ(position.y, 123);
    ASSERT_EQ(controls.size(), 8u);
    for (int k = 0; k < 8; ++k) {
        const auto at = static_cast<std::size_t>(k);
        EXPECT_EQ(controls[at], kFirstSelectorSwatchControl + k);
        EXPECT_EQ(geometry[at].x, 30 * k);
        EXPECT_EQ(geometry[at].y, 0);
        EXPECT_EQ(geometry[at].width, 25);
        EXPECT_EQ(geometry[at].height, 25);
        EXPECT_EQ(pictures[at], kFirstSelectorSwatchPicture + k);
        EXPECT_EQ(ReadPixel(kFirstSelectorSwatchPicture + k, 12, 12), kPhysicalColours[at]);
    }

    // The colour already assigned is stored and converted again all the same.
    QueueDropEvent(mainWindow, {WritePicture("p.png", 16, 16, 0x00FF00)});
    ASSERT_TRUE(DispatchQueued());
    ForgetConversion();
    SetTestIdleHook([&] {
        if (NewestWindow() != 0) {
            QueueControlEvent(kFirstSelectorSwatchControl + 2);
            SetTestIdleHook(nullptr);
        }
    });
    QueueControlEvent(kFirstSwatchControl + 1);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_EQ(PaletteEntry(1, 1), kPhysicalColours[2]);
    EXPECT_TRUE(Refreshed());
}

// What a preview window shows while it is open.
struct PreviewSeen {
    int window = 0;
    std::string title;
    PixelSize size;
    ScreenPoint position;
    ControlRect frame;
    int picture = 0;
    Picture enlarged;
    bool mainEnabled = true;
};

class PreviewTest : public DesktopTest {
  protected:
    // Opens a preview with `command`, notes what it shows, and clicks the picture.
    PreviewSeen Run(int command) {
        PreviewSeen seen;
        PlayWindow({[&seen](int window) {
            seen.window = window;
            seen.title = WindowTitle(window);
            seen.size = WindowClientSize(window);
            seen.position = WindowClientPosition(window);
            const std::vector<int> controls = WindowControls(window);
            EXPECT_EQ(controls.size(), 1u);
            seen.frame = ControlGeometry(controls.front());
            seen.picture = ControlPicture(controls.front());
            if (const Picture* shown = FindPicture(seen.picture)) {
                seen.enlarged = *shown;
            }
            seen.mainEnabled = WindowEnabled(mainWindow);
            QueueControlEvent(controls.front());
        }});
        QueueCommandEvent(mainWindow, command);
        EXPECT_TRUE(DispatchQueued());
        EXPECT_FALSE(WindowExists(seen.window));
        EXPECT_FALSE(PictureExists(scratchPicture));
        EXPECT_TRUE(WindowEnabled(mainWindow));
        return seen;
    }

    // A picture with a different colour in nearly every pixel, so that the conversion
    // changes colour often along rows and columns.
    std::string WriteBusyPicture() {
        Picture busy{128, 128, {}};
        for (unsigned y = 0; y < 128; ++y) {
            for (unsigned x = 0; x < 128; ++x) {
                busy.pixels.push_back(SwapRedBlue(
                    MakeColour((x * 53 + y * 7) % 256, (x * 11 + y * 97) % 256, (x ^ y) * 2 % 256)));
            }
        }
        return WritePicture("busy.png", busy);
    }

    void SelectMode(int position) {
        SelectListItem(screenModeCombo, position);
        QueueControlEvent(screenModeCombo);
        ASSERT_TRUE(DispatchQueued());
    }
};

TEST_F(PreviewTest, ZoomedWindowIsTwiceTheLineCount) {
    // Nothing converted yet: nothing opens.
    QueueCommandEvent(mainWindow, kCommandToolZoomedPreview);
    QueueCommandEvent(mainWindow, kCommandFullScreenPreview);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_EQ(OpenWindows(), std::vector<int>{mainWindow});

    QueueDropEvent(mainWindow, {WritePicture("p.png", 50, 50, 0x00FF00)});
    ASSERT_TRUE(DispatchQueued());
    for (const auto& [option, height] :
         {std::pair{0, 512}, std::pair{kCommandNtsc, 400}, std::pair{kCommandQvga, 480}}) {
        if (option != 0) {
            QueueCommandEvent(mainWindow, option);
            ASSERT_TRUE(DispatchQueued());
        }
        const std::vector<BufferWord> converted = FindPicture(convertedPicture)->pixels;
        for (const int command : {kCommandZoomedPreview, kCommandToolZoomedPreview}) {
            const PreviewSeen seen = Run(command);
            EXPECT_EQ(seen.title, "Quillmorph - Click on image to close");
            EXPECT_EQ(seen.size.width, 640) << height;
            EXPECT_EQ(seen.size.height, height);
            EXPECT_EQ(seen.frame.x, 0);
            EXPECT_EQ(seen.frame.y, 0);
            EXPECT_EQ(seen.frame.width, 640);
            EXPECT_EQ(seen.frame.height, height);
            EXPECT_EQ(seen.picture, scratchPicture);
            EXPECT_EQ(seen.enlarged.width, 640);
            EXPECT_EQ(seen.enlarged.height, height);
            EXPECT_FALSE(seen.mainEnabled);
            EXPECT_EQ(FindPicture(convertedPicture)->pixels, converted);
        }
    }
}

TEST_F(PreviewTest, ZoomedBlocksFollowTheModesPixels) {
    QueueDropEvent(mainWindow, {WriteBusyPicture()});
    ASSERT_TRUE(DispatchQueued());
    // Mode 0 (640 x 256): every line twice, the width kept. Mode 8 (80 x 256): 8 x 2 blocks.
    for (const auto& [position, blockWidth] : {std::pair{0, 1}, std::pair{5, 8}}) {
        SelectMode(position);
        const Picture converted = *FindPicture(convertedPicture);
        ASSERT_EQ(converted.width * blockWidth, 640);
        int changes = 0;
        for (std::size_t i = 1; i < converted.pixels.size(); ++i) {
            changes += converted.pixels[i] != converted.pixels[i - 1] ? 1 : 0;
        }
        EXPECT_GT(changes, 1000) << "the conversion should not be flat";
        const PreviewSeen seen = Run(kCommandZoomedPreview);
        ASSERT_EQ(seen.enlarged.width, 640);
        ASSERT_EQ(seen.enlarged.height, 512);
        int wrong = 0;
        for (int y = 0; y < 512; ++y) {
            for (int x = 0; x < 640; ++x) {
                const BufferWord expected =
                    converted.pixels[static_cast<std::size_t>((y / 2) * converted.width + x / blockWidth)];
                wrong += seen.enlarged.pixels[static_cast<std::size_t>(y * 640 + x)] != expected ? 1 : 0;
            }
        }
        EXPECT_EQ(wrong, 0) << "mode position " << position;
    }
}

TEST_F(PreviewTest, FullScreenCoversTheDisplay) {
    QueueDropEvent(mainWindow, {WriteBusyPicture()});
    ASSERT_TRUE(DispatchQueued());
    const PixelSize display = DisplaySize();
    const PreviewSeen seen = Run(kCommandFullScreenPreview);
    EXPECT_EQ(seen.title, "");
    EXPECT_EQ(seen.size.width, display.width);
    EXPECT_EQ(seen.size.height, display.height);
    EXPECT_EQ(seen.position.x, 0);
    EXPECT_EQ(seen.position.y, 0);
    EXPECT_EQ(seen.frame.width, display.width);
    EXPECT_EQ(seen.frame.height, display.height);
    EXPECT_EQ(seen.picture, scratchPicture);
    EXPECT_EQ(seen.enlarged.width, display.width);
    EXPECT_EQ(seen.enlarged.height, display.height);
    EXPECT_FALSE(seen.mainEnabled);
    EXPECT_EQ(SwapRedBlue(seen.enlarged.pixels.front()), ReadPixel(convertedPicture, 0, 0));
    EXPECT_EQ(SwapRedBlue(seen.enlarged.pixels.back()), ReadPixel(convertedPicture, 159, 255));
}

TEST_F(PreviewTest, KeyPressesDoNotClosePreviews) {
    QueueDropEvent(mainWindow, {WritePicture("p.png", 50, 50, 0x00FF00)});
    ASSERT_TRUE(DispatchQueued());
    for (const int command : {kCommandZoomedPreview, kCommandFullScreenPreview}) {
        bool openAfterKeys = false;
        int window = 0;
        PlayWindow({
            [&](int opened) {
                window = opened;
                auto* widget = NamedWidget(WindowObjectName(window));
                auto* frame = NamedWidget(ControlObjectName(WindowControls(window).front()));
                ASSERT_NE(widget, nullptr);
                ASSERT_NE(frame, nullptr);
                for (QWidget* target : {widget, frame}) {
                    for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Space, Qt::Key_A}) {
                        QTest::keyClick(target, key);
                    }
                    QTest::keyClick(target, Qt::Key_Q, Qt::ControlModifier);
                    QTest::keyClick(target, Qt::Key_F4, Qt::AltModifier);
                }
                QCoreApplication::processEvents();
                // The keys reached nothing: the program is waiting again on the same window.
                QueueCommandEvent(mainWindow, kCommandAbout);
            },
            [&](int current) {
                openAfterKeys = current == window && WindowVisible(window);
                QueueCloseRequest(window);
            },
        });
        QueueCommandEvent(mainWindow, command);
        ASSERT_TRUE(DispatchQueued());
        EXPECT_TRUE(openAfterKeys) << command;
        EXPECT_EQ(quitRequested, 0);
        EXPECT_EQ(OpenWindows(), std::vector<int>{mainWindow});
    }
}

TEST_F(WindowsTest, EachOwnWindowDisablesTheMainWindowWhileOpen) {
    QueueDropEvent(mainWindow, {WritePicture("p.png", 50, 50, 0x00FF00)});
    ASSERT_TRUE(DispatchQueued());
    for (const int command : {kCommandHistogram, kCommandBrightnessContrast, kCommandZoomedPreview,
                              kCommandFullScreenPreview, kCommandAbout}) {
        bool enabledMeanwhile = true;
        int opened = 0;
        PlayWindow({[&](int window) {
            opened = window;
            enabledMeanwhile = WindowEnabled(mainWindow);
            QueueCloseRequest(window);
        }});
        QueueCommandEvent(mainWindow, command);
        ASSERT_TRUE(DispatchQueued());
        EXPECT_NE(opened, 0) << command;
        EXPECT_NE(opened, mainWindow) << command;
        EXPECT_FALSE(enabledMeanwhile) << command;
        EXPECT_TRUE(WindowEnabled(mainWindow)) << command;
        EXPECT_EQ(OpenWindows(), std::vector<int>{mainWindow}) << command;
    }
}

TEST_F(WindowsTest, AboutShowsTheBannerAndVersionUntilOkay) {
    EXPECT_TRUE(std::regex_match(
        VersionLine(), std::regex("Version 0\\.20\\.0\\.34\u00DF - Compiled on "
                                  "[0-3][0-9]/[01][0-9]/[0-9]{4} at [0-2][0-9]:[0-5][0-9]:[0-5][0-9]")))
        << VersionLine();
    std::string title;
    int banner = 0;
    int version = 0;
    ColourValue text = 1, background = 1;
    SetTestIdleHook([&] {
        const int about = NewestWindow();
        title = WindowTitle(about);
        version = ControlWithText(about, VersionLine());
        EXPECT_TRUE(GadgetColoursOf(version, text, background));
        for (const int control : WindowControls(about)) {
            banner = ControlPicture(control) != 0 ? ControlPicture(control) : banner;
        }
        EXPECT_FALSE(WindowEnabled(mainWindow));
        QueueControlEvent(ControlWithText(about, "Okay"));
        SetTestIdleHook(nullptr);
    });
    QueueCommandEvent(mainWindow, kCommandAbout);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_EQ(title, "Quillmorph - About");
    EXPECT_EQ(banner, aboutBanner);
    EXPECT_EQ(text, 0u);
    EXPECT_EQ(background, 0xFFFFFFu);
    EXPECT_TRUE(WindowEnabled(mainWindow));
    EXPECT_EQ(aboutWindow, 0);
    EXPECT_FALSE(GadgetColoursOf(version, text, background)); // no record outlives its control
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
    EXPECT_EQ(BrightnessLabel(-16), "-12%");
    EXPECT_EQ(ContrastLabel(-96), "-38%");
    // A point also under a locale with a decimal comma (as the toolkit sets from LANG).
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "tools/setup.sh makes de_DE.UTF-8";
    EXPECT_EQ(GammaLabel(2.5F), "2.50");
    std::setlocale(LC_ALL, previous.c_str());
}

// The control of `window` whose top-left corner is at x, y, or 0.
int ControlAt(int window, int x, int y) {
    for (const int control : WindowControls(window)) {
        if (ControlGeometry(control).x == x && ControlGeometry(control).y == y) {
            return control;
        }
    }
    return 0;
}

struct BrightnessWindow {
    int brightness = 0, contrast = 0, gamma = 0;
    int brightnessValue = 0, contrastValue = 0, gammaValue = 0;
    int reset = 0, ok = 0, cancel = 0;

    explicit BrightnessWindow(int window)
        : brightness(ControlAt(window, 75, 40)), contrast(ControlAt(window, 75, 70)),
          gamma(ControlAt(window, 75, 100)), brightnessValue(ControlAt(window, 375, 45)),
          contrastValue(ControlAt(window, 375, 75)), gammaValue(ControlAt(window, 375, 105)),
          reset(ControlAt(window, 10, 130)), ok(ControlAt(window, 240, 130)),
          cancel(ControlAt(window, 330, 130)) {}

    std::vector<std::string> Labels() const {
        return {ControlText(brightnessValue), ControlText(contrastValue), ControlText(gammaValue)};
    }
    std::vector<int> Sliders() const {
        return {TrackBarPosition(brightness), TrackBarPosition(contrast), TrackBarPosition(gamma)};
    }
};

class BrightnessWindowTest : public DesktopTest {
  protected:
    void SetUp() override {
        DesktopTest::SetUp();
        QueueDropEvent(mainWindow, {WritePicture("grey.png", 20, 20, MakeColour(100, 100, 100))});
        ASSERT_TRUE(DispatchQueued());
    }
    // Moves a slider as the keyboard would (the platform reports the change) and forgets
    // the conversion, so that Refreshed() tells whether the move converted again.
    void Move(int slider, int position) {
        SetTrackBarPosition(slider, position);
        QueueControlEvent(slider);
        ForgetConversion();
    }
    void Open() {
        QueueCommandEvent(mainWindow, kCommandBrightnessContrast);
        ASSERT_TRUE(DispatchQueued());
    }
    std::vector<float> Settings() const { return {brightnessOffset, contrastAmount, gammaValue}; }
    // The grey of the source preview's centre, inside the black bars.
    static unsigned ShownGrey() { return RedOf(ReadPixel(sourcePreviewPicture, 160, 128)); }
};

TEST_F(BrightnessWindowTest, LayoutIsAsDrawn) {
    PlayWindow({[](int window) {
        EXPECT_EQ(WindowTitle(window), "Brightness and Contrast");
        EXPECT_EQ(WindowClientSize(window).width, 420);
        EXPECT_EQ(WindowClientSize(window).height, 160);
        struct Expected {
            int x, y, width, height;
            std::string text;
        };
        const std::vector<Expected> layout{
            {10, 15, 70, 15, "RGB Channel:"}, {10, 45, 60, 15, "Brightness:"}, {75, 40, 300, 25, ""},
            {375, 45, 30, 15, "0%"},          {10, 75, 60, 15, "Contrast:"},   {75, 70, 300, 25, ""},
            {375, 75, 30, 15, "0%"},          {10, 105, 60, 15, "Gamma:"},     {75, 100, 300, 25, ""},
            {375, 105, 30, 15, "1.00"},       {10, 130, 80, 20, "Reset"},      {240, 130, 80, 20, "OK"},
            {330, 130, 80, 20, "Cancel"},
        };
        for (const Expected& e : layout) {
            const int control = ControlAt(window, e.x, e.y);
            ASSERT_NE(control, 0) << e.x << ", " << e.y;
            const ControlRect rect = ControlGeometry(control);
            EXPECT_EQ(rect.width, e.width) << e.text;
            EXPECT_EQ(rect.height, e.height) << e.text;
            EXPECT_EQ(ControlText(control), e.text);
            EXPECT_LE(TextWidth(control, e.text), e.width) << e.text;
        }
        // The widest value texts fit their right-aligned labels too.
        for (const std::string text : {"-100%", "100%", "7.99"}) {
            EXPECT_LE(TextWidth(ControlAt(window, 375, 45), text), 30) << text;
        }
        const int list = ControlAt(window, 85, 10);
        EXPECT_EQ(ControlGeometry(list).width, 80);
        EXPECT_EQ(ListItemCount(list), 1);
        EXPECT_EQ(ListItemText(list, 0), "All");
        EXPECT_EQ(ListSelection(list), 0);
        EXPECT_EQ(WindowControls(window).size(), 14u);

        // The sliders start in the middle and stop at the ends of their ranges.
        const BrightnessWindow bc(window);
        EXPECT_EQ(bc.Sliders(), (std::vector<int>{128, 256, 100}));
        for (const auto& [slider, low, high] :
             {std::tuple{bc.brightness, 0, 256}, std::tuple{bc.contrast, 0, 512},
              std::tuple{bc.gamma, 1, 799}}) {
            SetTrackBarPosition(slider, -1000);
            EXPECT_EQ(TrackBarPosition(slider), low);
            SetTrackBarPosition(slider, 1000);
            EXPECT_EQ(TrackBarPosition(slider), high);
        }
        QueueControlEvent(bc.cancel);
    }});
    Open();
}

TEST_F(BrightnessWindowTest, DraggingOnlyMovesTheLabelsAndResetRefreshesAnyway) {
    PlayWindow({
        [this](int window) {
            const BrightnessWindow bc(window);
            SimulateLeftButton(true);
            Move(bc.brightness, 0);
            Move(bc.contrast, 512);
            Move(bc.gamma, 1);
        },
        [this](int window) {
            const BrightnessWindow bc(window);
            EXPECT_EQ(bc.Labels(), (std::vector<std::string>{"-100%", "100%", "0.01"}));
            EXPECT_EQ(Settings(), (std::vector<float>{-128.0F, 256.0F, 0.01F}));
            EXPECT_FALSE(Refreshed());
            QueueControlEvent(bc.reset); // the button is still down
        },
        [this](int window) {
            const BrightnessWindow bc(window);
            EXPECT_TRUE(Refreshed());
            EXPECT_EQ(bc.Sliders(), (std::vector<int>{128, 256, 100}));
            EXPECT_EQ(bc.Labels(), (std::vector<std::string>{"0%", "0%", "1.00"}));
            EXPECT_EQ(Settings(), (std::vector<float>{0.0F, 0.0F, 1.0F}));
            EXPECT_EQ(ShownGrey(), 100u);
            // The release arrives as one more change with the button up.
            SimulateLeftButton(false);
            Move(bc.brightness, 144);
        },
        [this](int window) {
            const BrightnessWindow bc(window);
            EXPECT_TRUE(Refreshed());
            EXPECT_EQ(ControlText(bc.brightnessValue), "12%");
            EXPECT_EQ(ShownGrey(), 116u);
            Move(bc.contrast, 256 + 64);
        },
        [this](int window) {
            const BrightnessWindow bc(window);
            EXPECT_TRUE(Refreshed());
            EXPECT_EQ(ControlText(bc.contrastValue), "25%");
            EXPECT_EQ(ShownGrey(), ContrastTable(64.0F)[116]);
            Move(bc.gamma, 200);
        },
        [this](int window) {
            const BrightnessWindow bc(window);
            EXPECT_TRUE(Refreshed());
            EXPECT_EQ(ControlText(bc.gammaValue), "2.00");
            EXPECT_EQ(ShownGrey(), GammaTable(2.0F)[ContrastTable(64.0F)[116]]);
            EXPECT_FALSE(WindowEnabled(mainWindow));
            QueueControlEvent(bc.cancel);
        },
    });
    Open();
    EXPECT_EQ(ReadPixel(workingPicture, 0, 0), MakeColour(100, 100, 100));
    EXPECT_EQ(Settings(), (std::vector<float>{0.0F, 0.0F, 1.0F}));
    EXPECT_EQ(ShownGrey(), 100u);
    EXPECT_TRUE(WindowEnabled(mainWindow));
}

// A click on a slider's groove converts when the button comes up, like a drag.
TEST_F(BrightnessWindowTest, AClickOnAGrooveRefreshesOnRelease) {
    bool whileDown = true;
    PlayWindow({[this](int window) {
                    ForgetConversion();
                    PressGroove(BrightnessWindow(window).gamma, true);
                },
                [&](int window) {
                    whileDown = Refreshed();
                    PressGroove(BrightnessWindow(window).gamma, false);
                },
                [&](int window) {
                    EXPECT_GT(TrackBarPosition(BrightnessWindow(window).gamma), 100);
                    EXPECT_TRUE(Refreshed());
                    QueueControlEvent(BrightnessWindow(window).cancel);
                }});
    Open();
    EXPECT_FALSE(whileDown);
}

TEST_F(BrightnessWindowTest, OkAppliesAllThreeInOrder) {
    PlayWindow({
        [this](int window) {
            const BrightnessWindow bc(window);
            Move(bc.brightness, 144);
            Move(bc.contrast, 256 + 64);
            Move(bc.gamma, 200);
        },
        [](int window) { QueueControlEvent(BrightnessWindow(window).ok); },
    });
    Open();
    const unsigned grey = GammaTable(2.0F)[ContrastTable(64.0F)[116]];
    EXPECT_EQ(ReadPixel(workingPicture, 0, 0), MakeColour(grey, grey, grey));
    EXPECT_EQ(Settings(), (std::vector<float>{0.0F, 0.0F, 1.0F}));
    // The previews show the adjusted picture with neutral settings.
    EXPECT_EQ(ShownGrey(), grey);
    EXPECT_TRUE(WindowEnabled(mainWindow));
}

TEST_F(BrightnessWindowTest, OkUntouchedKeepsTheColoursAndTheCloseBoxDiscards) {
    Picture varied{16, 16, {}};
    for (unsigned i = 0; i < 256; ++i) {
        varied.pixels.push_back(SwapRedBlue(MakeColour(i, 255 - i, (i * 37) % 256)));
    }
    QueueDropEvent(mainWindow, {WritePicture("varied.png", varied)});
    ASSERT_TRUE(DispatchQueued());
    const std::vector<BufferWord> before = FindPicture(workingPicture)->pixels;
    EXPECT_EQ(before, varied.pixels);

    PlayWindow({[](int window) { QueueControlEvent(BrightnessWindow(window).ok); }});
    Open();
    EXPECT_EQ(FindPicture(workingPicture)->pixels, before);
    EXPECT_EQ(Settings(), (std::vector<float>{0.0F, 0.0F, 1.0F}));

    PlayWindow({
        [this](int window) { Move(BrightnessWindow(window).brightness, 200); },
        [](int window) { QueueCloseRequest(window); },
    });
    Open();
    EXPECT_EQ(FindPicture(workingPicture)->pixels, before);
    EXPECT_EQ(Settings(), (std::vector<float>{0.0F, 0.0F, 1.0F}));
    EXPECT_TRUE(WindowEnabled(mainWindow));
    EXPECT_EQ(OpenWindows(), std::vector<int>{mainWindow});
}

TEST_F(WindowsTest, BrightnessAndContrastNeedsAPicture) {
    QueueCommandEvent(mainWindow, kCommandBrightnessContrast);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_EQ(OpenWindows(), std::vector<int>{mainWindow});
    EXPECT_EQ(gammaValue, 0.0F); // untouched: no window, no reset
}

// What the histogram window shows: each picture frame's top edge and a copy of its
// picture, taken while the window is open.
struct ShownGraph {
    int y = 0;
    int number = 0;
    Picture picture;
};

struct HistogramWindowSeen {
    std::string title;
    PixelSize size;
    bool mainEnabled = true;
    std::vector<ShownGraph> graphs;
};

class HistogramWindowTest : public DesktopTest {
  protected:
    // Opens the histogram of the working picture, notes what it shows, and closes it.
    HistogramWindowSeen RunHistogram();
};

HistogramWindowSeen HistogramWindowTest::RunHistogram() {
    HistogramWindowSeen seen;
    SetTestIdleHook([&seen] {
        const int window = NewestWindow();
        seen.title = WindowTitle(window);
        seen.size = WindowClientSize(window);
        seen.mainEnabled = WindowEnabled(mainWindow);
        for (const int control : WindowControls(window)) {
            const Picture* shown = FindPicture(ControlPicture(control));
            EXPECT_NE(shown, nullptr);
            EXPECT_EQ(ControlGeometry(control).x, 8);
            if (shown != nullptr) {
                seen.graphs.push_back({ControlGeometry(control).y, ControlPicture(control), *shown});
            }
        }
        QueueCloseRequest(window);
        SetTestIdleHook(nullptr);
    });
    QueueCommandEvent(mainWindow, kCommandHistogram);
    EXPECT_TRUE(DispatchQueued());
    std::sort(seen.graphs.begin(), seen.graphs.end(),
              [](const ShownGraph& a, const ShownGraph& b) { return a.y < b.y; });
    return seen;
}

std::vector<int> Tops(const HistogramWindowSeen& seen) {
    std::vector<int> tops;
    for (const ShownGraph& graph : seen.graphs) {
        tops.push_back(graph.y);
    }
    return tops;
}

// Black pixels in column x of a graph picture.
int BlackRows(const Picture& graph, int x) {
    int rows = 0;
    for (int y = 0; y < graph.height; ++y) {
        rows += graph.pixels[static_cast<std::size_t>(y * graph.width + x)] == 0 ? 1 : 0;
    }
    return rows;
}

ColourValue PixelOf(const Picture& picture, int x, int y) {
    return SwapRedBlue(picture.pixels[static_cast<std::size_t>(y * picture.width + x)]);
}

// True when every column of the graph between the frame columns holds only its two
// frame rows in black, except the listed full columns, which are black from top to bottom.
bool OnlyFullBarsAt(const Picture& graph, const std::vector<int>& fullColumns) {
    for (int x = 1; x <= 256; ++x) {
        const bool full = std::find(fullColumns.begin(), fullColumns.end(), x) != fullColumns.end();
        if (BlackRows(graph, x) != (full ? 81 : 2)) {
            ADD_FAILURE() << "column " << x << " has " << BlackRows(graph, x) << " black rows";
            return false;
        }
    }
    return BlackRows(graph, 0) == 81 && BlackRows(graph, 257) == 81;
}

TEST_F(HistogramWindowTest, OfAnAllBlackPictureIsAnEmptyLuminanceGraph) {
    // Without a picture nothing opens and the main window stays enabled.
    QueueCommandEvent(mainWindow, kCommandHistogram);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_TRUE(WindowEnabled(mainWindow));
    EXPECT_EQ(OpenWindows(), std::vector<int>{mainWindow});

    QueueDropEvent(mainWindow, {WritePicture("black.png", 10, 10, 0)});
    ASSERT_TRUE(DispatchQueued());
    const HistogramWindowSeen seen = RunHistogram();
    EXPECT_EQ(seen.title, "Quillmorph - Histogram");
    EXPECT_EQ(seen.size.width, 275);
    EXPECT_EQ(seen.size.height, 430);
    EXPECT_FALSE(seen.mainEnabled);
    EXPECT_TRUE(WindowEnabled(mainWindow));
    ASSERT_EQ(Tops(seen), (std::vector<int>{320, 402}));
    const Picture& graph = seen.graphs[0].picture;
    ASSERT_EQ(graph.width, 258);
    ASSERT_EQ(graph.height, 81);
    EXPECT_TRUE(OnlyFullBarsAt(graph, {}));
    EXPECT_EQ(PixelOf(graph, 1, 1), 0xFFFFFFu);
    EXPECT_EQ(PixelOf(graph, 256, 79), 0xFFFFFFu);
    const Picture& strip = seen.graphs[1].picture;
    ASSERT_EQ(strip.width, 258);
    ASSERT_EQ(strip.height, 12);
    for (unsigned v = 0; v < 256; ++v) {
        EXPECT_EQ(PixelOf(strip, static_cast<int>(v) + 1, 1), MakeColour(v, v, v));
        EXPECT_EQ(PixelOf(strip, static_cast<int>(v) + 1, 10), MakeColour(v, v, v));
        EXPECT_EQ(PixelOf(strip, static_cast<int>(v) + 1, 11), 0u);
    }
    // The window's pictures are gone with it.
    for (const ShownGraph& shown : seen.graphs) {
        EXPECT_FALSE(PictureExists(shown.number));
    }
}

TEST_F(HistogramWindowTest, OfBlackAndWhiteFillsBothEndColumns) {
    Picture pair{2, 1, {SwapRedBlue(0), SwapRedBlue(0xFFFFFF)}};
    QueueDropEvent(mainWindow, {WritePicture("pair.png", pair)});
    ASSERT_TRUE(DispatchQueued());
    const HistogramWindowSeen seen = RunHistogram();
    ASSERT_EQ(Tops(seen), (std::vector<int>{320, 402}));
    EXPECT_TRUE(OnlyFullBarsAt(seen.graphs[0].picture, {1, 256}));
}

TEST_F(HistogramWindowTest, OfGreyWithOneRedPixelShowsAllFourGraphs) {
    Picture grey{10, 10, std::vector<BufferWord>(100, SwapRedBlue(MakeColour(128, 128, 128)))};
    grey.pixels[37] = SwapRedBlue(MakeColour(255, 0, 0));
    QueueDropEvent(mainWindow, {WritePicture("red-dot.png", grey)});
    ASSERT_TRUE(DispatchQueued());
    const HistogramWindowSeen seen = RunHistogram();
    ASSERT_EQ(Tops(seen), (std::vector<int>{8, 90, 112, 194, 216, 298, 320, 402}));
    // M = (99 x 128 + 79) / 100 gives S of about 102, so a count of 1 fills its column.
    EXPECT_TRUE(OnlyFullBarsAt(seen.graphs[0].picture, {129, 256})); // red: 99 at 128, one 255
    EXPECT_TRUE(OnlyFullBarsAt(seen.graphs[2].picture, {1, 129}));   // green: one 0, 99 at 128
    EXPECT_TRUE(OnlyFullBarsAt(seen.graphs[4].picture, {1, 129}));   // blue likewise
    // Luminance mixes the tables: 0.3086 at 255 rounds to no bar, 0.6914 at 0 to one.
    EXPECT_TRUE(OnlyFullBarsAt(seen.graphs[6].picture, {1, 129}));
    EXPECT_EQ(PixelOf(seen.graphs[1].picture, 201, 5), MakeColour(200, 0, 0));
    EXPECT_EQ(PixelOf(seen.graphs[3].picture, 201, 5), MakeColour(0, 200, 0));
    EXPECT_EQ(PixelOf(seen.graphs[5].picture, 201, 5), MakeColour(0, 0, 200));
    EXPECT_EQ(PixelOf(seen.graphs[7].picture, 201, 5), MakeColour(200, 200, 200));
}

TEST_F(HistogramWindowTest, OfAGreyPictureShowsOnlyTheLuminancePair) {
    QueueDropEvent(mainWindow, {WritePicture("grey.png", 20, 20, MakeColour(90, 90, 90))});
    ASSERT_TRUE(DispatchQueued());
    const HistogramWindowSeen seen = RunHistogram();
    ASSERT_EQ(Tops(seen), (std::vector<int>{320, 402}));
    // Every pixel at 90: M = 90, S = 80 x 90 / 400 = 18, and 400 x 18 fills column 91.
    EXPECT_TRUE(OnlyFullBarsAt(seen.graphs[0].picture, {91}));
}

} // namespace
