#include "imaging/picture.h"
#include "shell/state/app_state.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

TEST(AppStateTest, ResetPutsEverythingBackToZero) {
    screenMode = 5;
    previewHeight = 200;
    gammaValue = 1.0F;
    palette[10] = 0xFFFFFF;
    sourcePath = "x.png";
    quitRequested = 1;
    ResetAppState();
    EXPECT_EQ(screenMode, 0);
    EXPECT_EQ(previewHeight, 0);
    EXPECT_EQ(gammaValue, 0.0F);
    EXPECT_EQ(palette[10], 0u);
    EXPECT_TRUE(sourcePath.empty());
    EXPECT_EQ(quitRequested, 0);
}

TEST(AppStateTest, OpenPatternHasThirteenEntriesFirstWithoutCursors) {
    const std::string pattern = BuildOpenPattern();
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t bar; (bar = pattern.find('|', start)) != std::string::npos; start = bar + 1) {
        fields.push_back(pattern.substr(start, bar - start));
    }
    fields.push_back(pattern.substr(start));
    ASSERT_EQ(fields.size(), 26u);
    EXPECT_EQ(fields[0], "All Supported Image Files");
    EXPECT_EQ(fields[1].find("*.cur"), std::string::npos);
    EXPECT_EQ(fields[20], "Windows Cursor File (*.cur)");
    EXPECT_EQ(fields[25], "*.wmf");
    EXPECT_EQ(pattern.rfind("All Supported Image Files|*.bmp;*.emf;*.gif;", 0), 0u);
}

TEST(AppStateTest, ErrorMessageTextAndTitle) {
    std::string title;
    std::string text;
    SetErrorReporter([&](std::string_view t, std::string_view m) {
        title = t;
        text = m;
    });
    ErrorMessage("Unable to create image in CorrectAspectRatio().");
    SetErrorReporter(nullptr);
    EXPECT_EQ(title, "Error Message");
    EXPECT_EQ(
        text,
        "Unfortunately an error has occurred.\n\nReason: Unable to create image in CorrectAspectRatio().");
}

TEST(AppStateTest, FileExistsCountsDirectoriesButNotEmptyPaths) {
    EXPECT_EQ(FileExists(""), 0);
    EXPECT_EQ(FileExists(std::filesystem::temp_directory_path().string()), 1);
    EXPECT_EQ(FileExists("/no/such/quillmorph/file.png"), 0);
}

// Only "no such file" is a missing file; other failures to look at a name are not.
TEST(AppStateTest, FileExistsAnswersZeroOnlyForNoSuchFile) {
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

TEST(AppStateTest, FreePictureIgnoresMissingPictures) {
    FreePicture(9);
    ASSERT_TRUE(CreatePicture(9, 1, 1));
    FreePicture(9);
    EXPECT_FALSE(PictureExists(9));
}

} // namespace
