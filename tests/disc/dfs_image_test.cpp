#include "disc/dfs_image.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::uint8_t> Image(const std::vector<DfsFile>& files, std::string& reason) {
    return BuildDfsImage("A LONG DISC TITLE", DfsBootOption::Exec, files, reason)
        .value_or(std::vector<std::uint8_t>{});
}

TEST(DfsImageTest, CatalogueDescribesEveryFileAsTheFilingSystemReadsIt) {
    const std::vector<DfsFile> files{
        {'$', "!BOOT", 0, 0, std::vector<std::uint8_t>(300, 'B')},
        {'P', "pic", 0xFFFF3000, 0x12345678, std::vector<std::uint8_t>(0x15000, 0xA5)},
    };
    std::string reason;
    const std::vector<std::uint8_t> image = Image(files, reason);
    ASSERT_EQ(image.size(), 800u * 256u) << reason;
    EXPECT_EQ(std::string(image.begin(), image.begin() + 8), "A LONG D");
    EXPECT_EQ(std::string(image.begin() + 256, image.begin() + 260), "ISC ");
    EXPECT_EQ(image[256 + 5], 2 * 8); // two entries
    EXPECT_EQ(image[256 + 6], 0x33);  // boot option 3, sector count bits 8-9
    EXPECT_EQ(image[256 + 7], 800 & 0xFF);
    // The highest start sector is listed first: "pic" at sector 4, after !BOOT's two.
    EXPECT_EQ(std::string(image.begin() + 8, image.begin() + 16), "pic    P");
    EXPECT_EQ(std::string(image.begin() + 16, image.begin() + 24), "!BOOT  $");
    const std::vector<std::uint8_t> pic(image.begin() + 264, image.begin() + 272);
    EXPECT_EQ(pic, (std::vector<std::uint8_t>{0x00, 0x30, 0x78, 0x56, 0x00, 0x50, 0b00'01'11'00, 4}));
    const std::vector<std::uint8_t> boot(image.begin() + 272, image.begin() + 280);
    EXPECT_EQ(boot, (std::vector<std::uint8_t>{0, 0, 0, 0, 300 & 0xFF, 1, 0, 2}));
    EXPECT_EQ(image[2 * 256 + 299], 'B');
    EXPECT_EQ(image[2 * 256 + 300], 0);
    EXPECT_EQ(image[4 * 256], 0xA5);
    EXPECT_EQ(image[4 * 256 + 0x15000 - 1], 0xA5);
}

TEST(DfsImageTest, NamesTheFilingSystemCannotHoldAreRefused) {
    for (const std::string bad :
         {"", "EIGHTCHR", "A.B", "A B", "A:B", "A*", "#A", "\"A", "A|M", "\xE9t\xE9"}) {
        EXPECT_TRUE(DfsNameProblem(bad).has_value()) << bad;
    }
    for (const std::string good : {"!BOOT", "PIC-1", "a_b$", "SEVENCH"}) {
        EXPECT_FALSE(DfsNameProblem(good).has_value()) << good;
    }
    std::string reason;
    EXPECT_TRUE(Image({{'$', "Pic", 0, 0, {}}, {'$', "PIC", 0, 0, {}}}, reason).empty());
    EXPECT_EQ(reason, "two files would both be named '$.PIC' on the disc");
    EXPECT_FALSE(Image({{'$', "PIC", 0, 0, {}}, {'A', "PIC", 0, 0, {}}}, reason).empty()) << reason;
    EXPECT_TRUE(Image({{'.', "PIC", 0, 0, {}}}, reason).empty());
}

TEST(DfsImageTest, RefusesMoreThanTheDiscHolds) {
    std::string reason;
    const std::vector<std::uint8_t> full(798 * 256);
    EXPECT_FALSE(Image({{'$', "FULL", 0, 0, full}}, reason).empty()) << reason;
    std::vector<std::uint8_t> over(full);
    over.push_back(0);
    EXPECT_TRUE(Image({{'$', "OVER", 0, 0, over}}, reason).empty());
    EXPECT_EQ(reason, "the files need 801 sectors, the disc holds 800");
    std::vector<DfsFile> many;
    for (int i = 0; i < 32; ++i) {
        many.push_back({'$', std::string("F").append(std::to_string(i)), 0, 0, {}});
    }
    EXPECT_TRUE(Image(many, reason).empty());
    many.pop_back();
    EXPECT_FALSE(Image(many, reason).empty()) << reason;
}

} // namespace
