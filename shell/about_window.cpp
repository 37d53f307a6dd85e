#include "shell/about_window.h"

#include "platform/controls.h"
#include "platform/events.h"
#include "platform/platform.h"
#include "platform/window.h"
#include "program_identity.h"
#include "shell/build_info.h"
#include "shell/gadget_colours.h"
#include "state/app_state.h"

#include <array>
#include <string_view>

namespace {

constexpr ColourValue kBlack = 0x000000;
constexpr ColourValue kBlue = 0x800000; // dark blue: blue in bits 16-23
constexpr ColourValue kWhite = 0xFFFFFF;

struct NoticeLine {
    std::string_view text;
    ColourValue colour;
    int points;
    bool bold;
};

constexpr std::array<NoticeLine, 8> kNotices{{
    {"Quillmorph turns pictures into BBC Micro screen dumps and reads them back.", kBlack, 8, false},
    {"Copyright \u00A9 2026 the Quillmorph developers.", kBlack, 8, false},
    {"Free software under the MIT licence, with no warranty of any kind.", kBlack, 7, false},
    {"Built with:", kBlue, 8, true},
    {"Qt 6 \u2014 windows, dialogs and the platform's picture loaders", kBlue, 7, false},
    {"libpng and zlib \u2014 PNG; libjpeg \u2014 JPEG; libtiff \u2014 TIFF", kBlue, 7, false},
    {"libwmf and libemf2svg \u2014 Windows metafiles", kBlue, 7, false},
    {"BBC Micro is a trade mark of its owners; this program is not endorsed by them.", kBlack, 7, false},
}};

int okayButton = 0;

} // namespace

std::string VersionLine() {
    return std::string("Version ") + kFileVersion + "\u00DF - Compiled on " + BuildDate() + " at " +
           BuildTime();
}

int OpenAboutWindow() {
    WindowSpec layout;
    layout.title = "Quillmorph - About";
    layout.width = 415;
    layout.height = 290;
    layout.placement = WindowPlacement::CentreOfScreen;
    layout.owner = mainWindow;
    layout.frame = WindowFrame::TitleBar;
    aboutWindow = OpenWindow(layout);
    if (aboutWindow == 0) {
        return 0;
    }
    SetWindowBackground(aboutWindow, kWhite);
    const int banner = AddPictureFrame(aboutWindow, 0, 0, 415, 72, false);
    ShowPictureInControl(banner, aboutBanner);
    const int panel = AddContainer(aboutWindow, 0, 245, 415, 45);
    okayButton = AddPushButton(aboutWindow, 325, 10, 80, 25, "Okay");
    PutControlInContainer(okayButton, panel);

    const int version = AddStaticText(aboutWindow, 10, 70, 395, 15, VersionLine(), TextAlign::Left);
    SetGadgetColours(version, kBlack, kWhite);
    SetControlFont(version, "Microsoft Sans Serif", 8);
    int y = 95;
    for (const NoticeLine& line : kNotices) {
        const int text = AddStaticText(aboutWindow, 10, y, 395, 15, line.text, TextAlign::Left);
        SetGadgetColours(text, line.colour, kWhite);
        SetControlFont(text, line.points == 8 ? "Microsoft Sans Serif" : "Tahoma", line.points, line.bold);
        y += 17;
    }
    ShowWindow(aboutWindow);
    return aboutWindow;
}

void ShowAbout() {
    if (OpenAboutWindow() == 0) {
        return;
    }
    SetWindowEnabled(mainWindow, false);
    InstallGadgetColourCallback(aboutWindow);
    WaitForCloseOrControl(aboutWindow, okayButton);
    CloseWindow(aboutWindow);
    ForgetClosedGadgetColours();
    aboutWindow = 0;
    SetWindowEnabled(mainWindow, true);
}
