#include "disc/picture_disc.h"

#include <gtest/gtest.h>

namespace {

DiscPicture Picture(const std::string& name, int mode, std::size_t bytes) {
    return {DumpFile(name, mode, std::vector<std::uint8_t>(bytes, 0x11)), {0, 1, 2, 3, 4, 5, 6, 7}};
}

TEST(PictureDiscTest, SidecarsGiveNameAndAddresses) {
    EXPECT_EQ(SidecarName("my pic.scr"), "MYPIC.S");
    EXPECT_EQ(SidecarName("a"), "A");
    std::string reason;
    const auto file = ParseSidecar("P.SHOT     FFFF5800 FFFF8023 002800\r\n", reason);
    ASSERT_TRUE(file) << reason;
    EXPECT_EQ(file->directory, 'P');
    EXPECT_EQ(file->name, "SHOT");
    EXPECT_EQ(file->load, 0xFFFF5800u);
    EXPECT_EQ(file->exec, 0xFFFF8023u);
    const auto plain = ParseSidecar("SHOT 3000", reason);
    ASSERT_TRUE(plain) << reason;
    EXPECT_EQ(plain->directory, '$');
    EXPECT_EQ(plain->exec, 0u);
    EXPECT_FALSE(ParseSidecar("$.SHOT", reason));
    EXPECT_FALSE(ParseSidecar("$.SHOT 3000G 0", reason));
    EXPECT_FALSE(ParseSidecar("$.SHOT 123456789 0", reason));
}

TEST(PictureDiscTest, OnlyWholeScreensAtTheModesAddressGoOnADisc) {
    for (const std::size_t lines : {256, 240, 200}) {
        EXPECT_FALSE(PictureProblem(Picture("P", 2, lines * 80), 2)) << lines;
        EXPECT_FALSE(PictureProblem(Picture("P", 8, lines * 40), 8)) << lines;
    }
    EXPECT_EQ(PictureProblem(Picture("P", 4, 20480), 1),
              "it loads at &5800, not at the screen of Mode 1 (&3000)");
    EXPECT_EQ(PictureProblem(Picture("P", 1, 20479), 1),
              "20479 bytes is no Mode 1 screen of 256, 240 or 200 lines (20480, 19200 or 16000 bytes)");
    EXPECT_FALSE(PictureProblem(Picture("P", 5, 0), 5) == std::nullopt);
}

TEST(PictureDiscTest, NineModeTwoPicturesFitAndTheTenthIsRefused) {
    std::vector<DiscPicture> pictures;
    for (int i = 0; i < 10; ++i) {
        pictures.push_back(Picture("PIC" + std::to_string(i), 2, 20480));
    }
    EXPECT_EQ(PicturesThatFit(2, pictures), 9u);
    std::string reason;
    EXPECT_FALSE(BuildPictureDisc("T", 2, pictures, reason));
    EXPECT_EQ(reason, "10 pictures do not fit on one disc; 9 do");
    pictures.pop_back();
    const auto image = BuildPictureDisc("T", 2, pictures, reason);
    ASSERT_TRUE(image) << reason;
    EXPECT_EQ((*image)[256 + 5], 10 * 8);
    EXPECT_EQ((*image)[256 + 6] >> 4, 3);
}

TEST(PictureDiscTest, APictureCannotTakeTheLoadersName) {
    EXPECT_EQ(NameProblem({Picture("!boot", 5, 10240)}),
              "two files would both be named '$.!boot' on the disc");
    EXPECT_FALSE(NameProblem({Picture("PIC", 5, 10240)}));
}

} // namespace
