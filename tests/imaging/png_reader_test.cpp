#include "imaging/file_helpers.h"
#include "imaging/picture_writer.h"
#include "imaging/png_reader.h"
#include "imaging/png_test_support.h"

#include <gtest/gtest.h>
#include <map>

namespace {

constexpr BufferWord Word(unsigned red, unsigned green, unsigned blue) {
    return (red << 16) | (green << 8) | blue;
}

TEST(PngReader, DecodesEveryColourTypeToRgb) {
    // 1-bit grey, interlaced: 1 0 1 / 0 1 1
    TestPngSpec grey{3, 2, PNG_COLOR_TYPE_GRAY, 1, true, {}, {}, {0b10100000, 0b01100000}};
    auto picture = DecodePng(MakeTestPng(grey));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->pixels, (std::vector<BufferWord>{0xFFFFFF, 0, 0xFFFFFF, 0, 0xFFFFFF, 0xFFFFFF}));

    // 16-bit RGB: 0x8080 is exactly 128 in 8 bits.
    TestPngSpec deep{1, 1, PNG_COLOR_TYPE_RGB, 16, false, {}, {}, {0xFF, 0xFF, 0x80, 0x80, 0x00, 0x00}};
    picture = DecodePng(MakeTestPng(deep));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->pixels, (std::vector<BufferWord>{Word(255, 128, 0)}));

    // Palette with tRNS: entry 1 fully transparent becomes black, entry 2 half.
    TestPngSpec indexed{3,
                        1,
                        PNG_COLOR_TYPE_PALETTE,
                        8,
                        false,
                        {{10, 20, 30}, {200, 100, 50}, {200, 100, 50}},
                        {255, 0, 128},
                        {0, 1, 2}};
    picture = DecodePng(MakeTestPng(indexed));
    ASSERT_TRUE(picture);
    // 200 x 128 / 255 = 100.4, 100 x 128 / 255 = 50.2, 50 x 128 / 255 = 25.1
    EXPECT_EQ(picture->pixels, (std::vector<BufferWord>{Word(10, 20, 30), 0, Word(100, 50, 25)}));

    // Grey with alpha.
    TestPngSpec greyAlpha{2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, {}, {}, {200, 128, 77, 255}};
    picture = DecodePng(MakeTestPng(greyAlpha));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->pixels, (std::vector<BufferWord>{Word(100, 100, 100), Word(77, 77, 77)}));
}

// 8-bit RGB and RGBA files are unfiltered by the reader itself unless interlaced, when
// libpng does it: each filter type, with rows of one pixel and more, must agree.
TEST(PngReader, RowsReadDirectlyMatchLibpngForEveryFilter) {
    std::uint32_t seed = 12345;
    for (const int colourType : {PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_RGB_ALPHA}) {
        for (const int width : {1, 2, 37}) {
            for (const int filter :
                 {PNG_FILTER_NONE, PNG_FILTER_SUB, PNG_FILTER_UP, PNG_FILTER_AVG, PNG_FILTER_PAETH}) {
                TestPngSpec layout{width, 9, colourType, 8, false, {}, {}, {}};
                layout.filters = filter;
                layout.rows.resize(std::size_t(width) * 9 * (colourType == PNG_COLOR_TYPE_RGB ? 3 : 4));
                for (std::uint8_t& byte : layout.rows) {
                    seed = seed * 1103515245u + 12345u;
                    byte = static_cast<std::uint8_t>(seed >> 24);
                }
                const auto direct = DecodePng(MakeTestPng(layout));
                layout.interlaced = true;
                const auto throughLibpng = DecodePng(MakeTestPng(layout));
                ASSERT_TRUE(direct && throughLibpng) << colourType << " " << width << " " << filter;
                EXPECT_EQ(direct->pixels, throughLibpng->pixels)
                    << colourType << " " << width << " " << filter;
            }
        }
    }
}

TEST(PngReader, CheckReadsTheSizeFromTheHeaderOnly) {
    std::vector<std::uint8_t> png = *EncodePng(Picture{5, 3, std::vector<BufferWord>(15, 0)});
    const ReaderCheck check = CheckPng(png);
    EXPECT_TRUE(check.accepted);
    EXPECT_EQ(check.width, 5);
    EXPECT_EQ(check.height, 3);

    png[18] = 0x9C; // width 0x9C40 = 40000 in IHDR (CRC now wrong, never reached)
    png[19] = 0x40;
    png[22] = 0x9C;
    png[23] = 0x40;
    EXPECT_EQ(CheckPng(png).width, 40000);
    EXPECT_FALSE(DecodePng(png));
    // 20000 x 7000 pixels are hundreds of megabytes of rows: no deflate stream fits them in a few bytes.
    png[18] = 0x4E, png[19] = 0x20, png[22] = 0x1B, png[23] = 0x58;
    EXPECT_TRUE(CheckPng(png).accepted);
    EXPECT_NE(CheckPng(png).refusal, "");
    EXPECT_FALSE(DecodePng(png));

    EXPECT_FALSE(CheckPng(std::vector<std::uint8_t>(png.begin(), png.begin() + 20)).accepted);
    const std::vector<std::uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0};
    EXPECT_FALSE(CheckPng(gif).accepted);
    EXPECT_FALSE(DecodePng(gif));
}

// Cuts a small interlaced palette PNG at every length and flips every byte: nothing
// may crash or read outside the file (run under the sanitizers), cuts inside the
// pixel data must fail, and whatever decodes has the header's size.
TEST(PngReader, SurvivesTruncationAndFlippedBytes) {
    // A palette file goes through libpng alone; 8-bit RGBA is read directly.
    TestPngSpec indexed{7,          5, PNG_COLOR_TYPE_PALETTE, 4, true, {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}},
                        {255, 128}, {}};
    for (int i = 0; i < 20; ++i) {
        indexed.rows.push_back(std::uint8_t(i * 37 % 3 * 0x11));
    }
    TestPngSpec rgba{3, 4, PNG_COLOR_TYPE_RGB_ALPHA, 8, false, {}, {}, {}};
    for (int i = 0; i < 48; ++i) {
        rgba.rows.push_back(std::uint8_t(i * 53 % 256));
    }
    for (const TestPngSpec& layout : {indexed, rgba}) {
        const std::vector<std::uint8_t> file = MakeTestPng(layout);
        ASSERT_FALSE(file.empty());
        const auto whole = DecodePng(file);
        ASSERT_TRUE(whole);

        const std::size_t iend = file.size() - 12; // the 12-byte IEND chunk closes the file
        for (std::size_t length = 0; length < file.size(); ++length) {
            const std::span<const std::uint8_t> cut(file.data(), length);
            const auto picture = DecodePng(cut);
            if (length < iend - 4) { // before the last IDAT's CRC
                EXPECT_FALSE(picture) << "cut at " << length;
            } else if (length >= iend) {
                ASSERT_TRUE(picture) << "cut at " << length;
                EXPECT_EQ(picture->pixels, whole->pixels);
            }
        }
        int decoded = 0;
        for (std::size_t at = 0; at < file.size(); ++at) {
            std::vector<std::uint8_t> flipped = file;
            flipped[at] ^= 0xFF;
            if (const auto picture = DecodePng(flipped)) {
                ++decoded;
                EXPECT_EQ(std::size_t(picture->width) * std::size_t(picture->height), picture->pixels.size());
            }
        }
        // Every chunk carries a CRC, so only flips in the CRC-free signature tail or in
        // ancillary data could still decode; most must fail.
        EXPECT_LT(decoded, int(file.size()) / 4);
    }
}

TEST(PngReader, PngSuiteFromTheCorpus) {
    const std::filesystem::path folder = std::filesystem::path(QUILLMORPH_CORPUS) / "png" / "pngsuite";
    if (!std::filesystem::is_directory(folder)) {
        GTEST_SKIP() << "corpus folder " << folder << " is absent";
    }
    std::map<std::string, Picture> decoded;
    int valid = 0;
    for (const auto& path : FilesBelow(folder)) {
        if (path.extension() != ".png") {
            continue;
        }
        const std::string name = path.filename().string();
        const std::vector<std::uint8_t> bytes = ReadBytes(path);
        const auto picture = DecodePng(bytes);
        if (name[0] == 'x') { // deliberately corrupt files
            EXPECT_FALSE(picture) << name;
            continue;
        }
        ++valid;
        ASSERT_TRUE(picture) << name;
        const ReaderCheck check = CheckPng(bytes);
        EXPECT_EQ(picture->width, check.width) << name;
        EXPECT_EQ(picture->height, check.height) << name;
        decoded[name] = *picture;
    }
    EXPECT_GT(valid, 150);
    // An interlaced file decodes to the same pixels as its non-interlaced twin.
    int twins = 0;
    for (const auto& [name, picture] : decoded) {
        if (name.rfind("basi", 0) == 0) {
            const auto twin = decoded.find("basn" + name.substr(4));
            ASSERT_NE(twin, decoded.end()) << name;
            EXPECT_EQ(picture.pixels, twin->second.pixels) << name;
            ++twins;
        }
    }
    EXPECT_EQ(twins, 15);
}

TEST(PngReader, CrashReproducersFromTheCorpusFailOrDecodeCleanly) {
    const std::filesystem::path folder = std::filesystem::path(QUILLMORPH_CORPUS) / "png" / "corrupt";
    if (!std::filesystem::is_directory(folder)) {
        GTEST_SKIP() << "corpus folder " << folder << " is absent";
    }
    for (const auto& path : FilesBelow(folder)) {
        const auto picture = DecodePng(ReadBytes(path));
        if (picture) {
            EXPECT_EQ(std::size_t(picture->width) * std::size_t(picture->height), picture->pixels.size());
        }
        const std::string name = path.filename().string();
        if (name == "zero_width.png" || name == "missing_plte.png" || name == "badcrc.png") {
            EXPECT_FALSE(picture) << name;
        }
    }
}

} // namespace
