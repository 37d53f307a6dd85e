#include "shell/brightness_contrast_window.h"

#include "adjust/brightness_contrast_gamma.h"
#include "imaging/colour.h"
#include "imaging/picture.h"
#include "pipeline/preview_refresh.h"
#include "platform/controls.h"
#include "platform/events.h"
#include "platform/platform.h"
#include "platform/window.h"
#include "state/app_state.h"

#include <array>
#include <charconv>
#include <system_error>

namespace {

struct Controls {
    int window = 0;
    int brightness = 0, brightnessValue = 0;
    int contrast = 0, contrastValue = 0;
    int gamma = 0, gammaValue = 0;
    int channel = 0, reset = 0, ok = 0, cancel = 0;
};
Controls controls;

std::string Percent(double value) {
    return std::to_string(static_cast<long>(RoundHalfEven(value))) + "%";
}

void SetNeutral() {
    brightnessOffset = 0.0F;
    contrastAmount = 0.0F;
    gammaValue = 1.0F;
}

void ResetControls() {
    SetNeutral();
    SetTrackBarPosition(controls.brightness, 128);
    SetTrackBarPosition(controls.contrast, 256);
    SetTrackBarPosition(controls.gamma, 100);
    SetControlText(controls.brightnessValue, "0%");
    SetControlText(controls.contrastValue, "0%");
    SetControlText(controls.gammaValue, "1.00");
}

void RefreshWhenButtonUp() {
    if (!LeftMouseButtonDown()) {
        RefreshPreview();
    }
}

enum class Outcome { Running, Apply, Discard };

Outcome Handle(const Event& event) {
    if (event.kind == EventKind::None) {
        return Outcome::Discard;
    }
    if (event.kind == EventKind::CloseRequest && event.window == controls.window) {
        return Outcome::Discard;
    }
    if (event.kind != EventKind::Control || event.control == 0) {
        DiscardEvent(event);
        return Outcome::Running;
    }
    const int control = event.control;
    if (control == controls.brightness) {
        brightnessOffset = static_cast<float>(TrackBarPosition(controls.brightness) - 128);
        SetControlText(controls.brightnessValue, BrightnessLabel(brightnessOffset));
        RefreshWhenButtonUp();
    } else if (control == controls.contrast) {
        contrastAmount = static_cast<float>(TrackBarPosition(controls.contrast) - 256);
        SetControlText(controls.contrastValue, ContrastLabel(contrastAmount));
        RefreshWhenButtonUp();
    } else if (control == controls.gamma) {
        gammaValue = static_cast<float>(TrackBarPosition(controls.gamma)) / 100.0F;
        SetControlText(controls.gammaValue, GammaLabel(gammaValue));
        RefreshWhenButtonUp();
    } else if (control == controls.reset) {
        ResetControls();
        RefreshPreview();
    } else if (control == controls.ok) {
        return Outcome::Apply;
    } else if (control == controls.cancel) {
        return Outcome::Discard;
    }
    return Outcome::Running;
}

} // namespace

std::string BrightnessLabel(float offset) {
    return Percent(static_cast<double>(offset) * 100.0 / 128.0);
}
std::string ContrastLabel(float amount) {
    return Percent(static_cast<double>(amount) * 100.0 / 256.0);
}
// std::to_chars always writes a ".": the C library's printf follows the locale that the
// toolkit takes from the environment, and would write "1,00" under a German one.
std::string GammaLabel(float gamma) {
    std::array<char, 64> text{};
    const auto written = std::to_chars(text.data(), text.data() + text.size(), static_cast<double>(gamma),
                                       std::chars_format::fixed, 2);
    return written.ec == std::errc() ? std::string(text.data(), written.ptr) : std::string();
}

int OpenBrightnessContrastWindow() {
    WindowSpec layout;
    layout.title = "Brightness and Contrast";
    layout.width = 420;
    layout.height = 160;
    layout.placement = WindowPlacement::CentreOfScreen;
    layout.owner = mainWindow;
    layout.frame = WindowFrame::TitleBarWithClose;
    const int window = OpenWindow(layout);
    if (window == 0) {
        return 0;
    }
    controls = Controls{};
    controls.window = window;
    AddStaticText(window, 10, 15, 70, 15, "RGB Channel:", TextAlign::Left);
    controls.channel = AddDropDownList(window, 85, 10, 80, 200);
    AddListItem(controls.channel, "All");
    SelectListItem(controls.channel, 0);
    AddStaticText(window, 10, 45, 60, 15, "Brightness:", TextAlign::Left);
    controls.brightness = AddTrackBar(window, 75, 40, 300, 25, 0, 256);
    controls.brightnessValue = AddStaticText(window, 375, 45, 30, 15, "0%", TextAlign::Right);
    AddStaticText(window, 10, 75, 60, 15, "Contrast:", TextAlign::Left);
    controls.contrast = AddTrackBar(window, 75, 70, 300, 25, 0, 512);
    controls.contrastValue = AddStaticText(window, 375, 75, 30, 15, "0%", TextAlign::Right);
    AddStaticText(window, 10, 105, 60, 15, "Gamma:", TextAlign::Left);
    controls.gamma = AddTrackBar(window, 75, 100, 300, 25, 1, 799);
    controls.gammaValue = AddStaticText(window, 375, 105, 30, 15, "1.00", TextAlign::Right);
    controls.reset = AddPushButton(window, 10, 130, 80, 20, "Reset");
    controls.ok = AddPushButton(window, 240, 130, 80, 20, "OK");
    controls.cancel = AddPushButton(window, 330, 130, 80, 20, "Cancel");
    SetTrackBarPosition(controls.brightness, 128);
    SetTrackBarPosition(controls.contrast, 256);
    SetTrackBarPosition(controls.gamma, 100);
    ShowWindow(window);
    return window;
}

void RunBrightnessContrastDialog(int picture) {
    if (!PictureExists(picture)) {
        return;
    }
    Outcome outcome = Outcome::Discard;
    if (OpenBrightnessContrastWindow() != 0) {
        outcome = Outcome::Running;
        while (outcome == Outcome::Running) {
            SetWindowEnabled(mainWindow, false);
            outcome = Handle(WaitEvent());
        }
        CloseWindow(controls.window);
        controls = Controls{};
    }
    if (outcome == Outcome::Apply) {
        AdjustBrightness(picture, static_cast<int>(RoundHalfEven(brightnessOffset)));
        AdjustContrast(picture, contrastAmount);
        AdjustGamma(picture, gammaValue);
    }
    SetNeutral();
    SetWindowEnabled(mainWindow, true);
}
