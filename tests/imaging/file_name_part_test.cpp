#include "imaging/file_name_part.h"

#include <gtest/gtest.h>

namespace {

TEST(FileNamePart, FollowsEitherSeparator) {
    EXPECT_EQ(FileNamePart("C:\\out\\PIC"), "PIC");
    EXPECT_EQ(FileNamePart("/home/a/my pic.scr"), "my pic.scr");
    EXPECT_EQ(FileNamePart("/a/b\\c.jpg"), "c.jpg");
    EXPECT_EQ(FileNamePart("plain"), "plain");
    EXPECT_EQ(FileNamePart("folder/"), "");
}

} // namespace
