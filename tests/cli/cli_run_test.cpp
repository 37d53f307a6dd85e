// Runs the real quillmorph-cli program and checks its files, messages and exit status.
#include "imaging/picture.h"
#include "imaging/png_reader.h"
#include "screen/dump_reader.h"
#include "screen/screen_modes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

struct CliRun {
    int status = -1;
    std::string errors; // standard error
};

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

std::vector<std::uint8_t> FileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class CliRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = std::filesystem::temp_directory_path() /
                 ("quillmorph-cli-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder);
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    CliRun Cli(const std::vector<std::string>& arguments) const {
        const std::filesystem::path errors = folder / "stderr.txt";
        std::string command = Quoted(QUILLMORPH_CLI);
        for (const std::string& argument : arguments) {
            command.append(" ").append(Quoted(argument));
        }
        command += " >/dev/null 2>" + Quoted(errors.string());
        CliRun run;
        const int raw = std::system(command.c_str());
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        const std::vector<std::uint8_t> text = FileBytes(errors);
        run.errors.assign(text.begin(), text.end());
        return run;
    }
    std::string WriteBytes(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
        const std::string path = (folder / name).string();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    // The PNG that `decode` wrote equals the bytes decoded in the mode.
    ::testing::AssertionResult PngHoldsDump(const std::string& png, std::span<const std::uint8_t> bytes,
                                            int modeNumber) const {
        const ScreenMode& mode = *ScreenModeByNumber(modeNumber);
        const DecodedDump expected = DecodeScreenBytes(bytes, mode.width, mode.bitsPerPixel);
        const std::optional<Picture> written = DecodePng(FileBytes(png));
        if (!written || !expected.picture) {
            return ::testing::AssertionFailure() << "no picture in " << png;
        }
        if (written->width != expected.picture->width || written->height != expected.picture->height ||
            written->pixels != expected.picture->pixels) {
            return ::testing::AssertionFailure() << png << " (" << written->width << " x " << written->height
                                                 << ") differs from the decoded dump";
        }
        return ::testing::AssertionSuccess();
    }

    std::filesystem::path folder;
};

TEST_F(CliRunTest, DecodeWritesTheDumpAsAPicture) {
    std::mt19937 random(5);
    std::vector<std::uint8_t> bytes(10240);
    for (std::uint8_t& b : bytes) {
        b = static_cast<std::uint8_t>(random());
    }
    const std::string dump = WriteBytes("SCREEN", bytes);
    for (const int mode : {0, 5, 8}) {
        SCOPED_TRACE(mode);
        const std::string png = (folder / ("mode" + std::to_string(mode) + ".png")).string();
        const CliRun run = Cli({"decode", dump, png, "--mode", std::to_string(mode)});
        EXPECT_EQ(run.status, 0) << run.errors;
        EXPECT_EQ(run.errors, "");
        EXPECT_TRUE(PngHoldsDump(png, bytes, mode));
    }
}

TEST_F(CliRunTest, DecodeOfRealDumps) {
    const std::filesystem::path root = std::filesystem::path(QUILLMORPH_CORPUS) / "bbc";
    if (!std::filesystem::exists(root)) {
        GTEST_SKIP() << "the shared picture corpus is not beside this checkout (" << root << ")";
    }
    const struct {
        const char* path;
        int mode;
    } dumps[] = {{"pop-beeb/john.Splash.mode2.bin", 2},
                 {"raster-fx/knight.mode1.bin", 1},
                 {"twisted-brain/hdither.mode0.bin", 0},
                 {"ghouls-tng/GOSTSCR.mode5", 5},
                 {"beebjit-discs/extracted/Music2_DocPlus.mode8.bin", 8}};
    for (const auto& d : dumps) {
        SCOPED_TRACE(d.path);
        const std::string png = (folder / "out.png").string();
        const CliRun run = Cli({"decode", (root / d.path).string(), png, "--mode", std::to_string(d.mode)});
        EXPECT_EQ(run.status, 0) << run.errors;
        EXPECT_TRUE(PngHoldsDump(png, FileBytes(root / d.path), d.mode));
    }
}

TEST_F(CliRunTest, DecodeTruncatesALongFileWithAWarning) {
    std::vector<std::uint8_t> bytes(20481, 0x5A);
    bytes.back() = 0xFF;
    const std::string dump = WriteBytes("LONG", bytes);
    const std::string png = (folder / "long.png").string();
    const CliRun run = Cli({"decode", dump, png, "--mode", "1"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.errors,
              "quillmorph-cli: warning: " + dump + " is longer than 20480 bytes; the rest is ignored\n");
    EXPECT_TRUE(PngHoldsDump(png, std::span<const std::uint8_t>(bytes.data(), 20480), 1));
}

TEST_F(CliRunTest, FailuresAndUsageErrorsHaveTheirOwnExitStatus) {
    std::filesystem::create_directory(folder / "DISC");
    const std::string png = (folder / "out.png").string();
    const struct {
        std::string dump;
        std::string reason;
    } failures[] = {
        {(folder / "gone").string(), "The file 'gone' was not found."},
        {(folder / "DISC").string(), "Failed to open requested file."},
        {WriteBytes("EMPTY", {}), "Failed to read requested file."},
        {WriteBytes("SHORT", std::vector<std::uint8_t>(39, 1)), "Failed to create image during conversion."},
    };
    for (const auto& f : failures) {
        SCOPED_TRACE(f.dump);
        const CliRun run = Cli({"decode", f.dump, png, "--mode", "4"});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.errors, "quillmorph-cli: " + f.reason + "\n");
        EXPECT_FALSE(std::filesystem::exists(png));
    }
    const CliRun missing = Cli({"convert", (folder / "nothing.png").string(), (folder / "OUT").string()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.errors, "quillmorph-cli: The file 'nothing.png' does not exist.\n");

    for (const std::vector<std::string>& wrong :
         {std::vector<std::string>{"decode", "a", "b.png"},
          std::vector<std::string>{"decode", "a", "b.png", "--mode", "3"},
          std::vector<std::string>{"convert", "a"}, std::vector<std::string>{"frobnicate"}}) {
        const CliRun run = Cli(wrong);
        EXPECT_EQ(run.status, 2) << wrong[0];
        EXPECT_NE(run.errors.find("Try 'quillmorph-cli --help'."), std::string::npos) << run.errors;
    }
    EXPECT_EQ(Cli({"modes"}).status, 0);
}

} // namespace

namespace {

// A real photograph-like PNG from the corpus, converted as a user would: the dump, its
// sidecar and the exported picture agree with each other and with the mode.
TEST_F(CliRunTest, ConvertOfARealPngWritesDumpSidecarAndPicture) {
    const std::filesystem::path photo =
        std::filesystem::path(QUILLMORPH_CORPUS) / "bbc/raster-fx/source-pictures/graphics_workbench13_bootscreen.png";
    if (!std::filesystem::exists(photo)) {
        GTEST_SKIP() << "the shared picture corpus is not beside this checkout (" << photo << ")";
    }
    const std::string dump = (folder / "SCREEN").string();
    ASSERT_EQ(Cli({"convert", photo.string(), dump, "--mode", "1", "--method", "Floyd-Steinberg", "--strength", "80"})
                  .status,
              0);
    const std::vector<std::uint8_t> bytes = FileBytes(dump);
    ASSERT_EQ(bytes.size(), 20480u);
    const std::vector<std::uint8_t> inf = FileBytes(dump + ".inf");
    EXPECT_EQ(std::string(inf.begin(), inf.end()), "$.SCREEN  003000 000000 005000");

    // The exported picture is the same conversion, each Mode 1 pixel as it stands.
    const std::string png = (folder / "screen.png").string();
    ASSERT_EQ(Cli({"convert", photo.string(), png, "--mode", "1", "--method", "5", "--strength", "80", "--format",
                   "png"})
                  .status,
              0);
    EXPECT_TRUE(PngHoldsDump(png, bytes, 1));

    // Dithering spreads the picture over all four default colours.
    const DecodedDump decoded = DecodeScreenBytes(bytes, 320, 2);
    std::vector<BufferWord> seen(decoded.picture->pixels);
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(std::unique(seen.begin(), seen.end()) - seen.begin(), 4);
}

} // namespace
