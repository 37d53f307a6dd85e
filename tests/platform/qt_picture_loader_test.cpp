#include "imaging/file_helpers.h"
#include "imaging/picture_writer.h"
#include "imaging/png_reader.h"
#include "platform/qt_picture_loader.h"

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

// The three Qt loaders as the chain tries them: bitmaps, icons and cursors, pictures.
std::optional<Picture> Load(std::span<const std::uint8_t> bytes) {
    static const PictureReader loaders[] = {QtBitmapReader(), QtIconReader(), QtPictureReader()};
    for (const PictureReader& loader : loaders) {
        const ReaderCheck check = loader.check(bytes, "");
        if (!check.accepted) {
            continue;
        }
        auto picture = loader.decode(bytes, "");
        if (picture) {
            // An EXIF orientation may turn a JPEG by 90 degrees after the header was read.
            const bool same = picture->width == check.width && picture->height == check.height;
            const bool turned = picture->width == check.height && picture->height == check.width;
            EXPECT_TRUE(same || turned);
        }
        return picture;
    }
    return std::nullopt;
}

std::filesystem::path CorpusFolder(const char* format) {
    return std::filesystem::path(QUILLMORPH_CORPUS) / format;
}

int MaxChannelDifference(const Picture& a, const Picture& b) {
    int worst = 0;
    for (std::size_t i = 0; i < a.pixels.size() && i < b.pixels.size(); ++i) {
        for (int shift = 0; shift < 24; shift += 8) {
            worst = std::max(
                worst, std::abs(int((a.pixels[i] >> shift) & 0xFF) - int((b.pixels[i] >> shift) & 0xFF)));
        }
    }
    return worst;
}

const Picture kSmall{3, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0x123456}};

TEST(QtPictureLoader, ReadsTheProgramsOwnBmpAndJpeg) {
    const auto bmp = Load(*EncodeBmp(kSmall));
    ASSERT_TRUE(bmp);
    EXPECT_EQ(bmp->pixels, kSmall.pixels);

    const Picture red{16, 8, std::vector<BufferWord>(128, 0xFF0000)};
    const auto jpeg = Load(*EncodeJpeg(red));
    ASSERT_TRUE(jpeg);
    EXPECT_LE(MaxChannelDifference(*jpeg, red), 3);
}

TEST(QtPictureLoader, DeclinesFormatsLeftToOtherReaders) {
    const std::string pbm = "P1\n2 2\n0 1\n1 0\n";
    const std::vector<std::uint8_t> bmp = *EncodeBmp(kSmall);
    for (const PictureReader& loader : {QtBitmapReader(), QtIconReader(), QtPictureReader()}) {
        EXPECT_FALSE(loader.check(*EncodePng(kSmall), "a.png").accepted);
        EXPECT_FALSE(
            loader.check(std::span(reinterpret_cast<const std::uint8_t*>(pbm.data()), pbm.size()), "")
                .accepted);
        EXPECT_FALSE(loader.check({}, "").accepted);
    }
    // Each loader keeps to its own formats.
    EXPECT_TRUE(QtBitmapReader().check(bmp, "").accepted);
    EXPECT_FALSE(QtIconReader().check(bmp, "").accepted);
    EXPECT_FALSE(QtPictureReader().check(bmp, "").accepted);
    EXPECT_FALSE(QtBitmapReader().check(*EncodeJpeg(kSmall), "").accepted);
}

TEST(QtPictureLoader, ReportsABmpSizeFromItsHeaderAndRefusesToDecodeItBeyondTheLimit) {
    std::vector<std::uint8_t> bmp = *EncodeBmp(kSmall);
    bmp[18] = 0x00, bmp[19] = 0x80, bmp[22] = 1, bmp[23] = 0; // 32768 x 1, one pixel too wide
    const ReaderCheck check = QtBitmapReader().check(bmp, "");
    ASSERT_TRUE(check.accepted);
    EXPECT_EQ(check.width, 32768);
    EXPECT_EQ(check.height, 1);
    EXPECT_FALSE(QtBitmapReader().decode(bmp, ""));
}

TEST(QtPictureLoader, HeadersTheirFileCannotFillAreRefused) {
    // 30000 x 4000 stored pixels in a file of header alone.
    std::vector<std::uint8_t> bmp = *EncodeBmp(kSmall);
    bmp[18] = 0x30, bmp[19] = 0x75, bmp[22] = 0xA0, bmp[23] = 0x0F;
    const ReaderCheck check = QtBitmapReader().check(bmp, "");
    EXPECT_TRUE(check.accepted);
    EXPECT_NE(check.refusal, "");
    EXPECT_FALSE(QtBitmapReader().decode(bmp, ""));

    // Logical screens far larger than a file of a few bytes could fill: 12000 x 12000
    // around a one-pixel frame, and one of zero width reaching as far as a frame
    // 24,705 pixels wide at 255 lines (found by fuzzing).
    for (const auto& path : FilesBelow(std::filesystem::path(QUILLMORPH_TEST_DATA) / "malformed" / "gif")) {
        const std::vector<std::uint8_t> gif = ReadBytes(path);
        const ReaderCheck gifCheck = QtPictureReader().check(gif, "");
        EXPECT_TRUE(gifCheck.accepted) << path;
        EXPECT_NE(gifCheck.refusal, "") << path;
        EXPECT_FALSE(QtPictureReader().decode(gif, "")) << path;
    }
}

TEST(QtPictureLoader, IconsShowTheirMaskAndTargaFilesAreNoIcons) {
    // One 2 x 1 icon of 24 bits a pixel, white and red; its AND mask hides the white pixel.
    std::vector<std::uint8_t> ico = {0, 0, 1, 0, 1, 0, 2, 1, 0, 0, 1, 0, 24, 0, 48, 0, 0, 0, 22, 0, 0, 0};
    const std::vector<std::uint8_t> header = {40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0};
    ico.insert(ico.end(), header.begin(), header.end());
    ico.resize(ico.size() + 24); // no compression, sizes, resolution, colours
    const std::vector<std::uint8_t> pixels = {0xFF, 0xFF, 0xFF, 0, 0, 0xFF, 0, 0, 0x80, 0, 0, 0};
    ico.insert(ico.end(), pixels.begin(), pixels.end());
    ASSERT_EQ(ico.size(), 22u + 40 + 8 + 4);
    const auto icon = QtIconReader().decode(ico, "");
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->pixels, (std::vector<BufferWord>{0, 0xFF0000}));

    // An uncompressed Targa file without identification field begins 00 00 02 00, as a
    // cursor does.
    std::vector<std::uint8_t> tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 24, 0x20, 0, 0, 0xFF};
    EXPECT_FALSE(QtIconReader().check(tga, "").accepted);
}

TEST(QtPictureLoader, SixteenBitBitmapsReachFullWhite) {
    // 2 x 1, 16 bits a pixel, no compression (5-5-5): white 7FFF and blue 001F.
    std::vector<std::uint8_t> bmp = {'B', 'M', 62, 0, 0, 0, 0,    0,    0,    0,    54, 0, 0,  0, 40, 0,
                                     0,   0,   2,  0, 0, 0, 1,    0,    0,    0,    1,  0, 16, 0, 0,  0,
                                     0,   0,   8,  0, 0, 0, 0,    0,    0,    0,    0,  0, 0,  0, 0,  0,
                                     0,   0,   0,  0, 0, 0, 0xFF, 0x7F, 0x1F, 0x00, 0,  0, 0,  0};
    const auto picture = QtBitmapReader().decode(bmp, "");
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->pixels, (std::vector<BufferWord>{0xFFFFFF, 0x0000FF}));
}

TEST(QtPictureLoader, AGifIsItsLogicalScreenWithTheFirstFrameAtItsOffset) {
    // A green 2 x 1 frame at 1, 1 on a 4 x 2 screen whose background colour is red: black
    // where the frame does not reach.
    const std::vector<std::uint8_t> gif =
        ReadBytes(std::filesystem::path(QUILLMORPH_FUZZ_CORPUS) / "chain" / "offset-frame.gif");
    const ReaderCheck check = QtPictureReader().check(gif, "");
    EXPECT_EQ(check.width, 4);
    EXPECT_EQ(check.height, 2);
    const auto picture = QtPictureReader().decode(gif, "");
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->pixels, (std::vector<BufferWord>{0, 0, 0, 0, 0, 0x00FF00, 0x00FF00, 0}));
}

TEST(QtPictureLoader, BmpSuiteMatchesItsRenderings) {
    const std::filesystem::path folder = CorpusFolder("bmp") / "bmpsuite";
    if (!std::filesystem::is_directory(folder)) {
        GTEST_SKIP() << "corpus folder " << folder << " is absent";
    }
    int compared = 0;
    for (const auto& path : FilesBelow(folder / "g")) {
        const auto picture = Load(ReadBytes(path));
        ASSERT_TRUE(picture) << path;
        const std::filesystem::path rendering = folder / "html" / (path.stem().string() + ".png");
        if (std::filesystem::exists(rendering)) {
            const auto reference = DecodePng(ReadBytes(rendering));
            ASSERT_TRUE(reference);
            // 5-bit channels are widened by shifting (31 gives 248), the renderings
            // scale them (31 gives 255).
            const int tolerance = path.stem().string().rfind("rgb16", 0) == 0 ? 7 : 0;
            EXPECT_EQ(picture->pixels.size(), reference->pixels.size()) << path;
            EXPECT_LE(MaxChannelDifference(*picture, *reference), tolerance) << path;
            ++compared;
        }
    }
    EXPECT_EQ(compared, 12);
    // Damaged files fail or decode, but never crash or read outside the file.
    for (const auto& path : FilesBelow(folder / "b")) {
        Load(ReadBytes(path));
    }
}

TEST(QtPictureLoader, GifFirstFramesIconsCursorsAndJpegsFromTheCorpus) {
    if (!std::filesystem::is_directory(CorpusFolder("gif"))) {
        GTEST_SKIP() << "corpus folder " << CorpusFolder("gif") << " is absent";
    }
    for (const char* name : {"3x5", "audrey", "sunflower"}) {
        const auto picture = Load(ReadBytes(CorpusFolder("gif") / "pixie" / (std::string(name) + ".gif")));
        const auto reference =
            DecodePng(ReadBytes(CorpusFolder("gif") / "pixie" / (std::string(name) + ".png")));
        ASSERT_TRUE(picture) << name;
        ASSERT_TRUE(reference) << name;
        EXPECT_EQ(picture->pixels, reference->pixels) << name;
    }
    // Every file of each folder is offered, damaged ones included; at least as many
    // decode as did when this test was written.
    const std::pair<const char*, int> measured[] = {{"gif", 87},
                                                    {"ico", 31},
                                                    {"cur", 3},
                                                    {"jpeg", 94},
                                                    {"bmp", 121}}; // bmpsuite's shortfile.bmp is refused
    for (const auto& [format, least] : measured) {
        int files = 0;
        int decoded = 0;
        for (const auto& path : FilesBelow(CorpusFolder(format))) {
            const std::string extension = path.extension().string();
            if (extension == ".png" || extension == ".txt" || extension == ".html" || extension == ".conf" ||
                extension == ".rgba" || extension == ".md") {
                continue;
            }
            ++files;
            decoded += Load(ReadBytes(path)) ? 1 : 0;
        }
        std::printf("corpus %s: %d of %d files decoded\n", format, decoded, files);
        EXPECT_GE(decoded, least) << format;
    }
    // Qt reads 32 x 32 cursors; the 1 x 4 test cursors of another suite it does not.
    for (const char* name : {"twelvemonkeys/hand.cur", "twelvemonkeys/zoom.cur", "pillow/deerstalker.cur"}) {
        EXPECT_TRUE(Load(ReadBytes(CorpusFolder("cur") / name))) << name;
    }
}

} // namespace
