#include "imaging/ppm_reader.h"
#include "imaging/tga_reader.h"
#include "own_readers_support.h"

#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::vector<std::uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

std::vector<BufferWord> Decode(const std::vector<std::uint8_t>& file) {
    const std::optional<Picture> picture = ReadPpmPicture(file);
    return picture ? picture->pixels : std::vector<BufferWord>{};
}

TEST(PpmReader, BinaryPixmapWithMaxval255) {
    std::vector<std::uint8_t> file = Bytes("P6\n2 1\n255\n");
    for (const int byte : {0xFF, 0x00, 0x00, 0x12, 0x34, 0x56}) {
        file.push_back(static_cast<std::uint8_t>(byte));
    }
    EXPECT_EQ(Decode(file), (std::vector<BufferWord>{0xFF0000, 0x123456}));
    const ReaderCheck check = CheckPpmPicture(file);
    EXPECT_TRUE(check.accepted);
    EXPECT_EQ(check.width, 2);
    EXPECT_EQ(check.height, 1);
}

TEST(PpmReader, TextPixmapWithCommentsAndAnotherMaxval) {
    // 15 becomes 255, 8 becomes 136 (8 x 17); comments stand before the width and
    // between two samples, ended by CR LF and by LF CR.
    const std::vector<std::uint8_t> file =
        Bytes("P3\n# made by hand\r\n2\t2 15\n15 8 0\n# a comment\n\r0 1 2\n"
              "3 4 5   6 7 # to the end\r\n 14\n");
    EXPECT_EQ(Decode(file), (std::vector<BufferWord>{0xFF8800, 0x001122, 0x334455, 0x6677EE}));
}

TEST(PpmReader, ScaleFactorIsSinglePrecisionAndRoundsHalvesToEven) {
    // The factor is 255 / maxval as a float, the product formed exactly in double.
    for (const unsigned maxval : {1u, 3u, 7u, 100u, 254u, 1000u, 7919u, 65535u}) {
        const float factor = 255.0f / static_cast<float>(maxval);
        std::string text = "P3 1 1 " + std::to_string(maxval) + "\n";
        for (const unsigned sample : {maxval / 3, maxval / 2, maxval}) {
            text += std::to_string(sample) + " ";
        }
        const std::vector<BufferWord> pixels = Decode(Bytes(text));
        ASSERT_EQ(pixels.size(), 1u) << maxval;
        const auto expect = [&](unsigned sample) {
            return static_cast<unsigned>(
                std::nearbyint(static_cast<double>(sample) * static_cast<double>(factor)));
        };
        EXPECT_EQ(pixels[0], (expect(maxval / 3) << 16) | (expect(maxval / 2) << 8) | expect(maxval))
            << maxval;
        EXPECT_EQ(pixels[0] & 0xFF, 255u) << maxval;
    }
    // maxval 2: the factor is exactly 127.5, so 1 gives 127.5, rounded to the even 128;
    // maxval 6: 42.5 gives 42.
    EXPECT_EQ(Decode(Bytes("P3 1 1 2 1 0 2")), (std::vector<BufferWord>{0x8000FF}));
    EXPECT_EQ(Decode(Bytes("P3 1 1 6 1 0 6")), (std::vector<BufferWord>{0x2A00FF}));
}

TEST(PpmReader, BinaryPixmapsWithOtherMaxvals) {
    // One byte per sample below 256, scaled with the same rule.
    std::vector<std::uint8_t> narrow = Bytes("P6 1 1 15\n");
    narrow.insert(narrow.end(), {15, 8, 0});
    EXPECT_EQ(Decode(narrow), (std::vector<BufferWord>{0xFF8800}));
    // Two bytes per sample, most significant first, above 255.
    std::vector<std::uint8_t> wide = Bytes("P6 2 1 65535\n");
    wide.insert(wide.end(), {0xFF, 0xFF, 0x80, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x80, 0x7F, 0xFF});
    const float factor = 255.0f / 65535.0f;
    const auto scale = [&](unsigned s) {
        return static_cast<unsigned>(std::nearbyint(s * static_cast<double>(factor)));
    };
    EXPECT_EQ(Decode(wide),
              (std::vector<BufferWord>{(255u << 16) | (scale(0x8000) << 8) | scale(1),
                                       (scale(0x100) << 16) | (scale(0x80) << 8) | scale(0x7FFF)}));
    // 500 x float(0.255) is 127.4999976..., so 127: the factor is not 0.255 exactly.
    std::vector<std::uint8_t> thousand = Bytes("P6 1 1 1000\n");
    thousand.insert(thousand.end(), {0x03, 0xE8, 0x01, 0xF4, 0x00, 0x02});
    EXPECT_EQ(Decode(thousand), (std::vector<BufferWord>{0xFF7F01}));
}

TEST(PpmReader, SamplesAboveMaxvalAreClamped) {
    EXPECT_EQ(Decode(Bytes("P3 1 1 15 16 300 99999999999999999999")), (std::vector<BufferWord>{0xFFFFFF}));
    EXPECT_EQ(Decode(Bytes("P3 1 1 255 256 0 0")), (std::vector<BufferWord>{0xFF0000}));
}

TEST(PpmReader, SamplesThatEndEarlyOrAreNoNumbersFail) {
    std::vector<std::uint8_t> binary = Bytes("P6 2 2 255\n");
    binary.insert(binary.end(), {1, 2, 3, 4, 5, 6, 7, 8});
    EXPECT_FALSE(CheckPpmPicture(binary).refusal.empty());
    EXPECT_FALSE(ReadPpmPicture(binary));
    // Eleven characters could hold six samples; they hold five.
    EXPECT_TRUE(CheckPpmPicture(Bytes("P3 2 1 255 1 2 3 4 500")).refusal.empty());
    EXPECT_FALSE(ReadPpmPicture(Bytes("P3 2 1 255 1 2 3 4 500")));
    EXPECT_FALSE(ReadPpmPicture(Bytes("P3 2 1 255 1 2 3 4 x5 6")));
    EXPECT_FALSE(CheckPpmPicture(Bytes("P3 2 1 255 1 2 3 456")).refusal.empty());
}

TEST(PpmReader, HeaderForms) {
    // The samples start one character after maxval, whatever that character is.
    std::vector<std::uint8_t> tab = Bytes("P6 1 1 255\t");
    tab.insert(tab.end(), {10, 20, 30});
    EXPECT_EQ(Decode(tab), (std::vector<BufferWord>{0x0A141E}));
    // Two comment lines and an indented number after a comment are read.
    EXPECT_EQ(Decode(Bytes("P3\n# one\n# two\n  1 1\n#three\n 255\n1 2 3\n")),
              (std::vector<BufferWord>{0x010203}));
    // Any character above "!" belongs to a number, so "255#c" is not a number.
    EXPECT_FALSE(CheckPpmPicture(Bytes("P3 1 1 255#c\n1 2 3")).accepted);
}

TEST(PpmReader, DeclinesWhatItDoesNotRead) {
    for (const char* text : {"", "P", "P5 1 1 255 x", "P2 1 1 255 1", "P1 1 1 1", "P4 1 1 x", "P7\nWIDTH 1\n",
                             "Pf 1 1 -1", "p6 1 1 255 abc", "P6 1 1", "P6 1 1 0 abc", "P6 1 1 65536 abcdef",
                             "P6 -1 1 255 abc", "P6 1 1 2.5 abc", "P3\n# comment without end"}) {
        EXPECT_FALSE(CheckPpmPicture(Bytes(text)).accepted) << text;
        EXPECT_FALSE(ReadPpmPicture(Bytes(text)).has_value()) << text;
    }
}

TEST(PpmReader, MalformedFilesFailCleanlyOrDecodePartly) {
    EXPECT_GT(CheckMalformedFiles(
                  "ppm", [](std::span<const std::uint8_t> file) { return ReadPpmPicture(file); },
                  [](std::span<const std::uint8_t> file) { return CheckPpmPicture(file); }),
              0);
}

TEST(PpmReader, SweepOfFlippedAndTruncatedFiles) {
    std::vector<std::uint8_t> binary = Bytes("P6\n# c\n3 2\n65535\n");
    for (int i = 0; i < 36; ++i) {
        binary.push_back(static_cast<std::uint8_t>(i * 7));
    }
    for (const auto& file :
         {Bytes("P3\n# c\r\n3 2\n15\n1 2 3 4 5 6 7 8\n# d\n9 10 11 12 13 14 15 0 1 2\n"), binary}) {
        EXPECT_GT(SweepReader(file, CheckPpmPicture, ReadPpmPicture), 0);
    }
}

class PpmCorpus : public ::testing::Test {
  protected:
    void SetUp() override {
        corpus = CorpusFolder();
        if (!corpus) {
            GTEST_SKIP() << "the shared picture corpus (" << QUILLMORPH_CORPUS
                         << ") is not beside this checkout";
        }
    }
    std::optional<Picture> Read(const std::string& relative) const {
        return ReadPpmPicture(ReadBytes(*corpus / "ppm" / relative));
    }
    std::optional<std::filesystem::path> corpus;
};

TEST_F(PpmCorpus, EveryColourPixmapDecodesAtItsSize) {
    // The folder also holds grey maps, bitmaps, PAM and float maps and a PNG, which
    // this reader declines; every "P3" and "P6" file is read.
    int decoded = 0;
    int declined = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(*corpus / "ppm")) {
        if (!entry.is_regular_file()) {
            continue;
        }
        const std::vector<std::uint8_t> file = ReadBytes(entry.path());
        const bool colour = file.size() >= 2 && file[0] == 'P' && (file[1] == '3' || file[1] == '6');
        const std::optional<Picture> picture = ReadPpmPicture(file);
        if (picture) {
            ++decoded;
            const ReaderCheck check = CheckPpmPicture(file);
            EXPECT_EQ(picture->width, check.width);
            EXPECT_EQ(picture->height, check.height);
        } else {
            ++declined;
        }
        // The one colour pixmap left out is the corrupt header "P632 358888888632!".
        EXPECT_EQ(picture.has_value(), colour && entry.path().filename() != "negative_size.ppm")
            << entry.path();
    }
    std::printf("PPM corpus: %d decoded, %d declined\n", decoded, declined);
    EXPECT_GT(decoded, 0);
}

TEST_F(PpmCorpus, TextAndBinaryTwinsAgree) {
    // feep with maxval 15 scales exactly onto its maxval-255 twin (every sample x 17).
    const std::optional<Picture> text = Read("pixie/feep.p3.master.ppm");
    const std::optional<Picture> binary = Read("pixie/feep.p6.master.ppm");
    ASSERT_TRUE(text && binary);
    EXPECT_EQ(text->pixels, binary->pixels);
    // The text version of the PerlMagick master picture.
    const std::optional<Picture> master = Read("imagemagick/MasterImage_70x46.ppm");
    const std::optional<Picture> p3 = Read("imagemagick/input_p3.ppm");
    ASSERT_TRUE(master && p3);
    EXPECT_EQ(master->pixels, p3->pixels);
    const std::optional<Picture> zigText = Read("zigimg/ppm_ascii_rgb24.ppm");
    const std::optional<Picture> zigBinary = Read("zigimg/ppm_binary_rgb24.ppm");
    ASSERT_TRUE(zigText && zigBinary);
    EXPECT_EQ(zigText->pixels, zigBinary->pixels);
    // Two comment lines before the width; then red, green, blue, yellow, white, black.
    const std::optional<Picture> colours = Read("twelvemonkeys/colors.ppm");
    ASSERT_TRUE(colours.has_value());
    EXPECT_EQ(colours->pixels,
              (std::vector<BufferWord>{0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFFFFFF, 0x000000}));
}

TEST_F(PpmCorpus, SixteenBitSamplesAgreeWithTheEightBitTwin) {
    // The same picture at two depths; rounding the 16-bit samples may differ from the
    // 8-bit writer's by one step, never more.
    const std::optional<Picture> wide = Read("libtiff/rgb-3c-16b.ppm");
    const std::optional<Picture> narrow = Read("libtiff/rgb-3c-8b.ppm");
    ASSERT_TRUE(wide && narrow);
    ASSERT_EQ(wide->pixels.size(), narrow->pixels.size());
    int largest = 0;
    for (std::size_t i = 0; i < wide->pixels.size(); ++i) {
        for (const int shift : {0, 8, 16}) {
            const int a = static_cast<int>((wide->pixels[i] >> shift) & 0xFF);
            const int b = static_cast<int>((narrow->pixels[i] >> shift) & 0xFF);
            largest = std::max(largest, std::abs(a - b));
        }
    }
    EXPECT_LE(largest, 1);
}

} // namespace
