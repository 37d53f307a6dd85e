#include "imaging/file_helpers.h"
#include "imaging/png_reader.h"
#include "platform/metafile_builders.h"
#include "platform/metafile_reader.h"
#include "platform/metafile_sandbox.h"

#include <chrono>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <sys/wait.h>

namespace {

using metafile_test::RedSquareEmf;
using metafile_test::RedSquareWmf;

constexpr BufferWord kRed = 0xFF0000;
constexpr BufferWord kWhite = 0xFFFFFF;

// Renderer-dependent comparisons, as mean difference per channel (0-255) after scaling
// ours to the reference's size. Measured: drawing.wmf 6.8 (libwmf draws without
// anti-aliasing), drawing.emf 47.1 (the converter keeps a margin, so the circle is about
// four fifths of the reference's), fulltest.emf 20.0 (other fonts). A blank, black or
// red-blue swapped rendering of the drawings differs by well over 100.
constexpr double kDrawingWmfThreshold = 12;
constexpr double kDrawingEmfThreshold = 60;
constexpr double kFullTestThreshold = 30;

BufferWord PixelAt(const Picture& picture, int x, int y) {
    return picture.pixels[std::size_t(y) * std::size_t(picture.width) + std::size_t(x)];
}

std::filesystem::path Corpus() {
    return QUILLMORPH_CORPUS;
}

std::vector<std::uint8_t> Bytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

#define SKIP_WITHOUT_CORPUS()                                                                                \
    if (!std::filesystem::is_directory(Corpus() / "wmf")) {                                                  \
        GTEST_SKIP() << "the shared picture corpus (" << QUILLMORPH_CORPUS << ") is not beside this clone";  \
    }

// The red square's picture: red on the left half, white on the right, in buffer-word order.
void ExpectRedSquare(const std::optional<Picture>& picture, int width, int height) {
    ASSERT_TRUE(picture);
    ASSERT_EQ(picture->width, width);
    ASSERT_EQ(picture->height, height);
    EXPECT_EQ(PixelAt(*picture, width / 4, height / 2), kRed);
    EXPECT_EQ(PixelAt(*picture, 3 * width / 4, height / 2), kWhite);
    EXPECT_EQ(PixelAt(*picture, width - 1, height - 1), kWhite);
}

TEST(WmfReader, PlaceableFileRendersAtItsBoxIn96DotsPerInchOnWhite) {
    const auto file = RedSquareWmf(true);
    const ReaderCheck check = CheckWmf(file);
    EXPECT_TRUE(check.accepted);
    EXPECT_EQ(check.width, 96);
    EXPECT_EQ(check.height, 48);
    ExpectRedSquare(DecodeWmf(file), 96, 48);
}

TEST(WmfReader, NonPlaceableFileTakesTheSizeLibwmfMeasures) {
    const auto file = RedSquareWmf(false);
    const ReaderCheck check = CheckWmf(file);
    ASSERT_TRUE(check.accepted);
    ASSERT_GT(check.width, 0);
    // The size comes from the drawing's extent, 2:1 like the window.
    EXPECT_NEAR(double(check.width) / double(check.height), 2.0, 0.05);
    const std::optional<Picture> picture = DecodeWmf(file);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, check.width);
    EXPECT_EQ(picture->height, check.height);
}

TEST(WmfReader, AbsurdBoxesGiveOnePixelOrARefusal) {
    // Two units at 1440 per inch is under a pixel: kept as one pixel, never zero.
    ReaderCheck check = CheckWmf(RedSquareWmf(true, 2, 1, 1440));
    EXPECT_TRUE(check.accepted);
    EXPECT_EQ(check.width, 1);
    EXPECT_EQ(check.height, 1);
    // An empty box or no units per inch: accepted as the reader's file, with a size the chain refuses.
    check = CheckWmf(RedSquareWmf(true, 0, 500, 1000));
    EXPECT_TRUE(check.accepted);
    EXPECT_EQ(check.width, 0);
    check = CheckWmf(RedSquareWmf(true, 1000, 500, 0));
    EXPECT_EQ(check.width, 0);
    EXPECT_FALSE(IsAcceptablePictureSize(check.width, check.height));
    // 32767 units at one unit per inch is over three million pixels a side: rendered at
    // the 640 pixels the program keeps.
    const auto huge = RedSquareWmf(true, 32767, 16383, 1);
    EXPECT_EQ(MeasureWmfHere(huge).width, 3145632);
    check = CheckWmf(huge);
    EXPECT_EQ(check.width, 640);
    EXPECT_EQ(check.height, 319);
    ExpectRedSquare(DecodeWmf(huge), 640, 319);
}

TEST(EmfReader, RendersItsFrameIn96DotsPerInchOnWhite) {
    const auto file = RedSquareEmf();
    const ReaderCheck check = CheckEmf(file);
    EXPECT_TRUE(check.accepted);
    EXPECT_EQ(check.width, 96);
    EXPECT_EQ(check.height, 48);
    ExpectRedSquare(DecodeEmf(file), 96, 48);
}

// The converter writes numbers into its drawing; a decimal comma must not spoil them.
TEST(EmfReader, RendersTheSameUnderALocaleWithADecimalComma) {
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "tools/setup.sh makes de_DE.UTF-8";
    const std::optional<Picture> picture = DecodeEmf(RedSquareEmf());
    std::setlocale(LC_ALL, previous.c_str());
    ExpectRedSquare(picture, 96, 48);
}

TEST(EmfReader, EmptyFrameFallsBackToTheBoundsAndHugeFramesAreRefused) {
    ReaderCheck check = CheckEmf(RedSquareEmf(0, 0));
    EXPECT_TRUE(check.accepted);
    EXPECT_EQ(check.width, 100);
    EXPECT_EQ(check.height, 50);
    ExpectRedSquare(DecodeEmf(RedSquareEmf(0, 0)), 100, 50);

    check = CheckEmf(RedSquareEmf(1, 1)); // a hundredth of a millimetre: one pixel
    EXPECT_EQ(check.width, 1);
    EXPECT_EQ(check.height, 1);

    // A frame of 20 km: rendered at the 640 pixels the program keeps.
    const auto huge = RedSquareEmf(2'000'000'000, 1'000'000'000);
    check = CheckEmf(huge);
    EXPECT_EQ(check.width, 640);
    EXPECT_EQ(check.height, 320);
    ExpectRedSquare(DecodeEmf(huge), 640, 320);
}

TEST(MetafileReaders, DeclineOtherFormatsAndEachOther) {
    const std::string png = "\x89PNG\r\n\x1a\n";
    const std::string bmp = "BM\x36\0\0\0\0\0\0\0\x36\0\0\0";
    const std::string text = "just some text that is not a picture, long enough for any header at all.......";
    for (const std::string& bytes : {png, bmp, text, std::string()}) {
        const std::span<const std::uint8_t> file(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                                 bytes.size());
        EXPECT_FALSE(CheckWmf(file).accepted);
        EXPECT_FALSE(CheckEmf(file).accepted);
        EXPECT_FALSE(DecodeWmf(file));
        EXPECT_FALSE(DecodeEmf(file));
    }
    EXPECT_FALSE(CheckWmf(RedSquareEmf()).accepted);
    EXPECT_FALSE(CheckEmf(RedSquareWmf(true)).accepted);
    EXPECT_FALSE(CheckEmf(RedSquareWmf(false)).accepted);
}

// Truncation at every length and every byte flipped: the readers may refuse, but a
// picture that comes out has the size the check reported.
template <typename Check, typename Decode>
void Sweep(const std::vector<std::uint8_t>& original, Check check, Decode decode) {
    for (std::size_t length = 0; length < original.size(); ++length) {
        const std::span<const std::uint8_t> file(original.data(), length);
        const ReaderCheck size = check(file);
        if (const std::optional<Picture> picture = decode(file)) {
            EXPECT_EQ(picture->width, size.width) << "truncated at " << length;
            EXPECT_EQ(picture->height, size.height) << "truncated at " << length;
        }
    }
    std::vector<std::uint8_t> damaged = original;
    for (std::size_t i = 0; i < damaged.size(); ++i) {
        damaged[i] ^= 0xFF;
        const ReaderCheck size = check(damaged);
        if (size.accepted && IsAcceptablePictureSize(size.width, size.height) &&
            size.width * size.height <= 4'000'000) {
            if (const std::optional<Picture> picture = decode(damaged)) {
                EXPECT_EQ(picture->width, size.width) << "byte " << i << " flipped";
            }
        }
        damaged[i] = original[i];
    }
}

// libwmf's own work, in this process as the helper does it (a helper process for each of
// thousands of files would take minutes); the converter ends fontconfig, which this Qt
// process holds, so EMF files are swept through the helper.
ReaderCheck MeasureHere(std::span<const std::uint8_t> file) {
    return MeasureWmfHere(file);
}
std::optional<Picture> RenderHere(std::span<const std::uint8_t> file) {
    const ReaderCheck size = MeasureWmfHere(file);
    if (!size.accepted || !IsAcceptablePictureSize(size.width, size.height)) {
        return std::nullopt;
    }
    return RenderWmfHere(file, static_cast<int>(size.width), static_cast<int>(size.height));
}

TEST(MetafileReaders, TruncatedAndFlippedFilesNeverCrash) {
    Sweep(RedSquareWmf(true), MeasureHere, RenderHere);
    Sweep(RedSquareWmf(false), MeasureHere, RenderHere);
    Sweep(RedSquareEmf(), CheckEmf, DecodeEmf);
}

TEST(MetafileReaders, CorpusDrawingsSurviveTheSweep) {
    SKIP_WITHOUT_CORPUS();
    Sweep(Bytes(Corpus() / "wmf/pillow/drawing.wmf"), MeasureHere, RenderHere);
}

struct CorpusCount {
    int accepted = 0;
    int decoded = 0;
};

template <typename Check, typename Decode>
CorpusCount DecodeFolder(const std::filesystem::path& folder, const std::string& extension, Check check,
                         Decode decode) {
    CorpusCount count;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.path().extension() != extension) {
            continue;
        }
        const std::vector<std::uint8_t> file = Bytes(entry.path());
        const ReaderCheck size = check(file);
        if (!size.accepted) {
            continue;
        }
        ++count.accepted;
        if (const std::optional<Picture> picture = decode(file)) {
            EXPECT_EQ(picture->width, size.width) << entry.path();
            EXPECT_EQ(picture->height, size.height) << entry.path();
            ++count.decoded;
        }
    }
    return count;
}

TEST(MetafileReaders, CorpusFilesDecodeAtTheirRenderSize) {
    SKIP_WITHOUT_CORPUS();
    const struct {
        const char* path;
        int width;
        int height;
    } known[] = {
        {"wmf/pillow/drawing.wmf", 110, 110},     // 1369 units at 1200 per inch
        {"wmf/imagemagick/clock.wmf", 490, 495},  // 3096 x 3124 at 606
        {"wmf/imagemagick/wizard.wmf", 390, 512}, // 490 x 642, reduced
        {"wmf/libgdiplus/test.wmf", 640, 539},    // 8016 x 6756 at 1000: 770 x 649, reduced
        {"emf/pillow/drawing.emf", 110, 110},     // frame 29.0 mm
        {"emf/wmf2svg/fulltest.emf", 640, 480},   // frame 279.4 x 209.6 mm: 1056 x 792, reduced
        {"emf/libgdiplus/test.emf", 73, 71},
    };
    for (const auto& file : known) {
        const std::vector<std::uint8_t> bytes = Bytes(Corpus() / file.path);
        const bool wmf = std::string(file.path).starts_with("wmf");
        const std::optional<Picture> picture = wmf ? DecodeWmf(bytes) : DecodeEmf(bytes);
        ASSERT_TRUE(picture) << file.path;
        EXPECT_EQ(picture->width, file.width) << file.path;
        EXPECT_EQ(picture->height, file.height) << file.path;
    }

    const CorpusCount wmf = DecodeFolder(Corpus() / "wmf", ".wmf", CheckWmf, DecodeWmf);
    const CorpusCount emf = DecodeFolder(Corpus() / "emf", ".emf", CheckEmf, DecodeEmf);
    // libwmf plays neither wmf2svg file: it finds a record it calls short in one and no
    // font for the symbol faces of the other.
    EXPECT_EQ(wmf.accepted, 6);
    EXPECT_EQ(wmf.decoded, 4);
    // One of the 91 is not an EMF at all (its header is corrupted); of the others, six
    // fail in the converter (four of them deliberately corrupted files).
    EXPECT_EQ(emf.accepted, 90);
    EXPECT_GE(emf.decoded, 84);
    std::printf("corpus: %d of %d WMF and %d of %d EMF files decoded\n", wmf.decoded, wmf.accepted,
                emf.decoded, emf.accepted);
}

// Mean absolute difference per channel between two pictures of the same size.
double MeanDifference(const Picture& a, const Picture& b) {
    double total = 0;
    for (std::size_t i = 0; i < a.pixels.size(); ++i) {
        for (int shift : {0, 8, 16}) {
            total += std::abs(int((a.pixels[i] >> shift) & 0xFF) - int((b.pixels[i] >> shift) & 0xFF));
        }
    }
    return total / (3.0 * double(a.pixels.size()));
}

// Our rendering and a reference rendering, both brought to the reference's size.
double DifferenceFromReference(const std::optional<Picture>& ours, const char* reference) {
    const std::optional<Picture> wanted = DecodePng(Bytes(Corpus() / reference));
    if (!ours || !wanted) {
        ADD_FAILURE() << reference;
        return 255;
    }
    const Picture scaled = ScalePicture(*ours, wanted->width, wanted->height, ScaleMode::Smooth);
    return MeanDifference(scaled, *wanted);
}

TEST(MetafileReaders, RenderingsResembleTheReferences) {
    SKIP_WITHOUT_CORPUS();
    const double wmfDrawing = DifferenceFromReference(DecodeWmf(Bytes(Corpus() / "wmf/pillow/drawing.wmf")),
                                                      "wmf/pillow/drawing_wmf_ref.png");
    const double emfDrawing = DifferenceFromReference(DecodeEmf(Bytes(Corpus() / "emf/pillow/drawing.emf")),
                                                      "emf/pillow/drawing_emf_ref.png");
    const double emfFull = DifferenceFromReference(DecodeEmf(Bytes(Corpus() / "emf/wmf2svg/fulltest.emf")),
                                                   "emf/wmf2svg/fulltest.reference.png");
    std::printf("mean difference per channel: drawing.wmf %.2f, drawing.emf %.2f, fulltest.emf %.2f\n",
                wmfDrawing, emfDrawing, emfFull);
    EXPECT_LT(wmfDrawing, kDrawingWmfThreshold);
    EXPECT_LT(emfDrawing, kDrawingEmfThreshold);
    EXPECT_LT(emfFull, kFullTestThreshold);
}

// A helper that hangs, crashes or is missing fails the read, leaving no process behind.
TEST(MetafileSandbox, HelpersThatFailLeaveNothingBehind) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "quillmorph-sandbox-test";
    std::filesystem::create_directories(folder);
    const auto script = [&](const char* name, const char* body) {
        const std::filesystem::path path = folder / name;
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        return path.string();
    };
    const auto file = RedSquareEmf();
    for (const std::string& helper : {script("hangs", "exec sleep 30"), script("crashes", "kill -SEGV $$"),
                                      (folder / "missing").string()}) {
        SetMetafileHelperPath(helper);
        const auto started = std::chrono::steady_clock::now();
        EXPECT_FALSE(DecodeEmf(file)) << helper;
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20)) << helper;
        EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << helper;
    }
    SetMetafileHelperPath(QUILLMORPH_METAFILE_HELPER);
    std::filesystem::remove_all(folder);
    ExpectRedSquare(DecodeEmf(file), 96, 48);
}

// 50,000 rectangles on a frame of 3 metres: rendered at 640 pixels, or refused, within
// the helper's limits.
TEST(MetafileSandbox, ABusyMetafileIsBounded) {
    const std::vector<std::uint8_t> file = metafile_test::ManyRectanglesEmf(300'000, 50'000);
    const auto started = std::chrono::steady_clock::now();
    const std::optional<Picture> picture = DecodeEmf(file);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
    if (picture) {
        EXPECT_EQ(picture->width, 640);
    }
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
}

// Files found by fuzzing the libraries in-process: one makes libemf2svg's text
// conversion read past a buffer, the others keep libwmf busy for seconds. Through the
// helper each ends, with a picture or without, within its limits and leaves no process.
TEST(MetafileSandbox, FilesThatUpsetTheLibrariesEndWithinTheLimits) {
    const std::filesystem::path malformed = std::filesystem::path(QUILLMORPH_TEST_DATA) / "malformed";
    for (const char* kind : {"emf", "wmf"}) {
        for (const auto& path : FilesBelow(malformed / kind)) {
            const auto started = std::chrono::steady_clock::now();
            static_cast<void>(std::string(kind) == "emf" ? DecodeEmf(ReadBytes(path))
                                                         : DecodeWmf(ReadBytes(path)));
            EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20)) << path;
            EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << path;
        }
    }
}

} // namespace
