#include "imaging/picture.h"
#include "imaging/png_reader.h"
#include "screen/dump_reader.h"
#include "screen/dump_writer.h"
#include "screen/screen_modes.h"
#include "state/app_state.h"
#include "state/error_message.h"
#include "support/corpus_dumps.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <set>
#include <sys/stat.h>
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
    EXPECT_EQ(PixelAt(p2, 0, 1), kPhysicalColours[5]);
    EXPECT_EQ(PixelAt(p2, 1, 1), kPhysicalColours[2]);

    // Mode 1: 6A hex is red, yellow, white, black.
    std::vector<std::uint8_t> mode1(640, 0);
    mode1[8] = 0x6A; // second cell, first line
    const Picture p1 = *DecodeScreenBytes(mode1, 320, 2).picture;
    EXPECT_EQ(PixelAt(p1, 4, 0), kPhysicalColours[1]);
    EXPECT_EQ(PixelAt(p1, 5, 0), kPhysicalColours[3]);
    EXPECT_EQ(PixelAt(p1, 6, 0), kPhysicalColours[7]);
    EXPECT_EQ(PixelAt(p1, 7, 0), kPhysicalColours[0]);

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

std::vector<std::uint8_t> FileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Pictures of random logical colours under each mode's default palette, written by the
// dump writer and read back.
class DumpRoundTripTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetAppState();
        for (const ScreenMode& mode : screenModes) {
            ResetPalette(mode.number);
        }
    }
    void TearDown() override {
        DiscardAllPictures();
        ResetAppState();
    }
    // A picture of the mode's width, each pixel a random logical colour of the mode.
    static Picture RandomLogicalPicture(const ScreenMode& mode, int lines, std::mt19937& random) {
        std::uniform_int_distribution<int> logical(0, mode.colourCount - 1);
        Picture picture{mode.width, lines,
                        std::vector<BufferWord>(static_cast<std::size_t>(mode.width) * lines)};
        for (BufferWord& word : picture.pixels) {
            word = SwapRedBlue(PaletteEntry(mode.number, logical(random)));
        }
        return picture;
    }
    static std::vector<std::uint8_t> Encode(const Picture& picture, int modeNumber) {
        const int number = StoreAutomaticPicture(picture);
        const auto bytes = EncodeScreenMemory(number, modeNumber);
        DiscardPicture(number);
        return bytes.value_or(std::vector<std::uint8_t>{});
    }
};

TEST_F(DumpRoundTripTest, WrittenPicturesReadBackUnchangedInEveryModeAndLineCount) {
    std::mt19937 random(20480);
    for (const ScreenMode& mode : screenModes) {
        for (const int lines : {256, 240, 200}) {
            SCOPED_TRACE(std::string(mode.label) + " at " + std::to_string(lines) + " lines");
            const Picture original = RandomLogicalPicture(mode, lines, random);
            const std::vector<std::uint8_t> bytes = Encode(original, mode.number);
            ASSERT_EQ(bytes.size(), static_cast<std::size_t>(lines) * mode.bytesPerLine);
            const DecodedDump decoded = DecodeScreenBytes(bytes, mode.width, mode.bitsPerPixel);
            ASSERT_TRUE(decoded.picture) << decoded.reason;
            EXPECT_EQ(decoded.picture->width, mode.width);
            EXPECT_EQ(decoded.picture->height, lines);
            EXPECT_TRUE(decoded.picture->pixels == original.pixels);
            EXPECT_TRUE(Encode(*decoded.picture, mode.number) == bytes);
        }
    }
}

TEST_F(DumpRoundTripTest, BytesTheWriterCanProduceSurviveDecodingAndEncoding) {
    // Every byte is possible in the 1- and 2-bit modes; the 4-bit writer never sets bits
    // 7 and 6 (logical colours 8-15).
    std::mt19937 random(8);
    std::uniform_int_distribution<int> byte(0, 255);
    for (const ScreenMode& mode : screenModes) {
        SCOPED_TRACE(mode.label);
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(256) * mode.bytesPerLine);
        for (std::uint8_t& b : bytes) {
            b = static_cast<std::uint8_t>(byte(random) & (mode.bitsPerPixel == 4 ? 0x3F : 0xFF));
        }
        const DecodedDump decoded = DecodeScreenBytes(bytes, mode.width, mode.bitsPerPixel);
        ASSERT_TRUE(decoded.picture);
        EXPECT_TRUE(Encode(*decoded.picture, mode.number) == bytes);
    }
}

TEST_F(DumpRoundTripTest, AMode1DumpReadInModes1And4) {
    std::mt19937 random(1);
    const std::vector<std::uint8_t> bytes =
        Encode(RandomLogicalPicture(*ScreenModeByNumber(1), 256, random), 1);
    ASSERT_EQ(bytes.size(), 20480u);

    const int mode1 = ConvertBBCScreen(bytes, 1);
    ASSERT_NE(mode1, 0);
    EXPECT_EQ(PictureWidth(mode1), 320);
    EXPECT_EQ(PictureHeight(mode1), 256);
    std::set<ColourValue> colours;
    for (const BufferWord word : FindPicture(mode1)->pixels) {
        colours.insert(SwapRedBlue(word));
    }
    EXPECT_EQ(colours, (std::set<ColourValue>{kPhysicalColours[0], kPhysicalColours[1], kPhysicalColours[3],
                                              kPhysicalColours[7]}));
    EXPECT_TRUE(EncodeScreenMemory(mode1, 1) == bytes);

    // The same bytes in Mode 4: twice as many lines of half the bytes, black and white.
    const int mode4 = ConvertBBCScreen(bytes, 4);
    ASSERT_NE(mode4, 0);
    EXPECT_EQ(PictureWidth(mode4), 320);
    EXPECT_EQ(PictureHeight(mode4), 512);
    colours.clear();
    for (const BufferWord word : FindPicture(mode4)->pixels) {
        colours.insert(SwapRedBlue(word));
    }
    EXPECT_EQ(colours, (std::set<ColourValue>{0x000000, 0xFFFFFF}));
    // Byte 320 opens Mode 4's second character row (line 8), where Mode 1 is still in
    // its first: bit 7 of that byte is the row's leftmost pixel.
    EXPECT_EQ(ReadPixel(mode4, 0, 8), (bytes[320] & 0x80) != 0 ? 0xFFFFFFu : 0u);
}

TEST(DumpReaderTest, FourBitModesShowTheUpperLogicalColoursInReverse) {
    // Logical 8-15 are physical 7 down to 0, in Mode 2 and Mode 8 alike.
    std::vector<std::uint8_t> data(640, 0);
    const std::array<std::uint8_t, 8> pairs{0x80, 0x82, 0x88, 0x8A, 0xA0, 0xA2, 0xA8, 0xAA}; // left: 8..15
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        data[i] = pairs[i]; // cell 0, lines 0-7
    }
    for (const int width : {160, 80}) {
        const Picture p = *DecodeScreenBytes(data, width, 4).picture;
        for (int v = 8; v < 16; ++v) {
            EXPECT_EQ(PixelAt(p, 0, v - 8), kPhysicalColours[static_cast<std::size_t>(15 - v)]) << v;
            EXPECT_EQ(PixelAt(p, 1, v - 8), 0u);
        }
    }
}

// The PNG file without its chunks of the given type (whole chunks, so the rest stays
// valid).
std::vector<std::uint8_t> WithoutChunk(const std::vector<std::uint8_t>& png, std::string_view type) {
    std::vector<std::uint8_t> kept(png.begin(), png.begin() + std::min<std::size_t>(8, png.size()));
    for (std::size_t at = 8; at + 12 <= png.size();) {
        const std::size_t length = (std::size_t{png[at]} << 24) | (std::size_t{png[at + 1]} << 16) |
                                   (std::size_t{png[at + 2]} << 8) | png[at + 3];
        const std::size_t end = std::min(png.size(), at + 12 + length);
        if (std::string_view(reinterpret_cast<const char*>(&png[at + 4]), 4) != type) {
            kept.insert(kept.end(), png.begin() + static_cast<std::ptrdiff_t>(at),
                        png.begin() + static_cast<std::ptrdiff_t>(end));
        }
        at = end;
    }
    return kept;
}

// Pictures of partial Mode 2 screens that the game's own tools rendered, with every
// pixel doubled in width: exact for these two dumps.
TEST(DumpReaderCorpusTest, ReferenceRenderingsMatchPixelForPixel) {
    const std::filesystem::path root = std::filesystem::path(QUILLMORPH_CORPUS) / "bbc" / "pop-beeb";
    if (!std::filesystem::exists(root)) {
        GTEST_SKIP() << "the shared picture corpus is not beside this checkout (" << root << ")";
    }
    struct Case {
        const char* dump;
        const char* reference;
        int firstRow;
        int lines;
    };
    for (const Case& c : {Case{"john.Splash.mode2.bin", "john.Splash.png", 16, 216},
                          Case{"john.Title.mode2.bin", "john.Title.png", 112, 120}}) {
        SCOPED_TRACE(c.dump);
        const DecodedDump dump = DecodeScreenBytes(FileBytes(root / c.dump), 160, 4);
        ASSERT_TRUE(dump.picture);
        ASSERT_EQ(dump.picture->height, c.lines);
        // john.Splash.png marks two of its white pixels fully transparent, which our reader
        // would show as black: the comparison is of colours, so transparency goes first.
        const std::optional<Picture> reference =
            DecodePng(WithoutChunk(FileBytes(root / "reference" / c.reference), "tRNS"));
        ASSERT_TRUE(reference);
        ASSERT_EQ(reference->width, 320);
        ASSERT_GE(reference->height, c.firstRow + c.lines);
        int differing = 0;
        for (int y = 0; y < c.lines; ++y) {
            for (int x = 0; x < 320; ++x) {
                differing +=
                    PixelAt(*reference, x, c.firstRow + y) != PixelAt(*dump.picture, x / 2, y) ? 1 : 0;
            }
        }
        EXPECT_EQ(differing, 0);
    }
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

    // A pipe exists but would block the open until something writes to it.
    const std::string pipe = (folder / "PIPE").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    reported.clear();
    EXPECT_FALSE(ReadScreenDumpFile(pipe));
    EXPECT_NE(reported.find("Reason: Failed to open requested file."), std::string::npos);
}

} // namespace

namespace {

// Every real dump of the corpus decodes to the height its length gives, in the mode its
// name carries, with only the default colours of its bit depth.
TEST(DumpReaderCorpusTest, RealDumpsDecodeInTheirModes) {
    const std::vector<CorpusDump> dumps = CorpusDumps();
    if (dumps.empty()) {
        GTEST_SKIP() << "the shared picture corpus is not beside this checkout (" << CorpusDumpFolder()
                     << ")";
    }
    int decoded = 0;
    for (const CorpusDump& corpusDump : dumps) {
        const std::string name = corpusDump.path.filename().string();
        const int modeNumber = corpusDump.mode;
        const ScreenMode* mode = ScreenModeByNumber(modeNumber);
        ASSERT_NE(mode, nullptr) << name;
        std::ifstream in(corpusDump.path, std::ios::binary);
        const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                              std::istreambuf_iterator<char>());
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
