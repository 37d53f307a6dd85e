#include "imaging/file_helpers.h"
#include "imaging/picture.h"
#include "imaging/png_reader.h"
#include "screen/dump_writer.h"
#include "screen/screen_modes.h"
#include "state/app_state.h"
#include "state/error_message.h"

#include <gtest/gtest.h>
#include <random>

namespace {

constexpr ColourValue kRed = 0x0000FF, kGreen = 0x00FF00, kYellow = 0x00FFFF, kMagenta = 0xFF00FF,
                      kWhite = 0xFFFFFF;

class DumpWriterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetAppState();
        for (int mode = 0; mode <= 8; ++mode) {
            ResetPalette(mode);
        }
    }
    void TearDown() override {
        DiscardAllPictures();
        SetErrorReporter(nullptr);
    }
    // A black picture 7 of the mode's width.
    static void MakeScreen(int modeNumber, int lines = 256) {
        ASSERT_TRUE(CreatePicture(convertedPicture, ScreenModeByNumber(modeNumber)->width, lines));
    }
};

TEST_F(DumpWriterTest, Mode0BytesFollowTheCharacterCells) {
    MakeScreen(0);
    for (int x = 0; x < 8; ++x) {
        PlotPixel(convertedPicture, x, 0, kWhite); // first line of the first cell
    }
    PlotPixel(convertedPicture, 8, 0, kWhite); // first pixel of the second cell
    PlotPixel(convertedPicture, 0, 8, kWhite); // second character row
    PlotPixel(convertedPicture, 3, 9, kWhite);
    PlotPixel(convertedPicture, 639, 255, kWhite); // the very last pixel
    const auto dump = EncodeScreenMemory(convertedPicture, 0);
    ASSERT_TRUE(dump);
    ASSERT_EQ(dump->size(), 20480u);
    EXPECT_EQ(std::vector<std::uint8_t>(dump->begin(), dump->begin() + 9),
              (std::vector<std::uint8_t>{0xFF, 0, 0, 0, 0, 0, 0, 0, 0x80}));
    EXPECT_EQ((*dump)[640], 0x80);
    EXPECT_EQ((*dump)[641], 0x10);
    EXPECT_EQ((*dump)[20479], 0x01);
    int set = 0;
    for (const std::uint8_t byte : *dump) {
        set += byte != 0;
    }
    EXPECT_EQ(set, 5);
}

TEST_F(DumpWriterTest, TwoAndFourBitPacking) {
    MakeScreen(1);
    // Cell 1, line 2: red, yellow, white, black = logical 1, 2, 3, 0.
    PlotPixel(convertedPicture, 4, 2, kRed);
    PlotPixel(convertedPicture, 5, 2, kYellow);
    PlotPixel(convertedPicture, 6, 2, kWhite);
    auto dump = EncodeScreenMemory(convertedPicture, 1);
    ASSERT_TRUE(dump);
    EXPECT_EQ((*dump)[10], 0x6A);

    MakeScreen(2);
    // Character row 1, cell 1, line 3: magenta (5) then green (2); next line white (7), red (1).
    PlotPixel(convertedPicture, 2, 11, kMagenta);
    PlotPixel(convertedPicture, 3, 11, kGreen);
    PlotPixel(convertedPicture, 2, 12, kWhite);
    PlotPixel(convertedPicture, 3, 12, kRed);
    dump = EncodeScreenMemory(convertedPicture, 2);
    ASSERT_TRUE(dump);
    EXPECT_EQ((*dump)[651], 0x26);
    EXPECT_EQ((*dump)[652], 0x2B);

    MakeScreen(8);
    PlotPixel(convertedPicture, 79, 0, kWhite); // right pixel of the last cell: bits 4, 2, 0
    dump = EncodeScreenMemory(convertedPicture, 8);
    ASSERT_TRUE(dump);
    EXPECT_EQ((*dump)[39 * 8], 0x15);
}

TEST_F(DumpWriterTest, DumpLengthFollowsTheLineCount) {
    const std::pair<int, std::size_t> expected[] = {{0, 80}, {1, 80}, {2, 80}, {4, 40}, {5, 40}, {8, 40}};
    for (const auto& [mode, bytesPerLine] : expected) {
        for (const int lines : {256, 240, 200}) {
            MakeScreen(mode, lines);
            const auto dump = EncodeScreenMemory(convertedPicture, mode);
            ASSERT_TRUE(dump);
            EXPECT_EQ(dump->size(), bytesPerLine * std::size_t(lines)) << "mode " << mode << ", " << lines;
        }
    }
    EXPECT_FALSE(EncodeScreenMemory(convertedPicture, 3));
    EXPECT_FALSE(EncodeScreenMemory(scratchPicture, 2));
}

// Reading each pixel back by the address rule gives the logical colour it was written as.
TEST_F(DumpWriterTest, EveryPixelReadsBackByTheAddressRule) {
    std::mt19937 random(7);
    for (const ScreenMode& mode : screenModes) {
        MakeScreen(mode.number, 200);
        std::vector<int> logical(std::size_t(mode.width) * 200);
        for (int y = 0; y < 200; ++y) {
            for (int x = 0; x < mode.width; ++x) {
                const int l = int(random() % unsigned(mode.colourCount));
                logical[std::size_t(y * mode.width + x)] = l;
                PlotPixel(convertedPicture, x, y, PaletteEntry(mode.number, l));
            }
        }
        const auto dump = EncodeScreenMemory(convertedPicture, mode.number);
        ASSERT_TRUE(dump);
        int mismatches = 0;
        for (int y = 0; y < 200; ++y) {
            for (int x = 0; x < mode.width; ++x) {
                const std::uint8_t byte =
                    (*dump)[std::size_t(y / 8 * 8 * mode.bytesPerLine + x / mode.pixelsPerByte * 8 + y % 8)];
                const int k = x % mode.pixelsPerByte;
                int value = 0;
                for (int bit = mode.bitsPerPixel - 1; bit >= 0; --bit) {
                    const int position = 7 - k - (mode.bitsPerPixel - 1 - bit) * mode.pixelsPerByte;
                    value |= ((byte >> position) & 1) << bit;
                }
                mismatches += value != logical[std::size_t(y * mode.width + x)];
            }
        }
        EXPECT_EQ(mismatches, 0) << mode.label;
    }
}

TEST_F(DumpWriterTest, SharedAndMissingPaletteColoursTakeTheLowestOrZero) {
    PaletteEntry(1, 2) = kRed; // logical 1 and 2 both red
    EXPECT_EQ(LogicalColourOf(kRed, 1), 1);
    EXPECT_EQ(LogicalColourOf(kGreen, 1), 0); // a physical colour the palette lacks
    EXPECT_EQ(LogicalColourOf(kWhite, 1), 3);
    MakeScreen(1);
    for (int x = 0; x < 4; ++x) {
        PlotPixel(convertedPicture, x, 0, x < 2 ? kRed : kGreen);
    }
    EXPECT_EQ((*EncodeScreenMemory(convertedPicture, 1))[0], 0x0C); // 1, 1, 0, 0: bit 0 of L at bits 3 and 2
}

TEST_F(DumpWriterTest, ForeignPixelsAreFoundRowByRow) {
    MakeScreen(2);
    EXPECT_FALSE(FindForeignPixel(convertedPicture));
    PlotPixel(convertedPicture, 2, 4, MakeColour(255, 0, 1));
    PlotPixel(convertedPicture, 5, 3, 0x7F7F7F);
    const auto foreign = FindForeignPixel(convertedPicture);
    ASSERT_TRUE(foreign);
    EXPECT_EQ(VerificationMessage(*foreign), "Palette verification failure! Pixel at 5:3 = $7F7F7F.");
    EXPECT_EQ(VerificationMessage({0, 0, MakeColour(18, 52, 86)}),
              "Palette verification failure! Pixel at 0:0 = $563412.");
    EXPECT_EQ(VerificationMessage({1, 2, MakeColour(254, 0, 0)}),
              "Palette verification failure! Pixel at 1:2 = $FE.");

    // The command stops there with the message, before any dialog.
    std::string shown;
    SetErrorReporter([&shown](std::string_view, std::string_view text) { shown = text; });
    SaveBBCScreen(convertedPicture, 2);
    EXPECT_NE(shown.find("Reason: Palette verification failure! Pixel at 5:3 = $7F7F7F."), std::string::npos);
    shown.clear();
    SaveBBCScreen(scratchPicture, 2); // no picture: nothing at all
    EXPECT_TRUE(shown.empty());
}

TEST_F(DumpWriterTest, InfLines) {
    EXPECT_EQ(FormatInfLine("my pic.scr", 2), "$.MYPIC.S 003000 000000 005000");
    EXPECT_EQ(FormatInfLine("a", 5), "$.A       005800 000000 002800");
    EXPECT_EQ(FormatInfLine("C:\\out\\PIC", 8), "$.PIC     005800 000000 002800");
    EXPECT_EQ(FormatInfLine("/home/u/a b c d e f g h", 0), "$.ABCDEFG 003000 000000 005000");
    EXPECT_EQ(FormatInfLine("dir.x/abcdefghij", 1), "$.ABCDEFG 003000 000000 005000");
    // Latin-1 letters become single bytes; E0-FF move down by 20 hex, F7 and FF included.
    EXPECT_EQ(FormatInfLine("caf\xC3\xA9\xC3\xB7\xC3\xBF", 2), "$.CAF\xC9\xD7\xDF  003000 000000 005000");
    EXPECT_EQ(FormatInfLine("\xC3\x89t\xC3\xA9", 2), "$.\xC9T\xC9     003000 000000 005000");
    // Beyond U+00FF, and malformed bytes, each become one "_".
    EXPECT_EQ(FormatInfLine("\xCE\xA9mega", 2), "$._MEGA   003000 000000 005000");
    EXPECT_EQ(FormatInfLine("\xF0\x9F\x98\x80x\xFFy\xC3", 2), "$._X_Y_   003000 000000 005000");
    EXPECT_EQ(FormatInfLine("pic", 3), "");
    for (const std::string name : {"x", "a very long name indeed", "\xE2\x82\xAC\xE2\x82\xAC"}) {
        EXPECT_EQ(FormatInfLine(name, 4).size(), 30u) << name;
    }
}

TEST_F(DumpWriterTest, DumpAndSidecarFiles) {
    const ScratchFolder folder;
    MakeScreen(8, 200);
    PlotPixel(convertedPicture, 0, 0, kWhite);
    const std::string path = folder / "picture.bmp";
    WriteBytes(path + ".inf", std::vector<std::uint8_t>(100, 'x')); // a longer, older sidecar
    std::string reason;
    ASSERT_TRUE(WriteScreenDump(convertedPicture, 8, path, reason)) << reason;
    const std::vector<std::uint8_t> dump = ReadBytes(path);
    EXPECT_EQ(dump, *EncodeScreenMemory(convertedPicture, 8));
    EXPECT_EQ(dump.size(), 8000u);
    const std::vector<std::uint8_t> inf = ReadBytes(path + ".inf");
    EXPECT_EQ(std::string(inf.begin(), inf.end()), "$.PICTURE 005800 000000 002800");
    EXPECT_EQ(OutputPathFor(path, ScreenOutputKind::Dump), path);
    EXPECT_EQ(OutputPathFor(path, ScreenOutputKind::Bmp), path + ".bmp");
    EXPECT_EQ(OutputPathFor("pic.jpg", ScreenOutputKind::Jpeg), "pic.jpg.jpg");
    EXPECT_EQ(OutputPathFor("pic", ScreenOutputKind::Png), "pic.png");
}

TEST_F(DumpWriterTest, FailuresNameTheFileAndKeepEarlierFiles) {
    const ScratchFolder folder;
    MakeScreen(2);
    std::string reason;
    // A folder in the dump's place: nothing is written, not even the sidecar.
    std::filesystem::create_directory(folder / "taken");
    EXPECT_FALSE(WriteScreenDump(convertedPicture, 2, folder / "taken", reason));
    EXPECT_NE(reason.find(folder / "taken"), std::string::npos) << reason;
    EXPECT_FALSE(std::filesystem::exists(folder / "taken.inf"));

    // A mode outside the table creates no file at all.
    EXPECT_FALSE(WriteScreenDump(convertedPicture, 3, folder / "m3", reason));
    EXPECT_EQ(reason, "Invalid screen mode parameter passed (3) in SaveBBCScreen().");
    EXPECT_FALSE(WriteScreenPicture(convertedPicture, 7, folder / "m7.png", ScreenOutputKind::Png, reason));
    EXPECT_EQ(reason, "Invalid screen mode parameter passed (7) in SaveBBCScreen().");
    EXPECT_TRUE(FilesBelow(folder.path).empty());
}

TEST_F(DumpWriterTest, ExportedPicturesHaveTheModesSizes) {
    const ScratchFolder folder;
    struct Case {
        int mode;
        int lines;
        int width;
        int height;
    };
    for (const Case c :
         {Case{0, 200, 640, 512}, Case{0, 256, 640, 512}, Case{1, 240, 320, 240}, Case{4, 256, 320, 256},
          Case{2, 256, 320, 256}, Case{5, 200, 320, 200}, Case{8, 240, 320, 240}}) {
        MakeScreen(c.mode, c.lines);
        PlotPixel(convertedPicture, 1, 0, kRed);
        const std::string path = folder / ("m" + std::to_string(c.mode) + ".png");
        std::string reason;
        ASSERT_TRUE(WriteScreenPicture(convertedPicture, c.mode, path, ScreenOutputKind::Png, reason))
            << reason;
        const auto picture = DecodePng(ReadBytes(path));
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->width, c.width) << c.mode;
        EXPECT_EQ(picture->height, c.height) << c.mode;
        // Source pixel 1 of the first line covers output pixels [w/W, 2w/W) on the first line.
        const int scale = c.width / ScreenModeByNumber(c.mode)->width;
        int red = 0;
        for (int x = 0; x < picture->width; ++x) {
            red += picture->pixels[std::size_t(x)] == 0xFF0000u;
        }
        EXPECT_EQ(red, scale) << c.mode;
        EXPECT_EQ(picture->pixels[std::size_t(scale)], 0xFF0000u) << c.mode;
    }
    MakeScreen(2);
    std::string reason;
    EXPECT_TRUE(WriteScreenPicture(convertedPicture, 2, folder / "a.jpg", ScreenOutputKind::Jpeg, reason));
    EXPECT_TRUE(WriteScreenPicture(convertedPicture, 2, folder / "a.bmp", ScreenOutputKind::Bmp, reason));
    EXPECT_EQ(ReadBytes(folder / "a.bmp").size(), 54u + 320 * 3 * 256);
}

} // namespace
