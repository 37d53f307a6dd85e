// Runs the real quillmorph-cli program and checks its files, messages and exit status.
#include "imaging/picture.h"
#include "imaging/picture_writer.h"
#include "imaging/png_reader.h"
#include "screen/dump_reader.h"
#include "screen/screen_modes.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct CliRun {
    int status = -1;
    std::string errors; // standard error
    std::string output; // standard output
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
        const std::filesystem::path output = folder / "stdout.txt";
        std::string command = Quoted(QUILLMORPH_CLI);
        for (const std::string& argument : arguments) {
            command.append(" ").append(Quoted(argument));
        }
        command += " >" + Quoted(output.string()) + " 2>" + Quoted(errors.string());
        CliRun run;
        const int raw = std::system(command.c_str());
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        const std::vector<std::uint8_t> text = FileBytes(errors);
        run.errors.assign(text.begin(), text.end());
        const std::vector<std::uint8_t> printed = FileBytes(output);
        run.output.assign(printed.begin(), printed.end());
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

// info decodes a JPEG at its smallest scale but reports the size the file holds.
TEST_F(CliRunTest, InfoGivesTheFilesOwnSize) {
    Picture picture{1600, 1200, std::vector<BufferWord>(1600 * 1200, 0x336699u)};
    const std::string jpeg = WriteBytes("camera.jpg", *EncodeJpeg(picture));
    const CliRun run = Cli({"info", jpeg});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, jpeg + ": JPEG, 1600 x 1200 pixels\n");
}

} // namespace

namespace {

// A real photograph-like PNG from the corpus, converted as a user would: the dump, its
// sidecar and the exported picture agree with each other and with the mode.
TEST_F(CliRunTest, ConvertOfARealPngWritesDumpSidecarAndPicture) {
    const std::filesystem::path photo = std::filesystem::path(QUILLMORPH_CORPUS) /
                                        "bbc/raster-fx/source-pictures/graphics_workbench13_bootscreen.png";
    if (!std::filesystem::exists(photo)) {
        GTEST_SKIP() << "the shared picture corpus is not beside this checkout (" << photo << ")";
    }
    const std::string dump = (folder / "SCREEN").string();
    ASSERT_EQ(Cli({"convert", photo.string(), dump, "--mode", "1", "--method", "Floyd-Steinberg",
                   "--strength", "80"})
                  .status,
              0);
    const std::vector<std::uint8_t> bytes = FileBytes(dump);
    ASSERT_EQ(bytes.size(), 20480u);
    const std::vector<std::uint8_t> inf = FileBytes(dump + ".inf");
    EXPECT_EQ(std::string(inf.begin(), inf.end()), "$.SCREEN  003000 000000 005000");

    // The exported picture is the same conversion, each Mode 1 pixel as it stands.
    const std::string png = (folder / "screen.png").string();
    ASSERT_EQ(Cli({"convert", photo.string(), png, "--mode", "1", "--method", "5", "--strength", "80",
                   "--format", "png"})
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

namespace {

// The catalogue entry of the file named `name` (7 characters, blank-filled): its 8 bytes
// in sector 0 (name, directory), then its 8 in sector 1 (addresses, length, start);
// empty when the disc has no such file.
std::vector<std::uint8_t> DiscEntry(const std::vector<std::uint8_t>& disc, const std::string& name) {
    for (long at = 8; at < 8 + disc[256 + 5]; at += 8) {
        if (std::string(disc.begin() + at, disc.begin() + at + 7) == name) {
            std::vector<std::uint8_t> entry(disc.begin() + at, disc.begin() + at + 8);
            entry.insert(entry.end(), disc.begin() + 256 + at, disc.begin() + 256 + at + 8);
            return entry;
        }
    }
    return {};
}

std::vector<std::uint8_t> DiscFile(const std::vector<std::uint8_t>& disc,
                                   const std::vector<std::uint8_t>& entry) {
    const long start = (entry[14] & 3) << 8 | entry[15];
    const long length = (entry[14] >> 4 & 3) << 16 | entry[13] << 8 | entry[12];
    return {disc.begin() + start * 256, disc.begin() + start * 256 + length};
}

TEST_F(CliRunTest, ConvertToDiscHoldsTheSameDumpsAsConvert) {
    Picture source{64, 48, {}};
    for (int i = 0; i < 64 * 48; ++i) {
        source.pixels.push_back(static_cast<BufferWord>(i * 2654435761u) & 0xFFFFFFu);
    }
    std::string reason;
    const std::string first = (folder / "first.png").string();
    const std::string second = (folder / "Second pic.png").string();
    ASSERT_TRUE(WritePngFile(source, first, reason) && WritePngFile(source, second, reason)) << reason;
    const std::string disc = (folder / "show.ssd").string();
    const std::vector<std::string> options{"--mode", "4", "--lines", "240", "--method", "3"};
    std::vector<std::string> arguments{"convert", first, second, disc, "--format", "ssd"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    const CliRun run = Cli(arguments);
    ASSERT_EQ(run.status, 0) << run.errors;
    const std::vector<std::uint8_t> bytes = FileBytes(disc);
    ASSERT_EQ(bytes.size(), 800u * 256u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 8), "show    ");
    const std::string dump = (folder / "DUMP").string();
    arguments = {"convert", first, dump};
    arguments.insert(arguments.end(), options.begin(), options.end());
    ASSERT_EQ(Cli(arguments).status, 0);
    for (const std::string name : {"FIRST  ", "SECONDP"}) {
        const std::vector<std::uint8_t> entry = DiscEntry(bytes, name);
        ASSERT_EQ(entry.size(), 16u) << name;
        EXPECT_EQ(entry[8] | entry[9] << 8, 0x5800);
        EXPECT_EQ(DiscFile(bytes, entry), FileBytes(dump)) << name;
    }
    EXPECT_EQ(DiscEntry(bytes, "!BOOT  ").size(), 16u);
}

// Many inputs into a folder: each as the single-picture convert writes it, one line per
// failure, status 1; clashing names stop the batch before anything is written.
TEST_F(CliRunTest, BatchConvertsEachInputAsConvertDoes) {
    Picture source{40, 30, {}};
    for (int i = 0; i < 40 * 30; ++i) {
        source.pixels.push_back(static_cast<BufferWord>(i * 2654435761u) & 0xFFFFFFu);
    }
    std::string reason;
    std::vector<std::string> inputs;
    for (const char* name : {"a.png", "b.png", "c.png"}) {
        inputs.push_back((folder / name).string());
        ASSERT_TRUE(WritePngFile(source, inputs.back(), reason)) << reason;
    }
    inputs.push_back(WriteBytes("broken.png", {0x89, 'P', 'N', 'G'}));
    const std::string out = (folder / "out").string();
    std::vector<std::string> arguments{"convert"};
    arguments.insert(arguments.end(), inputs.begin(), inputs.end());
    for (const char* option : {"--output-dir", out.c_str(), "--jobs", "3", "--mode", "1", "--method", "5"}) {
        arguments.emplace_back(option);
    }
    const CliRun run = Cli(arguments);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.errors.find("quillmorph-cli: " + inputs[3] + ": "), std::string::npos) << run.errors;
    EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << run.errors;
    const std::string single = (folder / "single").string();
    ASSERT_EQ(Cli({"convert", inputs[1], single, "--mode", "1", "--method", "5"}).status, 0);
    for (const char* name : {"a", "b", "c"}) {
        EXPECT_EQ(FileBytes(folder / "out" / name), FileBytes(single)) << name;
        EXPECT_EQ(FileBytes(folder / "out" / (std::string(name) + ".inf")).size(),
                  FileBytes(single + ".inf").size());
    }
    EXPECT_FALSE(std::filesystem::exists(folder / "out" / "broken"));

    std::filesystem::create_directories(folder / "other");
    const std::string twin = (folder / "other" / "a.jpg").string();
    std::filesystem::copy_file(inputs[0], twin);
    const CliRun clash =
        Cli({"convert", inputs[1], inputs[0], twin, "--output-dir", (folder / "new").string()});
    EXPECT_EQ(clash.status, 2);
    EXPECT_NE(clash.errors.find("would both be written as"), std::string::npos) << clash.errors;
    EXPECT_FALSE(std::filesystem::exists(folder / "new"));
    // Settings the mode cannot take stop the batch before any worker starts.
    const CliRun overfull = Cli({"convert", inputs[0], inputs[1], "--output-dir", (folder / "new").string(),
                                 "--mode", "1", "--palette", "1,2,3,4,5"});
    EXPECT_EQ(overfull.status, 2);
    EXPECT_NE(overfull.errors.find("--palette gives 5 colours"), std::string::npos) << overfull.errors;
    EXPECT_FALSE(std::filesystem::exists(folder / "new"));
    EXPECT_EQ(Cli({"convert", inputs[0], single, "--jobs", "2"}).status, 2);
}

TEST_F(CliRunTest, DiscOfSavedDumpsTakesSidecarsAndRealLengths) {
    const std::vector<std::uint8_t> shot(8000, 0x3C);
    const std::string withSidecar = WriteBytes("shot", shot);
    WriteBytes("shot.inf", {'A', '.', 'S', 'H', 'O', 'T', ' ', '5', '8', '0', '0',
                            ' ', '1', '2', '3', '4', ' ', '2', '8', '0', '0'});
    const std::string plain = WriteBytes("plain", std::vector<std::uint8_t>(10240, 0x81));
    const std::string disc = (folder / "dumps.ssd").string();
    const CliRun run = Cli({"disc", withSidecar, plain, disc, "--mode", "8", "--palette", "7,6,5,4,3,2,1,0"});
    ASSERT_EQ(run.status, 0) << run.errors;
    const std::vector<std::uint8_t> bytes = FileBytes(disc);
    const std::vector<std::uint8_t> entry = DiscEntry(bytes, "SHOT   ");
    ASSERT_EQ(entry.size(), 16u);
    EXPECT_EQ(entry[7], 'A');
    EXPECT_EQ(entry[10] | entry[11] << 8, 0x1234);
    EXPECT_EQ(DiscFile(bytes, entry), shot);
    EXPECT_EQ(DiscFile(bytes, DiscEntry(bytes, "PLAIN  ")), FileBytes(plain));
}

TEST_F(CliRunTest, DiscsAreWrittenWholeOrNotAtAll) {
    const std::string disc = WriteBytes("old.ssd", {'o', 'l', 'd'});
    const std::string mode2 = WriteBytes("M2", std::vector<std::uint8_t>(20480));
    const std::string odd = WriteBytes("ODD", std::vector<std::uint8_t>(20000));
    const std::string longName = WriteBytes("LONG", std::vector<std::uint8_t>(20480));
    WriteBytes("LONG.inf", {'$', '.', 'T', 'O', 'O', 'L', 'O', 'N', 'G', 'X', ' ', '3', '0', '0', '0'});
    std::vector<std::string> ten{"disc"};
    for (int i = 0; i < 10; ++i) {
        ten.push_back(WriteBytes("P" + std::to_string(i), std::vector<std::uint8_t>(20480)));
    }
    ten.insert(ten.end(), {disc, "--mode", "2"});
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string message;
    } refused[] = {
        {ten, 2, "10 pictures do not fit on one disc: 9 do"},
        {{"disc", odd, disc, "--mode", "2"}, 1, "20000 bytes is no Mode 2 screen"},
        {{"disc", longName, disc, "--mode", "2"},
         2,
         "'$.TOOLONGX' is not a DFS file name: it has 8 characters"},
        {{"disc", mode2, mode2, disc, "--mode", "2"}, 2, "two files would both be named '$.M2'"},
        {{"disc", mode2, (folder / "missing" / "x.ssd").string(), "--mode", "2"}, 1, "Unable to write"},
        {{"convert", mode2, disc, "--format", "ssd", "--mode", "2"}, 1, "not a recognised image format"},
    };
    for (const auto& r : refused) {
        const CliRun run = Cli(r.arguments);
        EXPECT_EQ(run.status, r.status) << r.message;
        EXPECT_NE(run.errors.find(r.message), std::string::npos) << run.errors;
        EXPECT_EQ(FileBytes(disc), (std::vector<std::uint8_t>{'o', 'l', 'd'})) << r.message;
    }
}

} // namespace
