#include "imaging/file_helpers.h"
#include "imaging/own_readers_support.h"
#include "imaging/png_reader.h"
#include "imaging/tiff/tiff_reader.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <tiffio.h>

namespace {

struct TestTiffSpec {
    std::uint32_t width = 1;
    std::uint32_t height = 1;
    std::uint16_t samples = 3;
    std::uint16_t photometric = PHOTOMETRIC_RGB;
    std::uint16_t compression = COMPRESSION_NONE;
    bool unassociatedAlpha = false;
    std::vector<std::uint8_t> pixels; // 8-bit samples, contiguous, top row first
};

// Writes the TIFF through libtiff into a file of the folder and returns its bytes.
std::vector<std::uint8_t> MakeTestTiff(const TestTiffSpec& layout, const ScratchFolder& folder) {
    const std::string path = folder / "test.tif";
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    if (tiff == nullptr) {
        return {};
    }
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, layout.width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, layout.height);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, layout.samples);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, layout.photometric);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, layout.compression);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 2);
    if (layout.unassociatedAlpha) {
        const std::uint16_t extra[1] = {EXTRASAMPLE_UNASSALPHA};
        TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, extra);
    }
    std::vector<std::uint8_t> row(layout.width * layout.samples);
    for (std::uint32_t y = 0; y < layout.height; ++y) {
        std::copy_n(layout.pixels.begin() + long(y * row.size()), row.size(), row.begin());
        TIFFWriteScanline(tiff, row.data(), y, 0);
    }
    TIFFClose(tiff);
    return ReadBytes(path);
}

TEST(TiffReader, DecodesRgbGreyAndAlphaTopLeftFirst) {
    const ScratchFolder folder;
    TestTiffSpec rgb{3,
                     2,
                     3,
                     PHOTOMETRIC_RGB,
                     COMPRESSION_LZW,
                     false,
                     {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255, 0, 0, 0, 0x12, 0x34, 0x56}};
    const std::vector<std::uint8_t> file = MakeTestTiff(rgb, folder);
    const ReaderCheck check = CheckTiff(file);
    EXPECT_TRUE(check.accepted);
    EXPECT_EQ(check.width, 3);
    EXPECT_EQ(check.height, 2);
    auto picture = DecodeTiff(file);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->pixels,
              (std::vector<BufferWord>{0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0x123456}));

    TestTiffSpec grey{2, 1, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_PACKBITS, false, {0, 200}};
    picture = DecodeTiff(MakeTestTiff(grey, folder));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->pixels, (std::vector<BufferWord>{0, 0xC8C8C8}));

    // Fully transparent comes out black, opaque keeps its colour.
    TestTiffSpec alpha{2, 1, 4, PHOTOMETRIC_RGB, COMPRESSION_NONE, true, {10, 20, 30, 255, 200, 100, 50, 0}};
    picture = DecodeTiff(MakeTestTiff(alpha, folder));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->pixels, (std::vector<BufferWord>{0x0A141E, 0}));

    // libtiff itself drops the alpha sample of grey pictures.
    TestTiffSpec greyAlpha{2, 1, 2, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE, true, {200, 255, 200, 51}};
    picture = DecodeTiff(MakeTestTiff(greyAlpha, folder));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->pixels, (std::vector<BufferWord>{0xC8C8C8, 0x282828}));
}

TEST(TiffReader, DeclinesOtherFilesAndHugeSizes) {
    const ScratchFolder folder;
    const std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0};
    EXPECT_FALSE(CheckTiff(png).accepted);
    EXPECT_FALSE(DecodeTiff(png));
    const std::vector<std::uint8_t> headerOnly = {'I', 'I', 42, 0, 8, 0, 0, 0};
    EXPECT_FALSE(CheckTiff(headerOnly).accepted);

    // A header that claims 40000 x 40000 over a file of a few hundred bytes.
    TestTiffSpec small{4, 4, 3, PHOTOMETRIC_RGB, COMPRESSION_NONE, false, std::vector<std::uint8_t>(48, 7)};
    std::vector<std::uint8_t> file = MakeTestTiff(small, folder);
    int patched = 0;
    // Entries of the first IFD: tag, type, count, value (little-endian file).
    const std::size_t ifd = file[4] | (file[5] << 8) | (file[6] << 16) | (std::size_t(file[7]) << 24);
    const std::size_t entries = file[ifd] | (file[ifd + 1] << 8);
    for (std::size_t i = 0; i < entries; ++i) {
        const std::size_t at = ifd + 2 + i * 12;
        const unsigned tag = file[at] | (file[at + 1] << 8);
        if (tag == TIFFTAG_IMAGEWIDTH || tag == TIFFTAG_IMAGELENGTH) {
            const unsigned type = file[at + 2];
            file[at + 8] = 0x40; // 40000 = 0x9C40
            file[at + 9] = 0x9C;
            if (type == TIFF_LONG) {
                file[at + 10] = 0;
                file[at + 11] = 0;
            }
            ++patched;
        }
    }
    ASSERT_EQ(patched, 2);
    const ReaderCheck check = CheckTiff(file);
    EXPECT_TRUE(check.accepted);
    EXPECT_EQ(check.width, 40000);
    EXPECT_FALSE(DecodeTiff(file));
}

TEST(TiffReader, MalformedFilesFailCleanlyOrAreRefusedFromTheirHeader) {
    EXPECT_GT(CheckMalformedFiles(
                  "tiff", [](std::span<const std::uint8_t> file) { return DecodeTiff(file); },
                  [](std::span<const std::uint8_t> file) { return CheckTiff(file); }),
              0);
}

TEST(TiffReader, SurvivesTruncationAndFlippedBytes) {
    const ScratchFolder folder;
    TestTiffSpec layout{6, 5, 3, PHOTOMETRIC_RGB, COMPRESSION_LZW, false, {}};
    for (int i = 0; i < 90; ++i) {
        layout.pixels.push_back(std::uint8_t(i * 29));
    }
    const std::vector<std::uint8_t> file = MakeTestTiff(layout, folder);
    ASSERT_TRUE(DecodeTiff(file));
    int decoded = 0;
    for (std::size_t length = 0; length < file.size(); ++length) {
        if (const auto picture = DecodeTiff(std::span(file.data(), length))) {
            ++decoded;
            EXPECT_EQ(picture->pixels.size(), 30u);
        }
    }
    for (std::size_t at = 0; at < file.size(); ++at) {
        std::vector<std::uint8_t> flipped = file;
        flipped[at] ^= 0xFF;
        if (const auto picture = DecodeTiff(flipped)) {
            EXPECT_EQ(std::size_t(picture->width) * std::size_t(picture->height), picture->pixels.size());
        }
    }
    // libtiff writes the directory after the pixels, so a cut file has no directory.
    EXPECT_EQ(decoded, 0);
}

TEST(TiffReader, CorpusFilesDecodeAndMatchTheirReferences) {
    const std::filesystem::path folder = std::filesystem::path(QUILLMORPH_CORPUS) / "tiff";
    if (!std::filesystem::is_directory(folder)) {
        GTEST_SKIP() << "corpus folder " << folder << " is absent";
    }
    int accepted = 0;
    int decoded = 0;
    for (const auto& path : FilesBelow(folder)) {
        const std::vector<std::uint8_t> bytes = ReadBytes(path);
        if (!CheckTiff(bytes).accepted) {
            continue;
        }
        ++accepted;
        decoded += DecodeTiff(bytes) ? 1 : 0;
    }
    std::printf("corpus TIFF: %d accepted, %d decoded\n", accepted, decoded);
    EXPECT_GE(decoded, accepted - 12);

    // Every layout of the ImageMagick set decodes, but for 4-bit grey with alpha,
    // which libtiff's RGBA interface does not handle.
    for (const auto& path : FilesBelow(folder / "imagemagick")) {
        EXPECT_EQ(DecodeTiff(ReadBytes(path)).has_value(), path.filename() != "input_gray_4bit_matte.tiff")
            << path;
    }
    // Bilevel files against the renderings a test suite ships with them.
    for (const char* name : {"l1.tiff", "fax4.tiff"}) {
        const auto picture = DecodeTiff(ReadBytes(folder / "image-rs" / name));
        const auto reference =
            DecodePng(ReadBytes(folder / "image-rs" / "reference" / (std::string(name) + ".png")));
        ASSERT_TRUE(picture) << name;
        ASSERT_TRUE(reference) << name;
        EXPECT_EQ(picture->width, reference->width) << name;
        EXPECT_EQ(picture->pixels, reference->pixels) << name;
    }
    // One picture stored in all eight orientations shows the same way up; 5 to 8 transpose.
    // The files differ from each other in about 100 of their 51,920 pixels (the same
    // differences another decoder shows); a picture turned the wrong way in thousands.
    const auto upright = DecodeTiff(ReadBytes(folder / "pillow-orientation" / "g4_orientation_1.tif"));
    ASSERT_TRUE(upright);
    for (int orientation = 2; orientation <= 8; ++orientation) {
        const std::vector<std::uint8_t> bytes = ReadBytes(
            folder / "pillow-orientation" / ("g4_orientation_" + std::to_string(orientation) + ".tif"));
        const auto picture = DecodeTiff(bytes);
        ASSERT_TRUE(picture) << orientation;
        EXPECT_EQ(CheckTiff(bytes).width, picture->width) << orientation;
        ASSERT_EQ(picture->pixels.size(), upright->pixels.size()) << orientation;
        long different = 0;
        for (std::size_t i = 0; i < picture->pixels.size(); ++i) {
            different += picture->pixels[i] != upright->pixels[i] ? 1 : 0;
        }
        EXPECT_LT(different, 300) << orientation;
    }
}

} // namespace
