#include "imaging/file_helpers.h"
#include "imaging/picture_reader.h"
#include "imaging/picture_writer.h"
#include "imaging/png_reader.h"

#include <gtest/gtest.h>

namespace {

// A reader that accepts files starting with its tag and records what was asked of it.
struct FakeReader {
    std::string tag;
    bool decodes = true;
    std::int64_t width = 2;
    int checks = 0;
    int decodes_called = 0;
};

PictureReader MakeReader(FakeReader& fake) {
    return {fake.tag,
            [&fake](std::span<const std::uint8_t> file, std::string_view) {
                ++fake.checks;
                const bool mine = file.size() >= fake.tag.size() &&
                                  std::equal(fake.tag.begin(), fake.tag.end(), file.begin());
                return ReaderCheck{mine, fake.width, 1};
            },
            [&fake](std::span<const std::uint8_t>, std::string_view) -> std::optional<Picture> {
                ++fake.decodes_called;
                if (!fake.decodes) {
                    return std::nullopt;
                }
                return Picture{int(fake.width), 1, std::vector<BufferWord>(std::size_t(fake.width), 0)};
            }};
}

std::vector<std::uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

class PictureReaderChain : public ::testing::Test {
  protected:
    void TearDown() override { ClearPictureReaders(); }
};

TEST_F(PictureReaderChain, TheFirstReaderThatAcceptsDecodesAndItsFailureFailsTheLoad) {
    FakeReader first{"AB", false};
    FakeReader second{"A"};
    RegisterPictureReader(MakeReader(first));
    RegisterPictureReader(MakeReader(second));
    EXPECT_EQ(RegisteredPictureReaderNames(), (std::vector<std::string>{"AB", "A"}));

    // The first accepts but fails to decode: the load fails and the second is never asked.
    DecodeResult result = DecodePictureBytes(Bytes("ABC"), "x");
    EXPECT_FALSE(result.picture);
    EXPECT_EQ(result.readerName, "AB");
    EXPECT_NE(result.reason.find("AB reader could not decode"), std::string::npos) << result.reason;
    EXPECT_EQ(first.decodes_called, 1);
    EXPECT_EQ(second.checks, 0);

    // Declined by the first, taken by the second.
    result = DecodePictureBytes(Bytes("AX"), "x");
    ASSERT_TRUE(result.picture);
    EXPECT_EQ(result.readerName, "A");
    EXPECT_EQ(second.decodes_called, 1);

    result = DecodePictureBytes(Bytes("Z"), "x");
    EXPECT_FALSE(result.picture);
    EXPECT_EQ(result.reason, "No reader recognises the file.");
}

TEST_F(PictureReaderChain, ARefusalFromTheCheckEndsTheLoadWithItsReason) {
    FakeReader refusing{"R"};
    FakeReader later{"R"};
    PictureReader reader = MakeReader(refusing);
    reader.check = [](std::span<const std::uint8_t>, std::string_view) {
        return ReaderCheck{true, 2, 1, "too short"};
    };
    RegisterPictureReader(std::move(reader));
    RegisterPictureReader(MakeReader(later));
    const DecodeResult result = DecodePictureBytes(Bytes("R"), "x");
    EXPECT_FALSE(result.picture);
    EXPECT_EQ(result.reason, "too short");
    EXPECT_EQ(refusing.decodes_called, 0);
    EXPECT_EQ(later.checks, 0);
}

TEST_F(PictureReaderChain, SizesBeyondTheLimitsAreRefusedBeforeDecoding) {
    FakeReader huge{"H"};
    huge.width = 40000;
    FakeReader later{"H"};
    RegisterPictureReader(MakeReader(huge));
    RegisterPictureReader(MakeReader(later));
    const DecodeResult result = DecodePictureBytes(Bytes("H"), "x");
    EXPECT_FALSE(result.picture);
    EXPECT_EQ(result.readerName, "H");
    EXPECT_NE(result.reason.find("40000 x 1"), std::string::npos) << result.reason;
    EXPECT_EQ(huge.decodes_called, 0);
    EXPECT_EQ(later.checks, 0);
}

TEST_F(PictureReaderChain, APngClaiming40000By40000IsRefusedFromItsHeader) {
    RegisterPictureReader(PngPictureReader());
    std::vector<std::uint8_t> png = *EncodePng(Picture{1, 1, {0}});
    png[18] = 0x9C, png[19] = 0x40, png[22] = 0x9C, png[23] = 0x40;
    const DecodeResult result = DecodePictureBytes(png, "big.png");
    EXPECT_FALSE(result.picture);
    EXPECT_EQ(result.readerName, "PNG");
    EXPECT_NE(result.reason.find("40000 x 40000"), std::string::npos) << result.reason;
}

TEST_F(PictureReaderChain, FilesAreReadWholeAndFoldersFail) {
    RegisterPictureReader(PngPictureReader());
    const ScratchFolder folder;
    const Picture picture{2, 1, {0x102030, 0x405060}};
    WriteBytes(folder / "p.png", *EncodePng(picture));
    DecodeResult result = DecodePictureFile(folder / "p.png");
    ASSERT_TRUE(result.picture) << result.reason;
    EXPECT_EQ(result.picture->pixels, picture.pixels);
    EXPECT_EQ(result.readerName, "PNG");

    result = DecodePictureFile(folder.path.string());
    EXPECT_FALSE(result.picture);
    EXPECT_FALSE(result.reason.empty());
    result = DecodePictureFile(folder / "absent.png");
    EXPECT_FALSE(result.picture);
    WriteBytes(folder / "empty.png", {});
    result = DecodePictureFile(folder / "empty.png");
    EXPECT_EQ(result.reason, "No reader recognises the file.");
}

} // namespace
