#include "adjust/brightness_contrast_gamma.h"
#include "imaging/picture.h"
#include "pipeline/dither_kernels.h"
#include "pipeline/preview_refresh.h"
#include "screen/screen_modes.h"
#include "state/app_state.h"
#include "state/error_message.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

constexpr ColourValue kWhite = 0xFFFFFF;

class PreviewRefreshTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetAppState();
        DiscardAllPictures();
        LoadDitherKernels();
        for (const int mode : {0, 1, 2, 4, 5, 8}) {
            ResetPalette(mode);
        }
        screenMode = 2;
        modeWidth = 160;
        previewHeight = 256;
        previewScaleMode = 1;
        keepAspect = 1;
        ditherMethod = 5;
        SetErrorReporter([this](std::string_view, std::string_view text) { messages.emplace_back(text); });
    }
    void TearDown() override {
        SetErrorReporter(nullptr);
        DiscardAllPictures();
    }
    static void WhiteSource(int width, int height) {
        ASSERT_TRUE(CreatePicture(workingPicture, width, height));
        FillBox(workingPicture, 0, 0, width, height, kWhite);
    }
    std::vector<std::string> messages;
};

TEST_F(PreviewRefreshTest, CaptionsFollowTheModeWidthAndLines) {
    EXPECT_EQ(PreviewCaption(0, 256), "Preview Image (640 x 256 pixels)");
    EXPECT_EQ(PreviewCaption(5, 240), "Preview Image (160 x 240 pixels)");
    EXPECT_EQ(PreviewCaption(4, 256), "Preview Image (320 x 256 pixels)");
    EXPECT_EQ(PreviewCaption(8, 200), "Preview Image (80 x 200 pixels)");
    EXPECT_FALSE(PreviewCaption(3, 256).has_value());
}

TEST_F(PreviewRefreshTest, ConvertedPictureHasTheModeResolution) {
    screenMode = 8;
    modeWidth = 80;
    previewHeight = 200;
    WhiteSource(300, 170);
    const PipelineResult result = RunConversionPipeline(50);
    EXPECT_TRUE(result.sourcePreview);
    EXPECT_TRUE(result.convertedPreview);
    EXPECT_EQ(PictureWidth(convertedPicture), 80);
    EXPECT_EQ(PictureHeight(convertedPicture), 200);
    EXPECT_EQ(PictureWidth(convertedPreviewPicture), 320);
    EXPECT_EQ(PictureHeight(convertedPreviewPicture), 200);
    EXPECT_EQ(PictureWidth(sourcePreviewPicture), 320);
    EXPECT_EQ(PictureHeight(sourcePreviewPicture), 200);
    EXPECT_EQ(PictureWidth(workingPicture), 300); // the working picture is never touched
    const Picture& converted = *FindPicture(convertedPicture);
    const auto row = std::span<const ColourValue>(palette).subspan(8 * kPaletteColumns, kPaletteColumns);
    for (const BufferWord word : converted.pixels) {
        ASSERT_NE(std::find(row.begin(), row.end(), SwapRedBlue(word)), row.end());
    }
    EXPECT_TRUE(messages.empty());
}

TEST_F(PreviewRefreshTest, AdjustmentsReachTheBlackBarsButNotWhenStretched) {
    brightnessOffset = 9.5F; // rounds to 10
    WhiteSource(100, 100);
    RunConversionPipeline(0);
    EXPECT_EQ(ReadPixel(sourcePreviewPicture, 0, 128), MakeColour(10, 10, 10));
    EXPECT_EQ(ReadPixel(sourcePreviewPicture, 160, 128), kWhite);
    keepAspect = 0;
    RunConversionPipeline(0);
    EXPECT_EQ(ReadPixel(sourcePreviewPicture, 0, 128), kWhite);
}

TEST_F(PreviewRefreshTest, AFailedRemapLeavesTheEarlierConversion) {
    WhiteSource(64, 64);
    ASSERT_TRUE(RunConversionPipeline(50).convertedPreview);
    const Picture before = *FindPicture(convertedPicture);
    screenMode = 3;
    modeWidth = 40;
    const PipelineResult result = RunConversionPipeline(50);
    EXPECT_TRUE(result.sourcePreview);
    EXPECT_FALSE(result.convertedPreview);
    EXPECT_EQ(FindPicture(convertedPicture)->pixels, before.pixels);
    EXPECT_EQ(PictureWidth(convertedPreviewPicture), 320);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("Invalid screen mode parameter passed (3) in RemapImage()."),
              std::string::npos);
}

TEST_F(PreviewRefreshTest, WithoutAWorkingPictureTheStagesAreKept) {
    ASSERT_TRUE(CreatePicture(convertedPicture, 3, 3));
    EXPECT_FALSE(RunConversionPipeline(50).sourcePreview);
    RefreshPreview();
    EXPECT_TRUE(PictureExists(convertedPicture));
    EXPECT_FALSE(PictureExists(conversionWorkingCopy));
}

TEST_F(PreviewRefreshTest, SwatchesShowThePaletteAndACheckerboardForMissingColours) {
    for (int i = 0; i < 8; ++i) {
        ASSERT_TRUE(CreatePicture(kFirstSwatchPicture + i, 24, 24));
    }
    DrawPaletteSwatches(1);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(ReadPixel(kFirstSwatchPicture + i, 0, 0), PaletteEntry(1, i));
        EXPECT_EQ(ReadPixel(kFirstSwatchPicture + i, 23, 23), PaletteEntry(1, i));
    }
    for (int i = 4; i < 8; ++i) {
        for (int y = 0; y < 24; ++y) {
            for (int x = 0; x < 24; ++x) {
                ASSERT_EQ(ReadPixel(kFirstSwatchPicture + i, x, y), (x + y) % 2 == 0 ? 0u : kWhite)
                    << x << "," << y;
            }
        }
    }
    DrawPaletteSwatches(2);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(ReadPixel(kFirstSwatchPicture + i, 1, 0), PaletteEntry(2, i));
    }
    DrawPaletteSwatches(0);
    EXPECT_EQ(ReadPixel(kFirstSwatchPicture + 2, 1, 0), kWhite);
    EXPECT_EQ(ReadPixel(kFirstSwatchPicture + 2, 0, 0), 0u);
    // The two temporary checkerboards (numbered from the first automatic number on) are gone.
    EXPECT_FALSE(PictureExists(kFirstAutomaticPictureNumber));
    EXPECT_FALSE(PictureExists(kFirstAutomaticPictureNumber + 1));
}

// The refresh applies brightness, contrast and gamma as one combined table; the copy
// must come out as the three adjustments one after another would leave it.
TEST_F(PreviewRefreshTest, AdjustmentsActAsTheThreeStepsInOrder) {
    keepAspect = 0;
    ASSERT_TRUE(CreatePicture(workingPicture, 16, 16));
    for (int i = 0; i < 256; ++i) {
        PlotPixel(workingPicture, i % 16, i / 16, MakeColour(i, 255 - i, (i * 7) & 0xFF));
    }
    const struct {
        float brightness;
        float contrast;
        float gamma;
    } settings[] = {{0.0F, 0.0F, 0.0F},     {-20.5F, 0.0F, 1.0F},    {31.0F, 80.0F, 0.0F},
                    {-7.0F, -120.0F, 2.2F}, {200.0F, 259.0F, 0.45F}, {3.5F, 40.0F, 9.0F}};
    for (const auto& s : settings) {
        brightnessOffset = s.brightness;
        contrastAmount = s.contrast;
        gammaValue = s.gamma;
        previewHeight = 16;
        modeWidth = 16;
        RunConversionPipeline(50);
        // Picture 5 is the adjusted copy at 320 x 16; the expected one is built the same way.
        ASSERT_TRUE(CopyPicture(workingPicture, 30));
        AdjustBrightness(30, static_cast<int>(RoundHalfEven(s.brightness)));
        AdjustContrast(30, s.contrast);
        AdjustGamma(30, s.gamma);
        ResizePicture(30, 320, 16, ScaleMode::Smooth);
        ASSERT_EQ(FindPicture(30)->pixels, FindPicture(sourcePreviewPicture)->pixels)
            << s.brightness << " " << s.contrast << " " << s.gamma;
    }
}

} // namespace

namespace {

// The converter's conversion without previews gives the desktop program's picture 7.
TEST_F(PreviewRefreshTest, ConversionWithoutPreviewsGivesTheSamePicture) {
    const auto source = [] {
        ASSERT_TRUE(CreatePicture(workingPicture, 301, 187));
        for (int y = 0; y < 187; ++y) {
            for (int x = 0; x < 301; ++x) {
                PlotPixel(workingPicture, x, y,
                          MakeColour((x * 7) & 0xFF, (y * 5) & 0xFF, ((x + y) * 3) & 0xFF));
            }
        }
    };
    for (const int mode : {0, 1, 2}) {
        screenMode = mode;
        modeWidth = ScreenModeByNumber(mode)->width;
        brightnessOffset = mode == 1 ? 20.0F : 0.0F;
        source();
        ASSERT_TRUE(RunConversionPipeline(70).convertedPreview);
        const Picture expected = *FindPicture(convertedPicture);
        DiscardAllPictures();
        source();
        ASSERT_TRUE(ConvertWorkingPicture(70));
        EXPECT_EQ(FindPicture(convertedPicture)->pixels, expected.pixels) << "mode " << mode;
        EXPECT_FALSE(PictureExists(workingPicture));
        EXPECT_FALSE(PictureExists(sourcePreviewPicture));
    }
    DiscardAllPictures();
    EXPECT_FALSE(ConvertWorkingPicture(70));
}

} // namespace
