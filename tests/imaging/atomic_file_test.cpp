#include "imaging/atomic_file.h"
#include "imaging/file_helpers.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::vector<std::uint8_t> kOld = {'o', 'l', 'd', ' ', 'f', 'i', 'l', 'e'};
const std::vector<std::uint8_t> kNew = {'n', 'e', 'w'};

TEST(AtomicFile, ReplacesTheWholeFileAndLeavesNoTemporary) {
    const ScratchFolder folder;
    const std::string path = folder / "out.inf";
    WriteBytes(path, kOld);
    chmod(path.c_str(), 0640);
    std::string reason;
    ASSERT_TRUE(WriteFileAtomically(path, kNew, reason)) << reason;
    EXPECT_EQ(ReadBytes(path), kNew); // shorter content leaves no tail of the old file
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(FilesBelow(folder.path).size(), 1u);
}

TEST(AtomicFile, AFailedWriteLeavesTheEarlierFileIntact) {
    const ScratchFolder folder;
    std::string reason;

    // A folder of the target's name cannot be replaced.
    std::filesystem::create_directory(folder / "taken");
    EXPECT_FALSE(WriteFileAtomically(folder / "taken", kNew, reason));
    EXPECT_NE(reason.find("taken"), std::string::npos) << reason;
    EXPECT_TRUE(std::filesystem::is_directory(folder / "taken"));

    // A read-only folder: the old file survives and no temporary is left (root
    // ignores permissions, so that half needs an ordinary user).
    const std::string locked = folder / "locked";
    std::filesystem::create_directory(locked);
    WriteBytes(locked + "/pic.scr", kOld);
    chmod(locked.c_str(), 0555);
    if (geteuid() != 0) {
        EXPECT_FALSE(WriteFileAtomically(locked + "/pic.scr", kNew, reason));
        EXPECT_NE(reason.find("pic.scr"), std::string::npos) << reason;
        EXPECT_EQ(ReadBytes(locked + "/pic.scr"), kOld);
        EXPECT_EQ(FilesBelow(locked).size(), 1u);
    }
    chmod(locked.c_str(), 0755);

    EXPECT_FALSE(WriteFileAtomically("", kNew, reason));
}

} // namespace
