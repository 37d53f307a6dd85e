#include "imaging/file_helpers.h"
#include "imaging/picture_writer.h"
#include "imaging/png_reader.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <zlib.h>

namespace {

// 3 x 2: red, green, blue / white, black, a grey with distinct channels.
Picture SmallPicture() {
    return Picture{3, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0x123456}};
}

std::uint32_t BigEndian32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return (std::uint32_t{bytes[at]} << 24) | (std::uint32_t{bytes[at + 1]} << 16) |
           (std::uint32_t{bytes[at + 2]} << 8) | bytes[at + 3];
}

TEST(PictureWriter, BmpBytesAreExact) {
    const auto bmp = EncodeBmp(SmallPicture());
    ASSERT_TRUE(bmp);
    // Rows of 3 pixels are 9 bytes, padded to 12; the bottom row comes first.
    const std::vector<std::uint8_t> expected = {
        'B',  'M',  78,   0, 0,    0, 0,    0,    0,    0, 54, 0, 0, 0,                    // file header
        40,   0,    0,    0, 3,    0, 0,    0,    2,    0, 0,  0, 1, 0, 24, 0, 0, 0, 0, 0, // info header
        24,   0,    0,    0, 0,    0, 0,    0,    0,    0, 0,  0, 0, 0, 0,  0, 0, 0, 0, 0,
        0xFF, 0xFF, 0xFF, 0, 0,    0, 0x56, 0x34, 0x12, 0, 0,  0, // white, black, grey
        0,    0,    0xFF, 0, 0xFF, 0, 0xFF, 0,    0,    0, 0,  0, // red, green, blue
    };
    EXPECT_EQ(*bmp, expected);
}

TEST(PictureWriter, PngRoundTripsAndUsesTheStatedSettings) {
    const Picture picture = SmallPicture();
    const auto png = EncodePng(picture);
    ASSERT_TRUE(png);
    const auto back = DecodePng(*png);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->width, 3);
    EXPECT_EQ(back->height, 2);
    EXPECT_EQ(back->pixels, picture.pixels);

    const std::vector<std::uint8_t>& bytes = *png;
    EXPECT_EQ(bytes[24], 8); // bit depth
    EXPECT_EQ(bytes[25], 2); // colour type RGB
    EXPECT_EQ(bytes[28], 0); // not interlaced
    // Gather the IDAT data: zlib's header says level 9, and every row's filter byte is 0.
    std::vector<std::uint8_t> idat;
    for (std::size_t at = 8; at + 8 <= bytes.size();) {
        const std::uint32_t length = BigEndian32(bytes, at);
        if (std::memcmp(&bytes[at + 4], "IDAT", 4) == 0) {
            idat.insert(idat.end(), bytes.begin() + long(at + 8), bytes.begin() + long(at + 8 + length));
        }
        at += 12 + length;
    }
    ASSERT_GE(idat.size(), 2u);
    EXPECT_EQ(idat[1] >> 6, 3) << "zlib compression level field";
    std::vector<std::uint8_t> raw(2 * (1 + 9));
    uLongf rawSize = raw.size();
    ASSERT_EQ(uncompress(raw.data(), &rawSize, idat.data(), idat.size()), Z_OK);
    ASSERT_EQ(rawSize, raw.size());
    EXPECT_EQ(raw[0], 0);
    EXPECT_EQ(raw[10], 0);
}

struct JpegProbe {
    jpeg_error_mgr errors{};
    std::jmp_buf jump{};
};

[[noreturn]] void ProbeError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegProbe*>(info->err)->jump, 1);
}

// Decodes a JPEG fully with libjpeg; returns width and height, or 0 x 0.
bool DecodeJpegSize(const std::vector<std::uint8_t>& bytes, jpeg_decompress_struct& d, JpegProbe& probe,
                    std::vector<JSAMPLE>& row, int& width, int& height) {
    if (setjmp(probe.jump)) {
        return false;
    }
    jpeg_mem_src(&d, bytes.data(), bytes.size());
    jpeg_read_header(&d, TRUE);
    jpeg_start_decompress(&d);
    row.resize(std::size_t(d.output_width) * d.output_components);
    while (d.output_scanline < d.output_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_read_scanlines(&d, rows, 1);
    }
    width = int(d.output_width);
    height = int(d.output_height);
    jpeg_finish_decompress(&d);
    return true;
}

TEST(PictureWriter, JpegDecodesToTheRightSizeAndColours) {
    Picture picture{40, 24, std::vector<BufferWord>(40 * 24, 0xFF0000)}; // all red
    const auto jpeg = EncodeJpeg(picture);
    ASSERT_TRUE(jpeg);
    JpegProbe probe;
    jpeg_decompress_struct d{};
    d.err = jpeg_std_error(&probe.errors);
    probe.errors.error_exit = ProbeError;
    jpeg_create_decompress(&d);
    std::vector<JSAMPLE> row;
    int width = 0;
    int height = 0;
    const bool ok = DecodeJpegSize(*jpeg, d, probe, row, width, height);
    jpeg_destroy_decompress(&d);
    ASSERT_TRUE(ok);
    EXPECT_EQ(width, 40);
    EXPECT_EQ(height, 24);
    EXPECT_NEAR(row[0], 255, 3); // the last row's first pixel, still red after quality 70
    EXPECT_NEAR(row[1], 0, 3);
    EXPECT_NEAR(row[2], 0, 3);
}

TEST(PictureWriter, EmptyPicturesAreNotEncoded) {
    EXPECT_FALSE(EncodePng(Picture{}));
    EXPECT_FALSE(EncodeJpeg(Picture{}));
    EXPECT_FALSE(EncodeBmp(Picture{2, 2, {}}));
}

TEST(PictureWriter, WritersStoreTheFilesAndNameThemOnFailure) {
    const ScratchFolder folder;
    std::string reason;
    ASSERT_TRUE(WritePngFile(SmallPicture(), folder / "a.png", reason)) << reason;
    ASSERT_TRUE(WriteBmpFile(SmallPicture(), folder / "a.bmp", reason)) << reason;
    ASSERT_TRUE(WriteJpegFile(SmallPicture(), folder / "a.jpg", reason)) << reason;
    EXPECT_EQ(DecodePng(ReadBytes(folder / "a.png"))->pixels, SmallPicture().pixels);
    EXPECT_EQ(ReadBytes(folder / "a.bmp"), *EncodeBmp(SmallPicture()));

    const std::string missing = folder / "no-such-folder/b.png";
    EXPECT_FALSE(WritePngFile(SmallPicture(), missing, reason));
    EXPECT_NE(reason.find(missing), std::string::npos) << reason;
}

} // namespace
