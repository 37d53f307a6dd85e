#include "state/file_exists.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace {

TEST(FileExistsTest, CountsDirectoriesButNotEmptyPaths) {
    EXPECT_EQ(FileExists(""), 0);
    EXPECT_EQ(FileExists(std::filesystem::temp_directory_path().string()), 1);
    EXPECT_EQ(FileExists("/no/such/quillmorph/file.png"), 0);
}

// Only "no such file" is a missing file; other failures to look at a name are not.

TEST(FileExistsTest, AnswersZeroOnlyForNoSuchFile) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("quillmorph-exists-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "plain.png") << "x";
    std::filesystem::create_symlink("loop-b", folder / "loop-a");
    std::filesystem::create_symlink("loop-a", folder / "loop-b");
    EXPECT_EQ(FileExists((folder / "plain.png").string()), 1);
    EXPECT_EQ(FileExists((folder / "plain.png" / "inside.png").string()), 0); // through a file
    EXPECT_EQ(FileExists((folder / "loop-a").string()), 1);                   // a loop of links
    EXPECT_EQ(FileExists((folder / std::string(300, 'n')).string()), 1);      // a name too long
    std::filesystem::remove_all(folder);
}

} // namespace
