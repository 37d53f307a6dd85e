#include "imaging/file_helpers.h"
#include "imaging/jpeg_reader.h"
#include "imaging/picture_orientation.h"
#include "imaging/picture_writer.h"

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <jpeglib.h>

namespace {

std::filesystem::path Corpus(const char* folder) {
    return std::filesystem::path(QUILLMORPH_CORPUS) / "jpeg" / folder;
}

// The largest difference of any channel of any pixel.
int MaxDifference(const Picture& a, const Picture& b) {
    int worst = 0;
    for (std::size_t i = 0; i < a.pixels.size(); ++i) {
        for (int shift = 0; shift < 24; shift += 8) {
            worst = std::max(worst, std::abs(static_cast<int>((a.pixels[i] >> shift) & 0xFF) -
                                             static_cast<int>((b.pixels[i] >> shift) & 0xFF)));
        }
    }
    return worst;
}

double MeanDifference(const Picture& a, const Picture& b) {
    double total = 0;
    for (std::size_t i = 0; i < a.pixels.size(); ++i) {
        for (int shift = 0; shift < 24; shift += 8) {
            total += std::abs(static_cast<int>((a.pixels[i] >> shift) & 0xFF) -
                              static_cast<int>((b.pixels[i] >> shift) & 0xFF));
        }
    }
    return total / (3.0 * static_cast<double>(a.pixels.size()));
}

TEST(JpegReaderTest, OurOwnJpegReadsBackClose) {
    Picture picture{16, 8, std::vector<BufferWord>(128)};
    for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
        picture.pixels[i] = i < 64 ? 0x00FF0000u : 0x000000FFu; // red top, blue bottom
    }
    const auto bytes = *EncodeJpeg(picture);
    const ReaderCheck check = CheckJpegPicture(bytes);
    ASSERT_TRUE(check.accepted);
    EXPECT_EQ(check.width, 16);
    EXPECT_EQ(check.height, 8);
    const auto decoded = ReadJpegPicture(bytes);
    ASSERT_TRUE(decoded);
    // Chroma is subsampled at quality 70, so only pixels away from the edge are close.
    EXPECT_LE(MaxDifference(Picture{16, 1, {decoded->pixels.begin(), decoded->pixels.begin() + 16}},
                            Picture{16, 1, {picture.pixels.begin(), picture.pixels.begin() + 16}}),
              24);
    EXPECT_LT(MeanDifference(*decoded, picture), 16.0);
    for (const BufferWord word : decoded->pixels) {
        EXPECT_EQ(word >> 24, 0u);
    }
}

TEST(JpegReaderTest, TruncatedAndForeignFilesFailCleanly) {
    Picture picture{40, 30, std::vector<BufferWord>(1200, 0x00406080u)};
    const auto bytes = *EncodeJpeg(picture);
    for (std::size_t length = 0; length < bytes.size(); length += 7) {
        const std::span<const std::uint8_t> cut(bytes.data(), length);
        (void)CheckJpegPicture(cut);
        (void)ReadJpegPicture(cut); // a cut body may still decode; it must not crash
    }
    const std::vector<std::uint8_t> png = *EncodePng(picture);
    EXPECT_FALSE(CheckJpegPicture(png).accepted);
    EXPECT_FALSE(ReadJpegPicture(png));
    // A header that claims 65500 x 65500 is refused before any pixel is decoded.
    std::vector<std::uint8_t> huge = bytes;
    for (std::size_t i = 2; i + 8 < huge.size(); ++i) {
        if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
            huge[i + 5] = 0xFF, huge[i + 6] = 0xDC, huge[i + 7] = 0xFF, huge[i + 8] = 0xDC;
            break;
        }
    }
    EXPECT_TRUE(CheckJpegPicture(huge).accepted);
    EXPECT_FALSE(ReadJpegPicture(huge));
}

TEST(JpegReaderTest, ExifOrientationTag) {
    // "Exif\0\0", little-endian TIFF header, one directory entry: orientation 6.
    const std::vector<std::uint8_t> app1{'E', 'x', 'i',  'f',  0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0,
                                         1,   0,   0x12, 0x01, 3, 0, 1,   0,   0,  0, 6, 0, 0, 0};
    EXPECT_EQ(JpegExifOrientation(app1), 6);
    std::vector<std::uint8_t> bigEndian{'E', 'x', 'i',  'f',  0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8,
                                        0,   1,   0x01, 0x12, 0, 3, 0,   0,   0, 1,  0, 8, 0, 0};
    EXPECT_EQ(JpegExifOrientation(bigEndian), 8);
    bigEndian.resize(20); // entry cut short
    EXPECT_EQ(JpegExifOrientation(bigEndian), 1);
    EXPECT_EQ(JpegExifOrientation({}), 1);
}

TEST(JpegReaderTest, OrientTurnsPicturesAsTheTagSays) {
    // 3 x 2: a b c / d e f
    const Picture start{3, 2, {'a', 'b', 'c', 'd', 'e', 'f'}};
    const auto pixels = [](const Picture& p) { return std::string(p.pixels.begin(), p.pixels.end()); };
    EXPECT_EQ(pixels(Orient(start, 1)), "abcdef");
    EXPECT_EQ(pixels(Orient(start, 2)), "cbafed");
    EXPECT_EQ(pixels(Orient(start, 3)), "fedcba");
    EXPECT_EQ(pixels(Orient(start, 4)), "defabc");
    EXPECT_EQ(pixels(Orient(start, 5)), "adbecf");
    EXPECT_EQ(pixels(Orient(start, 6)), "daebfc"); // clockwise
    EXPECT_EQ(pixels(Orient(start, 7)), "fcebda");
    EXPECT_EQ(pixels(Orient(start, 8)), "cfbead"); // anticlockwise
    EXPECT_EQ(Orient(start, 6).width, 2);
}

TEST(JpegReaderTest, CorpusOrientationsAllShowTheSamePicture) {
    const auto folder = Corpus("exif-orientation/pillow");
    if (!std::filesystem::exists(folder)) {
        GTEST_SKIP() << "the shared picture corpus is not beside this checkout";
    }
    const auto upright = ReadJpegPicture(ReadBytes(folder / "hopper.jpg"));
    ASSERT_TRUE(upright);
    for (int n = 2; n <= 8; ++n) {
        const auto turned =
            ReadJpegPicture(ReadBytes(folder / ("hopper_orientation_" + std::to_string(n) + ".jpg")));
        ASSERT_TRUE(turned) << n;
        ASSERT_EQ(turned->width, upright->width) << n;
        ASSERT_EQ(turned->height, upright->height) << n;
        // Each file is its own lossy copy, so compare against a wrong turn as well.
        const double right = MeanDifference(*turned, *upright);
        const double wrong = MeanDifference(Orient(*turned, 3), *upright);
        EXPECT_LT(right, 6.0) << n;
        EXPECT_GT(wrong, 4 * right) << n;
    }
}

TEST(JpegReaderTest, CmykMatchesItsRgbTwinAndBrokenFilesDoNotCrash) {
    const auto cmykFolder = Corpus("cmyk/pillow");
    if (!std::filesystem::exists(cmykFolder)) {
        GTEST_SKIP() << "the shared picture corpus is not beside this checkout";
    }
    const auto cmyk = ReadJpegPicture(ReadBytes(cmykFolder / "pil_sample_cmyk.jpg"));
    const auto rgb = ReadJpegPicture(ReadBytes(cmykFolder / "pil_sample_rgb.jpg"));
    ASSERT_TRUE(cmyk && rgb);
    ASSERT_EQ(cmyk->width, rgb->width);
    EXPECT_LT(MeanDifference(*cmyk, *rgb), 12.0);
    for (const auto& entry : std::filesystem::directory_iterator(Corpus("broken/twelvemonkeys"))) {
        const auto bytes = ReadBytes(entry.path());
        (void)CheckJpegPicture(bytes);
        (void)ReadJpegPicture(bytes);
    }
}

// A grey progressive JPEG with one DC scan and then `acScans` single-coefficient scans:
// coefficients 1-63 in turn, first from bit 8, then refined one bit a pass (up to 567).
std::vector<std::uint8_t> ProgressiveJpeg(int width, int height, int acScans, bool arithmetic = false) {
    std::vector<jpeg_scan_info> script;
    script.push_back({1, {0}, 0, 0, 0, 0});
    for (int i = 0; i < acScans; ++i) {
        const int coefficient = 1 + i % 63;
        const int pass = i / 63;
        script.push_back({1, {0}, coefficient, coefficient, pass == 0 ? 0 : 9 - pass, 8 - pass});
    }
    jpeg_compress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 1;
    info.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    info.arith_code = arithmetic ? TRUE : FALSE;
    info.scan_info = script.data();
    info.num_scans = static_cast<int>(script.size());
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(static_cast<std::size_t>(width));
    while (info.next_scanline < info.image_height) {
        for (int x = 0; x < width; ++x) {
            row[static_cast<std::size_t>(x)] =
                static_cast<JSAMPLE>((x * 7 + static_cast<int>(info.next_scanline) * 3) & 0xFF);
        }
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&info, &pointer, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<std::uint8_t> bytes(buffer, buffer + size);
    std::free(buffer);
    return bytes;
}

TEST(JpegReaderTest, ProgressiveFilesAreBoundedInScansAndBySize) {
    // 1 + 126 scans decode; 1 + 126 + 63 * 6 = 505 scans pass the limit of 500.
    EXPECT_TRUE(ReadJpegPicture(ProgressiveJpeg(16, 16, 126)));
    EXPECT_FALSE(ReadJpegPicture(ProgressiveJpeg(16, 16, 126 + 63 * 6)));
    // A header claiming 12000 x 12000 over a few kilobytes cannot hold a bit a block.
    std::vector<std::uint8_t> huge = ProgressiveJpeg(16, 16, 126);
    for (std::size_t i = 2; i + 8 < huge.size(); ++i) {
        if (huge[i] == 0xFF && huge[i + 1] == 0xC2) {
            huge[i + 5] = 0x2E, huge[i + 6] = 0xE0, huge[i + 7] = 0x2E, huge[i + 8] = 0xE0;
            break;
        }
    }
    const ReaderCheck check = CheckJpegPicture(huge);
    EXPECT_TRUE(check.accepted);
    EXPECT_EQ(check.width, 12000);
    EXPECT_NE(check.refusal, "");
    EXPECT_FALSE(ReadJpegPicture(huge));
}

// Arithmetic coding holds a large flat picture in a few bytes, so its size is not
// judged; each of its scans still visits every block.
TEST(JpegReaderTest, ArithmeticScansAreBoundedInBlockVisits) {
    // 2048 x 2048 is 65,536 blocks: 11 scans decode, 127 visit each block too often.
    const auto few = ReadJpegPicture(ProgressiveJpeg(2048, 2048, 10, true));
    ASSERT_TRUE(few);
    EXPECT_EQ(few->width, 2048);
    EXPECT_FALSE(ReadJpegPicture(ProgressiveJpeg(2048, 2048, 126, true)));
}

} // namespace

namespace {

// Asked for at least a size, the reader picks the smallest of libjpeg's eighths that
// still gives it on each side as shown, turned orientations included.
TEST(JpegReaderTest, ReducedDecodingGivesAtLeastTheSizeAskedFor) {
    Picture picture{200, 120, std::vector<BufferWord>(200 * 120)};
    for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
        picture.pixels[i] = (i % 200 < 100 ? 0x00FF0000u : 0x0000FF00u); // red left, green right
    }
    const auto bytes = *EncodeJpeg(picture);
    struct Case {
        DecodeSize atLeast;
        int width;
        int height;
    };
    for (const Case& c : {Case{{25, 15}, 25, 15}, Case{{26, 10}, 50, 30}, Case{{60, 80}, 150, 90},
                          Case{{199, 1}, 200, 120}, Case{{0, 0}, 25, 15}, Case{{400, 400}, 200, 120}}) {
        const auto decoded = ReadJpegPicture(bytes, c.atLeast);
        ASSERT_TRUE(decoded) << c.atLeast.width;
        EXPECT_EQ(decoded->width, c.width) << c.atLeast.width << " x " << c.atLeast.height;
        EXPECT_EQ(decoded->height, c.height) << c.atLeast.width << " x " << c.atLeast.height;
        // Still the same picture: red on the left, green on the right.
        EXPECT_EQ(decoded->pixels.front() & 0x00F0F0F0u, 0x00F00000u);
        EXPECT_EQ(decoded->pixels.back() & 0x00F0F0F0u, 0x0000F000u);
    }
    const auto folder = Corpus("exif-orientation/pillow");
    if (std::filesystem::exists(folder)) {
        const auto turned = ReadBytes(folder / "hopper_orientation_6.jpg"); // stored on its side
        const ReaderCheck check = CheckJpegPicture(turned);
        const auto reduced = ReadJpegPicture(turned, DecodeSize{check.width / 2, check.height / 2});
        ASSERT_TRUE(reduced);
        EXPECT_EQ(reduced->width, (check.width + 1) / 2);
        EXPECT_EQ(reduced->height, (check.height + 1) / 2);
    }
}

} // namespace
