// Boots the converter's disc images on an emulated BBC Micro (jsbeeb, installed by the
// build) and compares what the machine shows with the converter's own PNG export of
// the same conversion, pixel for pixel.
#include "imaging/picture.h"
#include "imaging/picture_writer.h"
#include "imaging/png_reader.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Where the emulator draws the 640 x 512 display area in its 1024 x 625 frame.
constexpr int kFrameWidth = 1024;
constexpr int kAreaLeft = 200;
constexpr int kAreaTop = 64;
constexpr int kAreaWidth = 640;
constexpr int kAreaHeight = 512;

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

std::vector<std::uint8_t> FileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Why the emulator cannot run here, or empty: the build records how installing went.
std::string EmulatorMissing() {
    if (std::string(QUILLMORPH_NODE).empty()) {
        return "Node.js (node and npm) was not found when the build was configured";
    }
    const std::vector<std::uint8_t> status = FileBytes(fs::path(QUILLMORPH_JSBEEB) / "install-status.txt");
    std::string text(status.begin(), status.end());
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.pop_back();
    }
    if (text.starts_with("ok")) {
        return {};
    }
    return "jsbeeb could not be installed from npm (" + (text.empty() ? "no record of an attempt" : text) +
           "); delete " + QUILLMORPH_JSBEEB + " and build again to retry";
}

// A colourful source: hue across, brightness down, so every dither uses every colour.
Picture SourcePicture(int variant) {
    Picture picture{320, 256, std::vector<BufferWord>(320u * 256u)};
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const int u = (x + variant * 97) % 320;
            const auto channel = [&](int phase) {
                const int wave = (u * 6 + phase * 640) % 1920;
                const int ramp = wave < 640 ? wave : wave < 960 ? 640 : wave < 1600 ? 1600 - wave : 0;
                return static_cast<BufferWord>(std::min(255, ramp * y / 640 + (y > 200 ? (y - 200) * 4 : 0)));
            };
            picture.pixels[std::size_t(y) * 320u + std::size_t(x)] =
                channel(0) << 16 | channel(1) << 8 | channel(2);
        }
    }
    return picture;
}

class BootDiscTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const std::string missing = EmulatorMissing(); !missing.empty()) {
            GTEST_SKIP() << missing;
        }
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '-');
        folder = fs::temp_directory_path() / ("quillmorph-boot-" + std::to_string(::getpid()) + "-" + name);
        fs::create_directories(folder);
    }
    void TearDown() override {
        if (!HasFailure() && !folder.empty()) {
            fs::remove_all(folder);
        }
    }

    static int Run(const std::string& command) {
        const int raw = std::system(command.c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    std::string Source(int variant) const {
        const std::string path = (folder / ("src" + std::to_string(variant) + ".png")).string();
        std::string reason;
        EXPECT_TRUE(WritePngFile(SourcePicture(variant), path, reason)) << reason;
        return path;
    }
    // Converts the sources onto a disc and each alone to a PNG export, boots the disc
    // and compares each screen the machine shows with its export.
    void ExpectScreensMatch(const std::vector<std::string>& sources,
                            const std::vector<std::string>& options) {
        std::string flags;
        for (const std::string& option : options) {
            flags.append(" ").append(Quoted(option));
        }
        std::string inputs;
        for (const std::string& source : sources) {
            inputs.append(" ").append(Quoted(source));
        }
        const std::string cli = Quoted(QUILLMORPH_CLI) + " convert";
        const fs::path disc = folder / "pictures.ssd";
        ASSERT_EQ(Run(cli + inputs + " " + Quoted(disc.string()) + " --format ssd" + flags), 0);
        const std::string boot = Quoted(QUILLMORPH_NODE) + " " + Quoted(QUILLMORPH_JSBEEB "/boot_disc.mjs") +
                                 " " + Quoted(disc.string()) + " " + Quoted((folder / "screen").string()) +
                                 " " + std::to_string(sources.size()) + " >" +
                                 Quoted((folder / "boot.log").string()) + " 2>&1";
        ASSERT_EQ(Run(boot), 0) << "the emulator run failed; see " << (folder / "boot.log");
        for (std::size_t i = 0; i < sources.size(); ++i) {
            const fs::path exported = folder / ("export" + std::to_string(i) + ".png");
            ASSERT_EQ(Run(cli + " " + Quoted(sources[i]) + " " + Quoted(exported.string()) + " --format png" +
                          flags),
                      0);
            const fs::path screen = folder / ("screen-" + std::to_string(i + 1) + ".png");
            EXPECT_TRUE(ScreenShows(screen, exported)) << "picture " << i + 1 << "; files kept in " << folder;
        }
    }

    // The frame shows the export in its display area, each export pixel a whole block of
    // frame pixels, and black everywhere else (below a picture of fewer lines too).
    static ::testing::AssertionResult ScreenShows(const fs::path& screen, const fs::path& exported) {
        const std::optional<Picture> frame = DecodePng(FileBytes(screen));
        const std::optional<Picture> expected = DecodePng(FileBytes(exported));
        if (!frame || !expected || frame->width != kFrameWidth || kAreaWidth % expected->width != 0) {
            return ::testing::AssertionFailure()
                   << "missing or unexpected pictures " << screen << ", " << exported;
        }
        const int across = kAreaWidth / expected->width;
        const int down = expected->height == kAreaHeight ? 1 : 2; // the machine draws each line twice
        long differing = 0;
        std::string first;
        for (int y = 0; y < frame->height; ++y) {
            for (int x = 0; x < frame->width; ++x) {
                const int ex = (x - kAreaLeft) / across;
                const int ey = (y - kAreaTop) / down;
                const bool inside = x >= kAreaLeft && y >= kAreaTop && x < kAreaLeft + kAreaWidth &&
                                    y < kAreaTop + kAreaHeight && ey < expected->height;
                const BufferWord want =
                    inside
                        ? expected->pixels[std::size_t(ey) * std::size_t(expected->width) + std::size_t(ex)]
                        : 0;
                const BufferWord got =
                    frame->pixels[std::size_t(y) * std::size_t(frame->width) + std::size_t(x)];
                if (((want ^ got) & 0xFFFFFFu) != 0 && differing++ == 0) {
                    first = "(" + std::to_string(x) + "," + std::to_string(y) + ")";
                }
            }
        }
        if (differing != 0) {
            return ::testing::AssertionFailure()
                   << differing << " frame pixels differ, the first at " << first;
        }
        return ::testing::AssertionSuccess();
    }

    fs::path folder;
};

struct ModeCase {
    int mode;
    std::string palette; // empty: the mode's default
};

void PrintTo(const ModeCase& c, std::ostream* out) {
    *out << "mode " << c.mode << " palette '" << c.palette << "'";
}

class BootModeTest : public BootDiscTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(BootModeTest, ShowsTheExportedPicture) {
    std::vector<std::string> options{"--mode", std::to_string(GetParam().mode), "--method",
                                     "floyd-steinberg"};
    if (!GetParam().palette.empty()) {
        options.insert(options.end(), {"--palette", GetParam().palette});
    }
    ExpectScreensMatch({Source(0)}, options);
}

// The custom palettes give logical colour 0 a colour other than black and move every
// other colour, so each logical colour the loader sets is seen.
INSTANTIATE_TEST_SUITE_P(EveryMode, BootModeTest,
                         ::testing::Values(ModeCase{0, ""}, ModeCase{0, "blue,yellow"}, ModeCase{1, ""},
                                           ModeCase{1, "blue,magenta,cyan,white"}, ModeCase{2, ""},
                                           ModeCase{2, "7,6,5,4,3,2,1,0"}, ModeCase{4, ""},
                                           ModeCase{4, "white,red"}, ModeCase{5, ""},
                                           ModeCase{5, "green,black,magenta,yellow"}, ModeCase{8, ""},
                                           ModeCase{8, "3,5,6,0,1,2,4,7"}),
                         [](const auto& info) {
                             return "Mode" + std::to_string(info.param.mode) +
                                    (info.param.palette.empty() ? "Default" : "Custom");
                         });

TEST_F(BootDiscTest, ShortPictureLeavesTheRestOfTheScreenBlack) {
    // Logical colour 0 is not black here: the loader blackens the lines below with colour 1.
    ExpectScreensMatch({Source(0)},
                       {"--mode", "1", "--lines", "200", "--palette", "blue,black,yellow,white"});
}

TEST_F(BootDiscTest, SlideshowShowsTheNextPictureOnSpace) {
    ExpectScreensMatch({Source(0), Source(1)},
                       {"--mode", "8", "--method", "floyd-steinberg", "--auto-palette"});
}

} // namespace
