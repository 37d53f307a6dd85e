#include "pipeline/preview_refresh.h"

#include "adjust/brightness_contrast_gamma.h"
#include "imaging/picture.h"
#include "pipeline/remap.h"
#include "pipeline/screen_shape.h"
#include "platform/platform.h"
#include "screen/screen_modes.h"
#include "state/app_state.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <utility>

namespace {

constexpr int kPreviewWidth = 320;
constexpr int kSwatchBox = 25;

ScaleMode ScaleModeOf(int setting) {
    return setting == 0 ? ScaleMode::Smooth : ScaleMode::Raw;
}

// The pending brightness as a whole offset. Any offset beyond a byte's range acts alike,
// so far-out values are held where the conversion to int is safe.
int BrightnessOffsetAsInteger(float offset) {
    if (std::isnan(offset)) {
        return 0;
    }
    return static_cast<int>(RoundHalfEven(std::clamp(static_cast<double>(offset), -1024.0, 1024.0)));
}

// Brightness, contrast and then gamma, each a map of byte values, composed into one
// table and applied in one pass over the copy; without any change, no pass at all. The
// result is the same as running the three adjustments one after another.
void AdjustWorkingCopy() {
    Picture* copy = FindPicture(conversionWorkingCopy);
    if (copy == nullptr) {
        return;
    }
    ByteTable combined = BrightnessTable(BrightnessOffsetAsInteger(brightnessOffset));
    const ByteTable contrast = ContrastTable(contrastAmount);
    for (std::uint8_t& value : combined) {
        value = contrast[value];
    }
    if (gammaValue > 0.0F && gammaValue < 8.0F) {
        const ByteTable gamma = GammaTable(gammaValue);
        for (std::uint8_t& value : combined) {
            value = gamma[value];
        }
    }
    bool identity = true;
    for (std::size_t v = 0; v < combined.size(); ++v) {
        identity = identity && combined[v] == v;
    }
    if (!identity) {
        ApplyByteTable(copy->pixels, combined);
    }
}

} // namespace

namespace {

// Picture 8 padded and adjusted, scaled to the mode, then converted into picture 7.
bool ConvertWorkingCopy(int strength) {
    ResizePicture(conversionWorkingCopy, modeWidth, previewHeight, ScaleModeOf(sourceScaleMode));
    return RemapImage(conversionWorkingCopy, screenMode, ditherMethod, strength, serpentine) != 0;
}

void PadAndAdjustWorkingCopy() {
    if (keepAspect != 0) {
        CorrectAspectRatio(conversionWorkingCopy);
    }
    // The adjustments act on the padded copy before any scaling, bars included.
    AdjustWorkingCopy();
}

} // namespace

PipelineResult RunConversionPipeline(int strength) {
    PipelineResult result;
    if (!PictureExists(workingPicture) || !CopyPicture(workingPicture, conversionWorkingCopy)) {
        return result;
    }
    PadAndAdjustWorkingCopy();

    if (!CopyPicture(conversionWorkingCopy, sourcePreviewPicture)) {
        return result;
    }
    ResizePicture(sourcePreviewPicture, kPreviewWidth, previewHeight, ScaleModeOf(sourceScaleMode));
    result.sourcePreview = true;

    if (!ConvertWorkingCopy(strength) || !CopyPicture(convertedPicture, convertedPreviewPicture)) {
        return result;
    }
    ResizePicture(convertedPreviewPicture, kPreviewWidth, previewHeight, ScaleModeOf(previewScaleMode));
    result.convertedPreview = true;
    return result;
}

bool ConvertWorkingPicture(int strength) {
    Picture* working = FindPicture(workingPicture);
    if (working == nullptr) {
        return false;
    }
    StorePicture(conversionWorkingCopy, std::move(*working));
    DiscardPicture(workingPicture);
    PadAndAdjustWorkingCopy();
    return ConvertWorkingCopy(strength);
}

std::optional<std::string> PreviewCaption(int mode, int lines) {
    const ScreenMode* screen = ScreenModeByNumber(mode);
    if (screen == nullptr) {
        return std::nullopt;
    }
    return "Preview Image (" + std::to_string(screen->width) + " x " + std::to_string(lines) + " pixels)";
}

void DrawPaletteSwatches(int mode) {
    if (mode < 0 || mode >= kPaletteRows) {
        return; // no palette row to show
    }
    for (int i = 0; i < kPaletteColumns; ++i) {
        FillBox(kFirstSwatchPicture + i, 0, 0, kSwatchBox, kSwatchBox, PaletteEntry(mode, i));
        RepaintControl(kFirstSwatchControl + i);
        SetClickReporting(kFirstSwatchControl + i, true);
    }
    const ScreenMode* screen = ScreenModeByNumber(mode);
    const int colourCount = screen != nullptr ? screen->colourCount : kPaletteColumns;
    if (colourCount >= kPaletteColumns) {
        return;
    }
    const int checkerboard = CreateAutomaticPicture(kSwatchBox, kSwatchBox);
    // One alternation running on across rows: with an odd side, black where x + y is even.
    bool white = false;
    for (int y = 0; y < kSwatchBox; ++y) {
        for (int x = 0; x < kSwatchBox; ++x) {
            PlotPixel(checkerboard, x, y, white ? 0xFFFFFFu : 0x000000u);
            white = !white;
        }
    }
    for (int i = colourCount; i < kPaletteColumns; ++i) {
        DrawPicture(checkerboard, kFirstSwatchPicture + i, 0, 0);
        RepaintControl(kFirstSwatchControl + i);
        SetClickReporting(kFirstSwatchControl + i, false);
    }
    FreePicture(checkerboard);
}

void RefreshPreview() {
    if (PictureExists(workingPicture)) {
        const PipelineResult result = RunConversionPipeline(TrackBarPosition(strengthTrackBar));
        if (result.sourcePreview && PictureExists(sourcePreviewPicture)) {
            ShowPictureInControl(sourceImageGadget, sourcePreviewPicture);
        }
        if (result.convertedPreview) {
            ShowPictureInControl(previewImageGadget, convertedPreviewPicture);
        }
    } else {
        ShowPictureInControl(sourceImageGadget, 0);
        ShowPictureInControl(previewImageGadget, 0);
        SetControlText(sourceFrame, "Source Image");
    }
    if (const std::optional<std::string> caption = PreviewCaption(screenMode, previewHeight)) {
        SetControlText(previewFrame, *caption);
    }
    DrawPaletteSwatches(screenMode);
}
