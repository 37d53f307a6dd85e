#include "imaging/jpeg_reader.h"
#include "imaging/picture.h"
#include "imaging/picture_reader.h"
#include "imaging/picture_writer.h"
#include "pipeline/dither_kernels.h"
#include "pipeline/source_loading.h"
#include "screen/screen_modes.h"
#include "state/app_state.h"
#include "state/error_message.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <vector>

namespace {

// A test format: "QMTEST", then width and height as 16-bit little-endian values; the
// picture is a gradient so that a resize is visible.
std::optional<Picture> DecodeTestPicture(std::span<const std::uint8_t> file) {
    const int width = file[6] | (file[7] << 8);
    const int height = file[8] | (file[9] << 8);
    Picture picture{width, height, std::vector<BufferWord>(static_cast<std::size_t>(width) * height)};
    for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
        picture.pixels[i] = static_cast<BufferWord>(i % 251) * 0x010101u;
    }
    return picture;
}

ReaderCheck CheckTestPicture(std::span<const std::uint8_t> file) {
    if (file.size() < 10 || std::string(file.begin(), file.begin() + 6) != "QMTEST") {
        return {};
    }
    return {true, file[6] | (file[7] << 8), file[8] | (file[9] << 8)};
}

class SourceLoadingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetAppState();
        DiscardAllPictures();
        LoadDitherKernels();
        ResetPalette(8);
        screenMode = 8;
        modeWidth = 80;
        previewHeight = 200;
        keepAspect = 1;
        ClearPictureReaders();
        RegisterPictureReader({"test", [](auto file, auto) { return CheckTestPicture(file); },
                               [](auto file, auto) { return DecodeTestPicture(file); }});
        SetErrorReporter([this](std::string_view, std::string_view text) { messages.emplace_back(text); });
        folder = std::filesystem::temp_directory_path() /
                 ("quillmorph-load-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                  "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder);
    }
    void TearDown() override {
        SetErrorReporter(nullptr);
        ClearPictureReaders();
        DiscardAllPictures();
        std::filesystem::remove_all(folder);
    }

    std::string WriteTestPicture(const std::string& name, int width, int height) {
        const std::filesystem::path path = folder / name;
        std::ofstream file(path, std::ios::binary);
        const char header[] = {'Q',
                               'M',
                               'T',
                               'E',
                               'S',
                               'T',
                               static_cast<char>(width & 0xFF),
                               static_cast<char>(width >> 8),
                               static_cast<char>(height & 0xFF),
                               static_cast<char>(height >> 8)};
        file.write(header, sizeof header);
        return path.string();
    }
    static std::vector<int> LoadedSize(const std::string& path) {
        EXPECT_EQ(LoadSourceImage(path), 1) << path;
        return {PictureWidth(workingPicture), PictureHeight(workingPicture)};
    }

    std::filesystem::path folder;
    std::vector<std::string> messages;
};

TEST_F(SourceLoadingTest, LargePicturesAreReducedWithTruncatingDivision) {
    EXPECT_EQ(LoadedSize(WriteTestPicture("a.tst", 1600, 1200)), (std::vector<int>{640, 480}));
    EXPECT_EQ(LoadedSize(WriteTestPicture("b.tst", 1200, 1200)), (std::vector<int>{640, 640}));
    EXPECT_EQ(LoadedSize(WriteTestPicture("c.tst", 1000, 1999)), (std::vector<int>{256, 512}));
    EXPECT_EQ(LoadedSize(WriteTestPicture("d.tst", 700, 600)), (std::vector<int>{640, 548}));
    EXPECT_EQ(LoadedSize(WriteTestPicture("e.tst", 600, 700)), (std::vector<int>{438, 512}));
    EXPECT_EQ(LoadedSize(WriteTestPicture("f.tst", 640, 640)), (std::vector<int>{640, 640}));
    EXPECT_EQ(LoadedSize(WriteTestPicture("g.tst", 500, 512)), (std::vector<int>{500, 512}));
    EXPECT_TRUE(messages.empty());
    // The refresh ran: picture 7 has the mode's size at 200 lines.
    EXPECT_EQ(PictureWidth(convertedPicture), 80);
    EXPECT_EQ(PictureHeight(convertedPicture), 200);
}

TEST_F(SourceLoadingTest, ExtremeShapesKeepAtLeastOnePixel) {
    EXPECT_EQ(LimitedSourceSize(32767, 1).width, 640);
    EXPECT_EQ(LimitedSourceSize(32767, 1).height, 1);
    EXPECT_EQ(LimitedSourceSize(1, 32767).width, 1);
    EXPECT_EQ(LimitedSourceSize(1, 32767).height, 512);
    EXPECT_EQ(LoadedSize(WriteTestPicture("thin.tst", 2000, 1)), (std::vector<int>{640, 1}));
}

TEST_F(SourceLoadingTest, FailuresAreReportedAndUnloadThePicture) {
    const std::string prefix = "Unfortunately an error has occurred.\n\nReason: ";
    ASSERT_TRUE(CreatePicture(workingPicture, 4, 4));
    EXPECT_EQ(LoadSourceImage((folder / "gone.png").string()), 0);
    EXPECT_FALSE(PictureExists(workingPicture));

    ASSERT_TRUE(CreatePicture(workingPicture, 4, 4));
    std::filesystem::create_directory(folder / "album");
    EXPECT_EQ(LoadSourceImage((folder / "album").string()), 0); // a folder exists but is no picture
    EXPECT_FALSE(PictureExists(workingPicture));

    std::ofstream(folder / "notes.txt") << "hello";
    ASSERT_TRUE(CreatePicture(workingPicture, 4, 4));
    EXPECT_EQ(LoadSourceImage((folder / "notes.txt").string()), 0);
    EXPECT_FALSE(PictureExists(workingPicture));

    EXPECT_EQ(messages, (std::vector<std::string>{
                            prefix + "The file 'gone.png' does not exist.",
                            prefix + "The file 'album' is not a recognised image format.",
                            prefix + "The file 'notes.txt' is not a recognised image format.",
                        }));

    // Cancelling a dialog unloads without a word.
    ASSERT_TRUE(CreatePicture(workingPicture, 4, 4));
    EXPECT_EQ(LoadSourceImage(""), 0);
    EXPECT_FALSE(PictureExists(workingPicture));
    EXPECT_EQ(messages.size(), 3u);
}

// A size beyond the limits is named with the limits, not taken for an unknown format;
// and a failed load leaves no conversion behind for Save As or the previews to offer.
TEST_F(SourceLoadingTest, PicturesBeyondTheLimitsSaySoAndLeaveNoConversion) {
    ASSERT_EQ(LoadSourceImage(WriteTestPicture("fine.tst", 64, 64)), 1);
    ASSERT_TRUE(PictureExists(convertedPicture));
    EXPECT_EQ(LoadSourceImage(WriteTestPicture("wide.tst", 40000, 1)), 0);
    EXPECT_EQ(LoadSourceImage(WriteTestPicture("vast.tst", 20000, 20000)), 0);
    const std::string limits = "pictures may be at most 32767 pixels on a side and 150000000 pixels in all.";
    EXPECT_EQ(messages,
              (std::vector<std::string>{
                  "Unfortunately an error has occurred.\n\nReason: The file 'wide.tst' is too large. "
                  "The picture is 40000 x 1 pixels; " +
                      limits,
                  "Unfortunately an error has occurred.\n\nReason: The file 'vast.tst' is too large. "
                  "The picture is 20000 x 20000 pixels; " +
                      limits,
              }));
    for (const int stage :
         {workingPicture, sourcePreviewPicture, convertedPreviewPicture, convertedPicture}) {
        EXPECT_FALSE(PictureExists(stage)) << stage;
    }
}

TEST_F(SourceLoadingTest, CaptionNamesTheFileAndItsDecodedSize) {
    const auto bytes = [](std::string_view text) { return static_cast<int>(text.size()) * 5; };
    EXPECT_EQ(SourceCaption("C:\\pictures\\cat.png", 1600, 1200, bytes),
              "Source Image: cat.png (1600 x 1200 pixels)");
    // Below 325 pixels at 5 per byte means at most 64 bytes: a 29-byte name.
    EXPECT_EQ(SourceCaption("/photos/holiday-photo-from-the-seaside-2019.jpg", 1600, 1200, bytes),
              "Source Image: holiday-photo-from-the-sea... (1600 x 1200 pixels)");
}

bool IsWholeUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80    ? 1
                                   : lead >= 0xF0 ? 4
                                   : lead >= 0xE0 ? 3
                                   : lead >= 0xC0 ? 2
                                                  : 0;
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0u) != 0x80u) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

TEST_F(SourceLoadingTest, ShorteningCutsWholeCharactersAndStopsAtTheFileName) {
    const auto bytes = [](std::string_view text) { return static_cast<int>(text.size()) * 5; };
    // Two-byte characters throughout: every odd cut would split one.
    std::string name;
    for (int i = 0; i < 20; ++i) {
        name += "\xC3\xA9";
    }
    for (int width = 1; width < 100000; width *= 7) {
        const std::string caption = SourceCaption("/tmp/" + name, width, 1, bytes);
        EXPECT_TRUE(IsWholeUtf8(caption)) << caption;
        EXPECT_LT(bytes(caption), 325);
    }
    // When nothing fits, the name shrinks to "..." and the folders are never shown.
    int calls = 0;
    const auto tooWide = [&calls](std::string_view) {
        ++calls;
        return 1000;
    };
    EXPECT_EQ(SourceCaption("/home/someone/picture.png", 10, 20, tooWide),
              "Source Image: ... (10 x 20 pixels)");
    EXPECT_EQ(calls, 1 + 11);
}

} // namespace

namespace {

// A large JPEG is decoded at a reduced DCT scale and reduced the rest of the way: the
// size reported is still the file's, and the picture stays close to a full decode's.
TEST_F(SourceLoadingTest, LargeJpegsAreDecodedSmallerButReportTheirSize) {
    Picture photo{1700, 900, std::vector<BufferWord>(1700 * 900)};
    for (std::size_t i = 0; i < photo.pixels.size(); ++i) {
        const auto x = static_cast<unsigned>(i % 1700);
        const auto y = static_cast<unsigned>(i / 1700);
        photo.pixels[i] = (x * 255 / 1700) << 16 | (y * 255 / 900) << 8 | 128u;
    }
    const std::string path = (folder / "photo.jpg").string();
    std::string reason;
    ASSERT_TRUE(WriteJpegFile(photo, path, reason)) << reason;
    ClearPictureReaders();
    RegisterPictureReader(JpegPictureReader());
    const SourceRead read = ReadSourcePicture(path);
    ASSERT_EQ(read.result, 1) << read.reason;
    EXPECT_EQ(read.width, 1700);
    EXPECT_EQ(read.height, 900);
    ASSERT_EQ(PictureWidth(workingPicture), 640);
    ASSERT_EQ(PictureHeight(workingPicture), 338);
    const Picture full = ScalePicture(*DecodePictureFile(path).picture, 640, 338, ScaleMode::Smooth);
    double difference = 0;
    for (std::size_t i = 0; i < full.pixels.size(); ++i) {
        for (int shift = 0; shift < 24; shift += 8) {
            difference +=
                std::abs(static_cast<int>((full.pixels[i] >> shift) & 0xFFu) -
                         static_cast<int>((FindPicture(workingPicture)->pixels[i] >> shift) & 0xFFu));
        }
    }
    EXPECT_LT(difference / (3.0 * static_cast<double>(full.pixels.size())), 2.0);
}

} // namespace
