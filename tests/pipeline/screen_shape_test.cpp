#include "imaging/picture.h"
#include "pipeline/screen_shape.h"
#include "state/app_state.h"
#include "state/error_message.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

constexpr ColourValue kWhite = 0xFFFFFF;

class AspectTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetAppState();
        previewHeight = 256;
        SetErrorReporter([this](std::string_view, std::string_view text) { messages.emplace_back(text); });
    }
    void TearDown() override {
        SetErrorReporter(nullptr);
        DiscardAllPictures();
    }
    static void WhitePicture(int width, int height) {
        ASSERT_TRUE(CreatePicture(conversionWorkingCopy, width, height));
        FillBox(conversionWorkingCopy, 0, 0, width, height, kWhite);
    }
    std::vector<std::string> messages;
};

TEST_F(AspectTest, PaddingSizesAndCentringRoundHalvesToEven) {
    const auto layout = [](int w, int h, int lines) {
        const auto l = AspectPadding(w, h, lines);
        return l ? std::vector<int>{l->width, l->height, l->x, l->y} : std::vector<int>{};
    };
    EXPECT_EQ(layout(100, 100, 256), (std::vector<int>{125, 100, 12, 0})); // 12.5 columns go to 12
    EXPECT_EQ(layout(640, 480, 256), (std::vector<int>{640, 512, 0, 16}));
    EXPECT_EQ(layout(640, 480, 200), (std::vector<int>{768, 480, 64, 0}));
    EXPECT_EQ(layout(5, 8, 256), (std::vector<int>{10, 8, 2, 0})); // 5 spare: 2 left, 3 right
    EXPECT_EQ(layout(3, 8, 256), (std::vector<int>{10, 8, 4, 0})); // 7 spare: 4 left, 3 right
    EXPECT_EQ(layout(400, 300, 240), (std::vector<int>{}));        // 4:3 on a 4:3 screen
    EXPECT_EQ(layout(320, 256, 256), (std::vector<int>{}));
    EXPECT_EQ(layout(640, 512, 256), (std::vector<int>{}));
    EXPECT_EQ(layout(10, 0, 256), (std::vector<int>{}));
    EXPECT_EQ(layout(10, 10, 0), (std::vector<int>{}));
}

TEST_F(AspectTest, BarsAreBlackAndTheContentKeepsItsPlace) {
    WhitePicture(100, 100);
    EXPECT_EQ(CorrectAspectRatio(conversionWorkingCopy), 1);
    ASSERT_EQ(PictureWidth(conversionWorkingCopy), 125);
    ASSERT_EQ(PictureHeight(conversionWorkingCopy), 100);
    EXPECT_EQ(ReadPixel(conversionWorkingCopy, 11, 50), 0u);
    EXPECT_EQ(ReadPixel(conversionWorkingCopy, 12, 50), kWhite);
    EXPECT_EQ(ReadPixel(conversionWorkingCopy, 111, 99), kWhite);
    EXPECT_EQ(ReadPixel(conversionWorkingCopy, 112, 0), 0u);
    EXPECT_EQ(PictureWidth(scratchPicture), 125); // the canvas keeps the result

    WhitePicture(640, 480);
    CorrectAspectRatio(conversionWorkingCopy);
    ASSERT_EQ(PictureHeight(conversionWorkingCopy), 512);
    EXPECT_EQ(ReadPixel(conversionWorkingCopy, 300, 15), 0u);
    EXPECT_EQ(ReadPixel(conversionWorkingCopy, 300, 16), kWhite);
    EXPECT_EQ(ReadPixel(conversionWorkingCopy, 300, 495), kWhite);
    EXPECT_EQ(ReadPixel(conversionWorkingCopy, 300, 496), 0u);
    EXPECT_TRUE(messages.empty());
}

TEST_F(AspectTest, ACanvasTooLargeIsReportedAndThePictureKept) {
    WhitePicture(1, 32767); // would need 40,959 columns
    ASSERT_TRUE(CreatePicture(scratchPicture, 2, 2));
    EXPECT_EQ(CorrectAspectRatio(conversionWorkingCopy), 0);
    EXPECT_EQ(messages, std::vector<std::string>{"Unfortunately an error has occurred.\n\nReason: "
                                                 "Unable to create image in CorrectAspectRatio()."});
    EXPECT_EQ(PictureWidth(conversionWorkingCopy), 1);
    EXPECT_FALSE(PictureExists(scratchPicture));
    // Nothing to do without the picture.
    EXPECT_EQ(CorrectAspectRatio(77), 1);
    EXPECT_EQ(messages.size(), 1u);
}

} // namespace
