#include "screen/dump_reader.h"

#include "imaging/picture.h"
#include "screen/screen_modes.h"
#include "shell/state/app_state.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <vector>

namespace {

ColourValue PixelAt(const Picture& picture, int x, int y) {
    return SwapRedBlue(picture.pixels[static_cast<std::size_t>(y) * picture.width + x]);
}

TEST(DumpReaderTest, HeightComesFromTheDataLength) {
    const std::vector<std::uint8_t> full(20480, 0);
    EXPECT_EQ(DecodeScreenBytes(full, 640, 1).picture->height, 256);
    EXPECT_EQ(DecodeScreenBytes(full, 320, 1).picture->height, 512); // Mode 4
    const std::vector<std::uint8_t> half(10240, 0);
    const DecodedDump mode0 = DecodeScreenBytes(half, 640, 1);
    EXPECT_EQ(mode0.picture->width, 640);
    EXPECT_EQ(mode0.picture->height, 128);
    const std::vector<std::uint8_t> ntsc(16000, 0);
    EXPECT_EQ(DecodeScreenBytes(ntsc, 640, 1).picture->height, 200);
}

TEST(DumpReaderTest, PixelValuesInvertThePacking) {
    // Mode 2: byte 80 hex is logical 8 (white) on the left, 0 (black) on the right.
    std::vector<std::uint8_t> mode2(640, 0);
    mode2[0] = 0x80;
    mode2[1] = 0x26; // line 1: logical 5 left, 2 right
    const Picture p2 = *DecodeScreenBytes(mode2, 160, 4).picture;
    EXPECT_EQ(PixelAt(p2, 0, 0), 0xFFFFFFu);
    EXPECT_EQ(PixelAt(p2, 1, 0), 0u);
    EXPECT_EQ(PixelAt(p2, 0, 1), physicalColours[5]);
    EXPECT_EQ(PixelAt(p2, 1, 1), physicalColours[2]);

    // Mode 1: 6A hex is red, yellow, white, black.
    std::vector<std::uint8_t> mode1(640, 0);
    mode1[8] = 0x6A; // second cell, first line
    const Picture p1 = *DecodeScreenBytes(mode1, 320, 2).picture;
    EXPECT_EQ(PixelAt(p1, 4, 0), physicalColours[1]);
    EXPECT_EQ(PixelAt(p1, 5, 0), physicalColours[3]);
    EXPECT_EQ(PixelAt(p1, 6, 0), physicalColours[7]);
    EXPECT_EQ(PixelAt(p1, 7, 0), physicalColours[0]);

    // Mode 0: the second character row starts at byte 640.
    std::vector<std::uint8_t> mode0(1280, 0);
    mode0[640 + 3] = 0x01;
    const Picture p0 = *DecodeScreenBytes(mode0, 640, 1).picture;
    EXPECT_EQ(p0.height, 16);
    EXPECT_EQ(PixelAt(p0, 7, 11), 0xFFFFFFu);
    EXPECT_EQ(PixelAt(p0, 6, 11), 0u);
}

TEST(DumpReaderTest, PartialCharacterRowsDecodeAsFarAsTheDataGoes) {
    // 800 bytes in Mode 0: 10 whole lines; the second character row has 160 bytes,
    // which cover cells 0-19 (lines 8 and 9 are inside the picture).
    std::vector<std::uint8_t> data(800, 0xFF);
    const Picture p = *DecodeScreenBytes(data, 640, 1).picture;
    EXPECT_EQ(p.height, 10);
    EXPECT_EQ(PixelAt(p, 159, 9), 0xFFFFFFu);
    EXPECT_EQ(PixelAt(p, 160, 9), 0u);
    EXPECT_EQ(PixelAt(p, 639, 7), 0xFFFFFFu);
}

TEST(DumpReaderTest, RefusesWhatCannotBeAPicture) {
    const std::vector<std::uint8_t> tiny(79, 0xFF); // shorter than one Mode 0 line
    const DecodedDump none = DecodeScreenBytes(tiny, 640, 1);
    EXPECT_FALSE(none.picture);
    EXPECT_EQ(none.reason, "Failed to create image during conversion.");
    const DecodedDump depth = DecodeScreenBytes(tiny, 640, 3);
    EXPECT_EQ(depth.reason, "An invalid BBC Micro image depth parameter (3) was passed during conversion.");

    std::string reported;
    SetErrorReporter([&](std::string_view, std::string_view text) { reported = text; });
    EXPECT_EQ(ConvertBBCScreen(tiny, 3), 0);
    EXPECT_NE(reported.find("An invalid BBC Micro screen mode parameter (3) was passed during conversion."),
              std::string::npos);
    SetErrorReporter(nullptr);
}

class DumpFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = std::filesystem::temp_directory_path() / ("quillmorph-dump-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        SetErrorReporter([this](std::string_view, std::string_view text) { reported = text; });
    }
    void TearDown() override {
        SetErrorReporter(nullptr);
        std::filesystem::remove_all(folder);
    }
    std::string Write(const std::string& name, std::size_t size) {
        const auto path = folder / name;
        std::ofstream(path, std::ios::binary) << std::string(size, '\x55');
        return path.string();
    }
    std::filesystem::path folder;
    std::string reported;
};

TEST_F(DumpFileTest, ReadsWholeFilesAndReportsEachFailure) {
    const auto data = ReadScreenDumpFile(Write("SCREEN", 10240));
    ASSERT_TRUE(data);
    EXPECT_EQ(data->size(), 10240u);
    EXPECT_EQ((*data)[10239], 0x55);

    EXPECT_FALSE(ReadScreenDumpFile((folder / "missing").string()));
    EXPECT_NE(reported.find("Reason: The file 'missing' was not found."), std::string::npos);

    EXPECT_FALSE(ReadScreenDumpFile(folder.string()));
    EXPECT_NE(reported.find("Reason: Failed to open requested file."), std::string::npos);

    EXPECT_FALSE(ReadScreenDumpFile(Write("EMPTY", 0)));
    EXPECT_NE(reported.find("Reason: Failed to read requested file."), std::string::npos);
}

} // namespace

namespace {

// Every real dump of the corpus decodes to the height its length gives, in the mode its
// name carries, with only the default colours of its bit depth.
TEST(DumpReaderCorpusTest, RealDumpsDecodeInTheirModes) {
    const std::filesystem::path root = std::filesystem::path(QUILLMORPH_CORPUS) / "bbc";
    if (!std::filesystem::exists(root)) {
        GTEST_SKIP() << "the shared picture corpus is not beside this checkout (" << root << ")";
    }
    int decoded = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        const std::string name = entry.path().filename().string();
        const std::size_t at = name.find(".mode");
        if (!entry.is_regular_file() || at == std::string::npos || name.ends_with(".inf") ||
            name.ends_with(".png")) {
            continue;
        }
        const int modeNumber = name[at + 5] - '0';
        const ScreenMode* mode = ScreenModeByNumber(modeNumber);
        ASSERT_NE(mode, nullptr) << name;
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const DecodedDump dump = DecodeScreenBytes(bytes, mode->width, mode->bitsPerPixel);
        ASSERT_TRUE(dump.picture) << name;
        EXPECT_EQ(dump.picture->height, static_cast<int>(bytes.size()) / mode->bytesPerLine) << name;
        std::set<ColourValue> colours;
        for (const BufferWord word : dump.picture->pixels) {
            colours.insert(SwapRedBlue(word));
        }
        for (const ColourValue colour : colours) {
            EXPECT_TRUE(IsPhysicalColour(colour)) << name;
        }
        EXPECT_LE(colours.size(), static_cast<std::size_t>(1) << mode->bitsPerPixel) << name;
        ++decoded;
    }
    EXPECT_GE(decoded, 30);
}

} // namespace
