#include "imaging/file_helpers.h"
#include "imaging/picture_reader.h"
#include "imaging/picture_writer.h"
#include "pipeline/picture_readers.h"
#include "platform/metafile_builders.h"
#include "platform/metafile_sandbox.h"

#include <gtest/gtest.h>

namespace {

class PictureReadersTest : public ::testing::Test {
  protected:
    void SetUp() override { SetMetafileHelperPath(QUILLMORPH_METAFILE_HELPER); }
    void TearDown() override { ClearPictureReaders(); }
};

TEST_F(PictureReadersTest, RegistersTheProgramsReadersInOrder) {
    RegisterPictureReaders();
    RegisterPictureReaders(); // registering again replaces, never doubles
    EXPECT_EQ(RegisteredPictureReaderNames(),
              (std::vector<std::string>{"bitmap loader", "icon loader", "PNG", "PPM", "TGA", "TIFF", "JPEG",
                                        "platform loader", "WMF", "EMF", "IFF/ILBM"}));
}

TEST_F(PictureReadersTest, EachFormatReachesItsReader) {
    RegisterPictureReaders();
    const Picture picture{3, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0x123456}};
    DecodeResult result = DecodePictureBytes(*EncodePng(picture), "a.png");
    EXPECT_EQ(result.readerName, "PNG");
    ASSERT_TRUE(result.picture);
    EXPECT_EQ(result.picture->pixels, picture.pixels);

    result = DecodePictureBytes(*EncodeBmp(picture), "a.bmp");
    EXPECT_EQ(result.readerName, "bitmap loader");
    ASSERT_TRUE(result.picture);
    EXPECT_EQ(result.picture->pixels, picture.pixels);

    result = DecodePictureBytes(*EncodeJpeg(picture), "a.jpg");
    EXPECT_EQ(result.readerName, "JPEG");
    EXPECT_TRUE(result.picture);

    // Our own readers take their formats from the middle of the chain.
    const std::string ppm = "P3 1 1 255 10 20 30";
    result =
        DecodePictureBytes(std::span(reinterpret_cast<const std::uint8_t*>(ppm.data()), ppm.size()), "a.ppm");
    EXPECT_EQ(result.readerName, "PPM");

    // An uncompressed Targa file begins 00 00 02 00, as a cursor does; the icon loader
    // before it in the chain must leave it alone.
    const std::vector<std::uint8_t> tga = {0, 0, 2, 0, 0, 0,  0,    0,  0,  0, 0,
                                           0, 1, 0, 1, 0, 24, 0x20, 30, 20, 10};
    result = DecodePictureBytes(tga, "a.tga");
    EXPECT_EQ(result.readerName, "TGA");
    ASSERT_TRUE(result.picture);
    EXPECT_EQ(result.picture->pixels, (std::vector<BufferWord>{0x0A141E}));

    const std::string text = "not a picture";
    result =
        DecodePictureBytes(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), "t");
    EXPECT_FALSE(result.picture);
    EXPECT_EQ(result.reason, "No reader recognises the file.");
}

TEST_F(PictureReadersTest, MetafilesReachTheMetafileReaders) {
    RegisterPictureReaders();
    const ScratchFolder folder;
    WriteBytes(folder / "square.wmf", metafile_test::RedSquareWmf(true));
    WriteBytes(folder / "square.emf", metafile_test::RedSquareEmf());
    DecodeResult result = DecodePictureFile(folder / "square.wmf");
    EXPECT_EQ(result.readerName, "WMF");
    ASSERT_TRUE(result.picture);
    EXPECT_EQ(result.picture->width, 96);
    result = DecodePictureFile(folder / "square.emf");
    EXPECT_EQ(result.readerName, "EMF");
    ASSERT_TRUE(result.picture);
    EXPECT_EQ(result.picture->width, 96);

    // An empty box is the metafile reader's file, refused for its size before any drawing.
    WriteBytes(folder / "empty.wmf", metafile_test::RedSquareWmf(true, 0, 0, 1000));
    result = DecodePictureFile(folder / "empty.wmf");
    EXPECT_EQ(result.readerName, "WMF");
    EXPECT_FALSE(result.picture);
    EXPECT_EQ(result.reason, "The picture's header gives an empty size of 0 x 0 pixels.");
}

} // namespace
