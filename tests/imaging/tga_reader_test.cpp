#include "imaging/ppm_reader.h"
#include "imaging/tga_reader.h"
#include "own_readers_support.h"

#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

constexpr BufferWord kRed = 0xFF0000;
constexpr BufferWord kGreen = 0x00FF00;
constexpr BufferWord kBlue = 0x0000FF;
constexpr BufferWord kWhite = 0xFFFFFF;

struct TgaFields {
    int type = 2;
    int width = 2;
    int height = 2;
    int depth = 24;
    int descriptor = 0x20;
    std::string id;
    int mapLength = 0;
    int mapEntryBits = 0;

    TgaFields& Type(int v) {
        type = v;
        return *this;
    }
    TgaFields& Width(int v) {
        width = v;
        return *this;
    }
    TgaFields& Height(int v) {
        height = v;
        return *this;
    }
    TgaFields& Depth(int v) {
        depth = v;
        return *this;
    }
    TgaFields& Descriptor(int v) {
        descriptor = v;
        return *this;
    }
    TgaFields& Id(std::string v) {
        id = std::move(v);
        return *this;
    }
    TgaFields& MapLength(int v) {
        mapLength = v;
        return *this;
    }
    TgaFields& MapEntryBits(int v) {
        mapEntryBits = v;
        return *this;
    }
};

std::vector<std::uint8_t> MakeTga(const TgaFields& fields, const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> file;
    file.push_back(static_cast<std::uint8_t>(fields.id.size()));
    file.push_back(fields.mapLength > 0 ? 1 : 0);
    file.push_back(static_cast<std::uint8_t>(fields.type));
    PutU16LE(file, 0);
    PutU16LE(file, static_cast<unsigned>(fields.mapLength));
    file.push_back(static_cast<std::uint8_t>(fields.mapEntryBits));
    PutU16LE(file, 0);
    PutU16LE(file, 0);
    PutU16LE(file, static_cast<unsigned>(fields.width));
    PutU16LE(file, static_cast<unsigned>(fields.height));
    file.push_back(static_cast<std::uint8_t>(fields.depth));
    file.push_back(static_cast<std::uint8_t>(fields.descriptor));
    PutText(file, fields.id);
    file.insert(file.end(), static_cast<std::size_t>(fields.mapLength * ((fields.mapEntryBits + 7) / 8)),
                0xEE);
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

// Stored 24-bit pixels are blue, green, red.
std::vector<std::uint8_t> Bgr(std::initializer_list<BufferWord> pixels) {
    std::vector<std::uint8_t> out;
    for (const BufferWord word : pixels) {
        out.push_back(static_cast<std::uint8_t>(word));
        out.push_back(static_cast<std::uint8_t>(word >> 8));
        out.push_back(static_cast<std::uint8_t>(word >> 16));
    }
    return out;
}

std::vector<BufferWord> Decode(const std::vector<std::uint8_t>& file) {
    const std::optional<Picture> picture = ReadTgaPicture(file);
    return picture ? picture->pixels : std::vector<BufferWord>{};
}

TEST(TgaReader, OriginDecidesWhereTheFirstStoredRowGoes) {
    const std::vector<std::uint8_t> pixels = Bgr({kBlue, kRed, kGreen, kWhite});
    // Descriptor 0 and 10 hex: bottom origin; 20 and 30 hex: top origin.
    EXPECT_EQ(Decode(MakeTga(TgaFields().Descriptor(0x00), pixels)),
              (std::vector<BufferWord>{kGreen, kWhite, kBlue, kRed}));
    EXPECT_EQ(Decode(MakeTga(TgaFields().Descriptor(0x20), pixels)),
              (std::vector<BufferWord>{kBlue, kRed, kGreen, kWhite}));
    // The right-to-left bit mirrors each row; the channels stay where they are.
    EXPECT_EQ(Decode(MakeTga(TgaFields().Descriptor(0x10), pixels)),
              (std::vector<BufferWord>{kWhite, kGreen, kRed, kBlue}));
    EXPECT_EQ(Decode(MakeTga(TgaFields().Descriptor(0x30), pixels)),
              (std::vector<BufferWord>{kRed, kBlue, kWhite, kGreen}));
    const ReaderCheck check = CheckTgaPicture(MakeTga(TgaFields().Width(300).Height(7), {}));
    EXPECT_TRUE(check.accepted);
    EXPECT_EQ(check.width, 300);
    EXPECT_EQ(check.height, 7);
}

TEST(TgaReader, SixteenAndThirtyTwoBitPixels) {
    std::vector<std::uint8_t> words;
    for (const unsigned value : {0x7FFFu, 0x7C00u, 0x03E0u, 0x801Fu}) {
        PutU16LE(words, value);
    }
    // Each 5-bit field times 8; the top bit carries no colour. 15-bit pixels are stored alike.
    for (const int depth : {15, 16}) {
        EXPECT_EQ(Decode(MakeTga(TgaFields().Depth(depth), words)),
                  (std::vector<BufferWord>{0xF8F8F8, 0xF80000, 0x00F800, 0x0000F8}));
    }
    const std::vector<std::uint8_t> bgra = {0x10, 0x20, 0x30, 0x00, 0x01, 0x02, 0x03, 0xFF,
                                            0xAA, 0xBB, 0xCC, 0x80, 0x00, 0x00, 0x00, 0x7F};
    EXPECT_EQ(Decode(MakeTga(TgaFields().Depth(32), bgra)),
              (std::vector<BufferWord>{0x302010, 0x030201, 0xCCBBAA, 0x000000}));
    // Other depths are not Targa true-colour pictures.
    EXPECT_FALSE(CheckTgaPicture(MakeTga(TgaFields().Depth(8), {1, 2, 3, 4})).accepted);
}

TEST(TgaReader, PixelDataStartAfterIdentificationAndColourMap) {
    const std::vector<std::uint8_t> pixels = Bgr({kBlue, kRed, kGreen, kWhite});
    // 3 entries of 24 bits (9 bytes) and an ID of 5 bytes.
    EXPECT_EQ(Decode(MakeTga(TgaFields().Id("hello").MapLength(3).MapEntryBits(24), pixels)),
              (std::vector<BufferWord>{kBlue, kRed, kGreen, kWhite}));
    // 15-bit entries are stored in two bytes each.
    EXPECT_EQ(Decode(MakeTga(TgaFields().MapLength(4).MapEntryBits(15), pixels)),
              (std::vector<BufferWord>{kBlue, kRed, kGreen, kWhite}));
}

TEST(TgaReader, RunLengthPackets) {
    // 81 hex: the next pixel twice; 00: one literal pixel; a run crossing into the next
    // row; pixels beyond the picture are discarded.
    std::vector<std::uint8_t> data = {0x81};
    for (const auto byte : Bgr({kRed}))
        data.push_back(byte);
    data.push_back(0x00);
    for (const auto byte : Bgr({kGreen}))
        data.push_back(byte);
    data.push_back(0x83);
    for (const auto byte : Bgr({kBlue}))
        data.push_back(byte);
    const TgaFields fields = TgaFields().Type(10).Width(3).Height(2).Descriptor(0x20);
    EXPECT_EQ(Decode(MakeTga(fields, data)),
              (std::vector<BufferWord>{kRed, kRed, kGreen, kBlue, kBlue, kBlue}));

    TgaFields thirtyTwo = fields;
    thirtyTwo.depth = 32;
    thirtyTwo.width = 2;
    thirtyTwo.height = 1;
    EXPECT_EQ(Decode(MakeTga(thirtyTwo, {0x01, 1, 2, 3, 4, 5, 6, 7, 8})),
              (std::vector<BufferWord>{0x030201, 0x070605}));
    TgaFields sixteen = fields;
    sixteen.depth = 16;
    EXPECT_EQ(Decode(MakeTga(sixteen, {0x85, 0xFF, 0x7F})), (std::vector<BufferWord>(6, 0xF8F8F8)));
}

TEST(TgaReader, RunLengthOriginsAndMirroringMatchTheUncompressedPath) {
    const std::vector<std::uint8_t> raw = Bgr({kBlue, kRed, kGreen, kWhite, 0x123456, 0x654321});
    std::vector<std::uint8_t> packed = {0x05};
    packed.insert(packed.end(), raw.begin(), raw.end());
    for (const int descriptor : {0x00, 0x10, 0x20, 0x30}) {
        const std::vector<BufferWord> uncompressed =
            Decode(MakeTga(TgaFields().Type(2).Width(3).Height(2).Descriptor(descriptor), raw));
        const std::vector<BufferWord> runLength =
            Decode(MakeTga(TgaFields().Type(10).Width(3).Height(2).Descriptor(descriptor), packed));
        EXPECT_EQ(uncompressed, runLength) << "descriptor " << descriptor;
        EXPECT_EQ(std::count(runLength.begin(), runLength.end(), kRed), 1);
    }
}

TEST(TgaReader, DataThatEndEarly) {
    // Uncompressed data must hold every pixel.
    std::vector<std::uint8_t> raw = Bgr({kBlue, kRed, kGreen, kWhite});
    raw.pop_back();
    EXPECT_FALSE(CheckTgaPicture(MakeTga(TgaFields(), raw)).refusal.empty());
    EXPECT_FALSE(ReadTgaPicture(MakeTga(TgaFields(), raw)));
    // Run-length, bottom origin: the first stored row goes to the bottom even though the
    // packets end early; a literal packet the file cannot hold whole is not used.
    std::vector<std::uint8_t> packed = {0x81};
    for (const auto byte : Bgr({kRed}))
        packed.push_back(byte);
    packed.push_back(0x01);
    for (const auto byte : Bgr({kGreen}))
        packed.push_back(byte);
    EXPECT_EQ(Decode(MakeTga(TgaFields().Type(10).Descriptor(0x00), packed)),
              (std::vector<BufferWord>{0, 0, kRed, kRed}));
    // Colour-map sizes that point past the end of the file are no Targa header.
    std::vector<std::uint8_t> farOff = MakeTga(TgaFields().Type(10).MapLength(60000).MapEntryBits(32), {});
    farOff.resize(18 + 8, 0x81);
    EXPECT_FALSE(CheckTgaPicture(farOff).accepted);
}

TEST(TgaReader, DeclinesOtherTypesAndShortHeaders) {
    for (const int type : {0, 1, 3, 9, 11, 32, 33}) {
        EXPECT_FALSE(CheckTgaPicture(MakeTga(TgaFields().Type(type), Bgr({kRed, kRed, kRed, kRed}))).accepted)
            << type;
    }
    // Accepted, but more pixels than the program takes: no picture.
    EXPECT_TRUE(CheckTgaPicture(MakeTga(TgaFields().Width(20000).Height(20000), {})).accepted);
    EXPECT_FALSE(ReadTgaPicture(MakeTga(TgaFields().Width(20000).Height(20000), {})).has_value());
}

TEST(TgaReader, MalformedFilesFailCleanlyOrDecodePartly) {
    EXPECT_GT(CheckMalformedFiles(
                  "tga", [](std::span<const std::uint8_t> file) { return ReadTgaPicture(file); },
                  [](std::span<const std::uint8_t> file) { return CheckTgaPicture(file); }),
              0);
}

TEST(TgaReader, SweepOfFlippedAndTruncatedFiles) {
    std::vector<std::uint8_t> packed = {0x81};
    for (const auto byte : Bgr({kRed}))
        packed.push_back(byte);
    packed.push_back(0x02);
    for (const auto byte : Bgr({kGreen, kBlue, kWhite}))
        packed.push_back(byte);
    for (const auto& file :
         {MakeTga(TgaFields().Type(10).Width(3).Height(2).Descriptor(0x10).Id("ab"), packed),
          MakeTga(TgaFields().Width(2).Height(2).Depth(16).Descriptor(0x00), {1, 2, 3, 4, 5, 6, 7, 8})}) {
        EXPECT_GT(SweepReader(file, CheckTgaPicture, ReadTgaPicture), 0);
    }
}

// The real files of the shared corpus.
class TgaCorpus : public ::testing::Test {
  protected:
    void SetUp() override {
        corpus = CorpusFolder();
        if (!corpus) {
            GTEST_SKIP() << "the shared picture corpus (" << QUILLMORPH_CORPUS
                         << ") is not beside this checkout";
        }
    }
    std::optional<Picture> Read(const std::string& relative) const {
        return ReadTgaPicture(ReadBytes(*corpus / "tga" / relative));
    }
    std::optional<std::filesystem::path> corpus;
};

TEST_F(TgaCorpus, EveryTrueColourFileDecodesAtItsSize) {
    int decoded = 0;
    int declined = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(*corpus / "tga")) {
        if (!entry.is_regular_file()) {
            continue;
        }
        const std::vector<std::uint8_t> file = ReadBytes(entry.path());
        const bool trueColour = file.size() >= 18 && (file[2] == 2 || file[2] == 10);
        const ReaderCheck check = CheckTgaPicture(file);
        // Type 2 or 10 alone is not enough: the regression files' headers are implausible or too long.
        EXPECT_TRUE(trueColour || !check.accepted) << entry.path();
        const std::optional<Picture> picture = ReadTgaPicture(file);
        if (!check.accepted || !check.refusal.empty()) {
            EXPECT_FALSE(picture.has_value()) << entry.path();
            ++declined;
            continue;
        }
        const int width = file[12] | (file[13] << 8);
        const int height = file[14] | (file[15] << 8);
        ASSERT_TRUE(picture.has_value()) << entry.path();
        EXPECT_EQ(picture->width, width) << entry.path();
        EXPECT_EQ(picture->height, height) << entry.path();
        ++decoded;
    }
    std::printf("TGA corpus: %d decoded, %d declined\n", decoded, declined);
    EXPECT_GT(decoded, 0);
}

TEST_F(TgaCorpus, MatchesReferenceRenderings) {
    struct Case {
        const char* file;
        const char* reference;
        bool includeTransparent;
        BufferWord referenceMask = 0xFFFFFF;
    };
    const Case cases[] = {
        {"truevision/UTC24.TGA", "image-rs/reference/utc24.tga.png", true},
        {"truevision/CTC24.TGA", "image-rs/reference/ctc24.tga.png", true},
        {"truevision/UTC32.TGA", "image-rs/reference/utc32.tga.png", false},
        {"truevision/CTC32.TGA", "image-rs/reference/utc32.tga.png", false},
        {"image-rs/top_left.tga", "image-rs/reference/top_left.tga.png", false},
        {"image-rs/bottom_left.tga", "image-rs/reference/bottom_left.tga.png", false},
        {"image-rs/top_right.tga", "image-rs/reference/top_right.tga.png", false},
        {"image-rs/bottom_right.tga", "image-rs/reference/bottom_right.tga.png", false},
        // 16-bit pixels: the reference fills the low three bits of each channel, this
        // reader leaves them zero (each field times 8).
        {"image-rs/b5-noattrib.tga", "image-rs/reference/b5-noattrib.tga.png", true, 0xF8F8F8},
        {"image-rs/b5-attrib.tga", "image-rs/reference/b5-attrib.tga.png", true, 0xF8F8F8},
        {"image-rs/b5-unused-cmap.tga", "image-rs/reference/b5-unused-cmap.tga.png", true, 0xF8F8F8},
        {"pillow/200x32_rgb_bl_raw.tga", "pillow/200x32_rgb.png", true},
        {"pillow/200x32_rgb_bl_rle.tga", "pillow/200x32_rgb.png", true},
        {"pillow/200x32_rgb_tl_raw.tga", "pillow/200x32_rgb.png", true},
        {"pillow/200x32_rgb_tl_rle.tga", "pillow/200x32_rgb.png", true},
        {"pillow/200x32_rgba_bl_raw.tga", "pillow/200x32_rgba.png", false},
        {"pillow/200x32_rgba_bl_rle.tga", "pillow/200x32_rgba.png", false},
        {"pillow/200x32_rgba_tl_raw.tga", "pillow/200x32_rgba.png", false},
        {"pillow/200x32_rgba_tl_rle.tga", "pillow/200x32_rgba.png", false},
    };
    for (const Case& c : cases) {
        const std::optional<Picture> picture = Read(c.file);
        std::optional<Rendering> reference = LoadPngRendering(*corpus / "tga" / c.reference);
        ASSERT_TRUE(picture.has_value()) << c.file;
        ASSERT_TRUE(reference.has_value()) << c.reference;
        for (BufferWord& word : reference->picture.pixels) {
            word &= c.referenceMask;
        }
        EXPECT_EQ(CountDifferentPixels(*picture, *reference, c.includeTransparent), 0) << c.file;
    }
}

TEST_F(TgaCorpus, StoredFourWaysLikeItsPixmap) {
    const auto pixmap = [&](const std::string& relative) {
        return ReadPpmPicture(ReadBytes(*corpus / "ppm" / relative));
    };
    const std::optional<Picture> buggie = pixmap("serenity/buggie-raw.ppm");
    ASSERT_TRUE(buggie.has_value());
    for (const char* file :
         {"serenity/buggie-top-left-uncompressed.tga", "serenity/buggie-top-left-compressed.tga",
          "serenity/buggie-bottom-left-uncompressed.tga", "serenity/buggie-bottom-left-compressed.tga"}) {
        const std::optional<Picture> picture = Read(file);
        ASSERT_TRUE(picture.has_value()) << file;
        EXPECT_EQ(picture->pixels, buggie->pixels) << file;
    }
}

} // namespace
