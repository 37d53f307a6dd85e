#include "imaging/picture.h"
#include "imaging/pixel_buffer.h"
#include "pipeline/dither_kernels.h"
#include "pipeline/remap.h"
#include "screen/screen_modes.h"
#include "state/app_state.h"
#include "state/error_message.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <gtest/gtest.h>
#include <random>
#include <span>
#include <string>
#include <vector>

namespace {

constexpr ColourValue kBlack = 0x000000;
constexpr ColourValue kWhite = 0xFFFFFF;

ColourValue Grey(unsigned level) {
    return MakeColour(level, level, level);
}

class RemapTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetAppState();
        DiscardAllPictures();
        LoadDitherKernels();
        PaletteEntry(0, 0) = kBlack;
        PaletteEntry(0, 1) = kWhite;
        SetErrorReporter([this](std::string_view, std::string_view text) { messages.emplace_back(text); });
    }
    void TearDown() override {
        SetErrorReporter(nullptr);
        DiscardAllPictures();
    }

    // A one-row or more picture of colour values as picture 8.
    static void MakePicture(int width, int height, const std::vector<ColourValue>& colours) {
        ASSERT_TRUE(CreatePicture(conversionWorkingCopy, width, height));
        for (int i = 0; i < width * height; ++i) {
            PlotPixel(conversionWorkingCopy, i % width, i / width, colours[static_cast<std::size_t>(i)]);
        }
    }
    static std::vector<ColourValue> Converted() {
        std::vector<ColourValue> colours;
        for (int y = 0; y < PictureHeight(convertedPicture); ++y) {
            for (int x = 0; x < PictureWidth(convertedPicture); ++x) {
                colours.push_back(ReadPixel(convertedPicture, x, y));
            }
        }
        return colours;
    }

    std::vector<std::string> messages;
};

constexpr int kFloydSteinberg = 5;

// The nearest of `colours` by the distance as described, the first of equals winning.
ColourValue ReferenceNearest(ColourValue c, std::span<const ColourValue> colours) {
    int best = 268435455;
    ColourValue result = 0;
    for (const ColourValue p : colours) {
        const int rMean = (static_cast<int>(RedOf(c)) + static_cast<int>(RedOf(p))) / 2;
        const int dR = static_cast<int>(RedOf(c)) - static_cast<int>(RedOf(p));
        const int dG = static_cast<int>(GreenOf(c)) - static_cast<int>(GreenOf(p));
        const int dB = static_cast<int>(BlueOf(c)) - static_cast<int>(BlueOf(p));
        const int d = ((512 + rMean) * dR * dR) / 256 + 4 * dG * dG + ((767 - rMean) * dB * dB) / 256;
        if (d < best) {
            best = d;
            result = p;
        }
    }
    return result;
}

// The remapping written out step by step from its description, slow and plain, for the
// fast pass to be measured against.
void ReferenceRemap(std::vector<BufferWord>& buffer, int w, int h, int mode, int method, int strength,
                    bool serpentine) {
    const int n = ScreenModeByNumber(mode)->colourCount;
    const auto s = static_cast<float>(static_cast<double>(strength) / 100.0);
    const DitherKernel& kernel = ditherTable[static_cast<std::size_t>(method)];
    int o = 0;
    for (int k = 0; k < kernel.width; ++k) {
        if (kernel.cells[static_cast<std::size_t>(k)] == 1.0F) {
            o = k;
        }
    }
    const auto colours = std::span<const ColourValue>(palette).subspan(
        static_cast<std::size_t>(mode * kPaletteColumns), static_cast<std::size_t>(n));
    const auto nearest = [&](ColourValue c) { return ReferenceNearest(c, colours); };
    const auto round = [](double value) { return static_cast<int>(RoundHalfEven(value)); };
    for (int y = 0; y < h; ++y) {
        const bool reversed = serpentine && y % 2 == 1;
        for (int i = 0; i < w; ++i) {
            const int x = reversed ? w - 1 - i : i;
            BufferWord& word = buffer[static_cast<std::size_t>(y * w + x)];
            const ColourValue c = SwapRedBlue(word);
            const ColourValue q = nearest(c);
            word = SwapRedBlue(q);
            const int eR =
                round((static_cast<int>(RedOf(c)) - static_cast<int>(RedOf(q))) * static_cast<double>(s));
            const int eG =
                round((static_cast<int>(GreenOf(c)) - static_cast<int>(GreenOf(q))) * static_cast<double>(s));
            const int eB =
                round((static_cast<int>(BlueOf(c)) - static_cast<int>(BlueOf(q))) * static_cast<double>(s));
            for (int r = 0; r < kernel.height; ++r) {
                for (int k = 0; k < kernel.width; ++k) {
                    const float weight = kernel.cells[static_cast<std::size_t>(r * kernel.width + k)];
                    if ((k == o && r == 0) || weight == 0.0F) {
                        continue;
                    }
                    const int tx = reversed ? x - (k - o) : x + (k - o);
                    const int ty = y + r;
                    if (tx < 0 || tx >= w || ty >= h) {
                        continue;
                    }
                    BufferWord& target = buffer[static_cast<std::size_t>(ty * w + tx)];
                    const ColourValue t = SwapRedBlue(target);
                    const double wd = static_cast<double>(weight);
                    target = SwapRedBlue(MakeColour(
                        static_cast<unsigned>(ClampChannel(static_cast<int>(RedOf(t)), round(eR * wd))),
                        static_cast<unsigned>(ClampChannel(static_cast<int>(GreenOf(t)), round(eG * wd))),
                        static_cast<unsigned>(ClampChannel(static_cast<int>(BlueOf(t)), round(eB * wd)))));
                }
            }
        }
    }
}

TEST_F(RemapTest, NearestColourUsesTheWeightedDistanceAndKeepsTheFirstOfEquals) {
    EXPECT_EQ(FindNearestColour(Grey(127), 0, 2), kBlack); // 145,097 against 147,392
    EXPECT_EQ(FindNearestColour(Grey(128), 0, 2), kWhite);
    // (0,1,0) lies 4 from both (0,0,0) and (0,2,0): the lower logical colour wins either way round.
    PaletteEntry(1, 0) = MakeColour(0, 2, 0);
    PaletteEntry(1, 1) = kBlack;
    EXPECT_EQ(FindNearestColour(MakeColour(0, 1, 0), 1, 2), MakeColour(0, 2, 0));
    PaletteEntry(1, 0) = kBlack;
    PaletteEntry(1, 1) = MakeColour(0, 2, 0);
    EXPECT_EQ(FindNearestColour(MakeColour(0, 1, 0), 1, 2), kBlack);
    // Only the first `count` entries take part.
    PaletteEntry(1, 2) = MakeColour(0, 1, 0);
    EXPECT_EQ(FindNearestColour(MakeColour(0, 1, 0), 1, 2), kBlack);
    EXPECT_EQ(FindNearestColour(MakeColour(0, 1, 0), 1, 3), MakeColour(0, 1, 0));
    // Red weighs more where the mean red is high: blue-ish and red-ish distances differ.
    PaletteEntry(1, 0) = MakeColour(255, 0, 10);
    PaletteEntry(1, 1) = MakeColour(245, 0, 0);
    EXPECT_EQ(FindNearestColour(MakeColour(250, 0, 5), 1, 2), MakeColour(255, 0, 10));
}

TEST_F(RemapTest, ErrorTravelsRightAndPastTheLastRowIsLost) {
    // 100 turns black and sends round(43.75) = 44 on; 144 turns white and sends round(-48.5625) = -49.
    MakePicture(3, 1, {Grey(100), Grey(100), Grey(100)});
    ASSERT_EQ(RemapImage(conversionWorkingCopy, 0, kFloydSteinberg, 100, 0), convertedPicture);
    EXPECT_EQ(Converted(), (std::vector<ColourValue>{kBlack, kWhite, kBlack}));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(ReadPixel(conversionWorkingCopy, 1, 0), Grey(100)); // the input stays as it was
}

TEST_F(RemapTest, SerpentineRowsRunBackwardsWithTheKernelMirrored) {
    // Row 0 leaves 110 at (0,1) and 71 at (1,1). Left to right, (0,1) turns black and
    // (1,1) gets 48 more: 119, black. Reversed, (1,1) turns black first and its 7/16
    // share of 71 (31) reaches x - 1, lifting (0,1) to 141: white.
    MakePicture(2, 2, {Grey(100), Grey(100), Grey(100), Grey(100)});
    ASSERT_EQ(RemapImage(conversionWorkingCopy, 0, kFloydSteinberg, 100, 0), convertedPicture);
    EXPECT_EQ(Converted(), (std::vector<ColourValue>{kBlack, kWhite, kBlack, kBlack}));
    ASSERT_EQ(RemapImage(conversionWorkingCopy, 0, kFloydSteinberg, 100, 1), convertedPicture);
    EXPECT_EQ(Converted(), (std::vector<ColourValue>{kBlack, kWhite, kWhite, kBlack}));
}

TEST_F(RemapTest, ChannelsAreClampedBeforeTheNextMatch) {
    // 120 sends 52 to 250, which is held at 255 and so sends nothing on; unclamped it
    // would pass 21 to the 110 and turn it white.
    MakePicture(3, 1, {Grey(120), Grey(250), Grey(110)});
    ASSERT_EQ(RemapImage(conversionWorkingCopy, 0, kFloydSteinberg, 100, 0), convertedPicture);
    EXPECT_EQ(Converted(), (std::vector<ColourValue>{kBlack, kWhite, kBlack}));
}

TEST_F(RemapTest, StrengthZeroAndNoneAreNearestColourMapping) {
    std::vector<ColourValue> colours;
    for (unsigned i = 0; i < 64; ++i) {
        colours.push_back(Grey(i * 4));
    }
    MakePicture(8, 8, colours);
    std::vector<ColourValue> plain;
    for (const ColourValue c : colours) {
        plain.push_back(FindNearestColour(c, 0, 2));
    }
    ASSERT_EQ(RemapImage(conversionWorkingCopy, 0, kFloydSteinberg, 0, 1), convertedPicture);
    EXPECT_EQ(Converted(), plain);
    ASSERT_EQ(RemapImage(conversionWorkingCopy, 0, 0, 100, 0), convertedPicture);
    EXPECT_EQ(Converted(), plain);
    ASSERT_EQ(RemapImage(conversionWorkingCopy, 0, 40, 100, 0), convertedPicture); // an empty table row
    EXPECT_EQ(Converted(), plain);
    ASSERT_EQ(RemapImage(conversionWorkingCopy, 0, 1000, 100, 0), convertedPicture); // beyond the table
    EXPECT_EQ(Converted(), plain);
}

TEST_F(RemapTest, BadModeOrStrengthIsReportedAndLeavesPictureSevenAlone) {
    MakePicture(1, 1, {Grey(200)});
    ASSERT_TRUE(CreatePicture(convertedPicture, 5, 5));
    EXPECT_EQ(RemapImage(conversionWorkingCopy, 3, 0, 101, 0), 0);
    EXPECT_EQ(RemapImage(conversionWorkingCopy, 2, 0, 101, 0), 0);
    EXPECT_EQ(RemapImage(conversionWorkingCopy, -7, 0, 50, 0), 0);
    EXPECT_EQ(RemapImage(conversionWorkingCopy, 2, 0, -1, 0), 0);
    const std::string prefix = "Unfortunately an error has occurred.\n\nReason: ";
    EXPECT_EQ(messages, (std::vector<std::string>{
                            prefix + "Invalid screen mode parameter passed (3) in RemapImage().",
                            prefix + "Dither value out of range (101) in RemapImage().",
                            prefix + "Invalid screen mode parameter passed (-7) in RemapImage().",
                            prefix + "Dither value out of range (-1) in RemapImage().",
                        }));
    EXPECT_EQ(PictureWidth(convertedPicture), 5);
    // A 1 x 1 picture is simply quantised, and picture 7 takes its size.
    ASSERT_EQ(RemapImage(conversionWorkingCopy, 0, 16, 100, 1), convertedPicture);
    EXPECT_EQ(Converted(), std::vector<ColourValue>{kWhite});
}

constexpr RemapPath kPaths[] = {RemapPath::Fastest, RemapPath::Baseline, RemapPath::Portable,
                                RemapPath::Plain};

// Random pictures against the reference on every path: every method, serpentine on and
// off, several strengths, arbitrary palettes with repeated colours.
TEST_F(RemapTest, EveryPathMatchesTheReferenceForEveryMethod) {
    std::mt19937 random(20240611);
    const int modes[] = {0, 1, 2, 4, 5, 8};
    const int strengths[] = {0, 1, 33, 50, 77, 100};
    auto channel = [&] { return static_cast<unsigned>(random() % 256); };
    int cases = 0;
    for (int method = 0; method <= 17; ++method) {
        for (const int strength : strengths) {
            for (int serp = 0; serp <= 1; ++serp) {
                const int mode = modes[random() % 6];
                // Every other palette of physical colours only, which have passes of their own;
                // half of those hold every one, in an order of their own.
                const bool physical = cases % 2 == 1;
                std::array<ColourValue, 8> everyCorner = kPhysicalColours;
                std::shuffle(everyCorner.begin(), everyCorner.end(), random);
                for (int k = 0; k < 8; ++k) {
                    // Arbitrary colours, now and then a repeated one.
                    PaletteEntry(mode, k) = cases % 4 == 3 ? everyCorner[static_cast<std::size_t>(k)]
                                            : (k > 0 && random() % 5 == 0) ? PaletteEntry(mode, k - 1)
                                            : physical                     ? kPhysicalColours[random() % 8]
                                                       : MakeColour(channel(), channel(), channel());
                }
                // Narrow pictures put most pixels near an edge; wider ones exercise the middle.
                const int w = 1 + static_cast<int>(random() % (cases % 3 == 0 ? 61 : 19));
                const int h = 1 + static_cast<int>(random() % 13);
                std::vector<BufferWord> input(static_cast<std::size_t>(w * h));
                for (BufferWord& word : input) {
                    // Some high bytes set: they carry no colour and must not leak.
                    word = static_cast<BufferWord>(random()) & (random() % 2 ? 0xFFFFFFFFu : 0x00FFFFFFu);
                }
                std::vector<BufferWord> expected = input;
                ReferenceRemap(expected, w, h, mode, method, strength, serp != 0);
                const auto colours = std::span<const ColourValue>(palette).subspan(
                    static_cast<std::size_t>(mode * kPaletteColumns),
                    static_cast<std::size_t>(ScreenModeByNumber(mode)->colourCount));
                for (const RemapPath path : kPaths) {
                    std::vector<BufferWord> buffer = input;
                    ASSERT_TRUE(RemapPixelsWith(path, buffer, w, h, colours,
                                                ditherTable[static_cast<std::size_t>(method)], strength,
                                                serp != 0));
                    ASSERT_EQ(buffer, expected) << "path " << static_cast<int>(path) << " method " << method
                                                << " strength " << strength << " serpentine " << serp
                                                << " mode " << mode << " size " << w << "x" << h;
                }
                ++cases;
            }
        }
    }
    EXPECT_EQ(cases, 18 * 6 * 2);
}

// Kernels outside the table's shapes: a weight left of the current pixel on its own
// row, weights above 1, one reaching further than the padded pass allows, and a tall one.
TEST_F(RemapTest, UnusualKernelsMatchTheReferenceOnEveryPath) {
    std::mt19937 random(99);
    const auto kernel = [](int width, int height, std::vector<float> cells) {
        DitherKernel k;
        k.width = static_cast<std::int16_t>(width);
        k.height = static_cast<std::int16_t>(height);
        std::copy(cells.begin(), cells.end(), k.cells.begin());
        return k;
    };
    const DitherKernel kernels[] = {
        kernel(3, 2, {0.25F, 1.0F, 0.5F, 0.125F, 0.0F, 0.125F}),
        kernel(2, 2, {1.0F, 1.5F, 3.0F, 0.0F}),
        kernel(12, 1, {1.0F, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0.5F}),
        kernel(1, 8, {1.0F, 0.1F, 0.1F, 0.1F, 0.1F, 0.1F, 0.1F, 0.3F}),
        kernel(
            9, 2,
            {0, 0, 0, 0, 1.0F, 0.2F, 0.1F, 0.1F, 0.1F, 0.1F, 0.1F, 0.1F, 0.1F, 0.1F, 0.1F, 0.1F, 0.1F, 0.1F}),
    };
    const int mode = 1;
    for (int k = 0; k < 4; ++k) {
        PaletteEntry(mode, k) = static_cast<ColourValue>(random()) & 0xFFFFFFu;
    }
    const std::size_t kernelCount = std::size(kernels);
    for (std::size_t i = 0; i < kernelCount; ++i) {
        ditherTable[40] = kernels[i];
        for (int serp = 0; serp <= 1; ++serp) {
            const int w = 23;
            const int h = 11;
            std::vector<BufferWord> input(static_cast<std::size_t>(w * h));
            for (BufferWord& word : input) {
                word = static_cast<BufferWord>(random()) & 0xFFFFFFu;
            }
            std::vector<BufferWord> expected = input;
            ReferenceRemap(expected, w, h, mode, 40, 90, serp != 0);
            for (const RemapPath path : kPaths) {
                std::vector<BufferWord> buffer = input;
                ASSERT_TRUE(RemapPixelsWith(path, buffer, w, h,
                                            std::span<const ColourValue>(palette).subspan(8, 4),
                                            ditherTable[40], 90, serp != 0));
                ASSERT_EQ(buffer, expected) << "kernel " << i << " path " << static_cast<int>(path);
            }
        }
    }
    ditherTable[40] = DitherKernel{};
}

// The picture the desktop program converts most, full Mode 0 width, in Mode 0 and in
// Mode 2's default palette (every corner of the cube), every method and path.
TEST_F(RemapTest, FullWidthPicturesMatchTheReference) {
    std::mt19937 random(5);
    const int w = 640;
    const int h = 9;
    std::vector<BufferWord> input(static_cast<std::size_t>(w * h));
    for (std::size_t i = 0; i < input.size(); ++i) {
        // A ramp with noise, so errors of every size occur.
        const auto level = static_cast<unsigned>((i % w) * 255 / w);
        input[i] = SwapRedBlue(MakeColour(level, (level + random() % 64) & 0xFF, 255 - level));
    }
    for (const int mode : {0, 2}) {
        ResetPalette(mode);
        const auto colours = std::span<const ColourValue>(palette).subspan(
            static_cast<std::size_t>(mode * kPaletteColumns),
            static_cast<std::size_t>(ScreenModeByNumber(mode)->colourCount));
        for (int method = 0; method < kDitherMethodCount; ++method) {
            for (int serp = 0; serp <= 1; ++serp) {
                std::vector<BufferWord> expected = input;
                ReferenceRemap(expected, w, h, mode, method, 100, serp != 0);
                for (const RemapPath path : kPaths) {
                    std::vector<BufferWord> buffer = input;
                    ASSERT_TRUE(RemapPixelsWith(path, buffer, w, h, colours,
                                                ditherTable[static_cast<std::size_t>(method)], 100,
                                                serp != 0));
                    ASSERT_EQ(buffer, expected) << "mode " << mode << " path " << static_cast<int>(path)
                                                << " method " << method << " serpentine " << serp;
                }
            }
        }
    }
}

// Plain matching (strength 0) of every colour on every path, against the distance as
// described: the default palettes of the two-, four- and eight-colour modes, and
// two-colour palettes full of ties. Under the sanitizers a sample of colours.
TEST_F(RemapTest, MatchingAgreesWithTheDistanceForEveryColour) {
#if defined(__SANITIZE_ADDRESS__)
    constexpr std::uint32_t kStride = 61;
#else
    constexpr std::uint32_t kStride = 1;
#endif
    struct Case {
        std::string name;
        std::vector<ColourValue> colours;
        int mode; // the default palette of this mode, or -1
    };
    std::vector<Case> cases;
    for (const int mode : {0, 1, 2}) {
        ResetPalette(mode);
        const auto n = static_cast<std::size_t>(ScreenModeByNumber(mode)->colourCount);
        const auto row = std::span<const ColourValue>(palette).subspan(
            static_cast<std::size_t>(mode * kPaletteColumns), n);
        cases.push_back({"mode " + std::to_string(mode), {row.begin(), row.end()}, mode});
    }
    // Colours an odd step apart tie halfway on every channel; a repeated colour never wins.
    cases.push_back({"green step", {MakeColour(0, 0, 0), MakeColour(0, 2, 0)}, -1});
    cases.push_back({"blue step", {MakeColour(200, 9, 1), MakeColour(200, 9, 3)}, -1});
    cases.push_back({"red step", {MakeColour(101, 50, 50), MakeColour(99, 50, 50)}, -1});
    cases.push_back({"repeated", {MakeColour(10, 20, 30), MakeColour(10, 20, 30)}, -1});
    cases.push_back({"one colour", {MakeColour(128, 0, 255)}, -1});
    cases.push_back({"red and blue", {MakeColour(255, 0, 0), MakeColour(0, 0, 255)}, -1});
    // Physical colours out of order and repeated, on three corners, on seven and on all.
    cases.push_back({"three corners", {kWhite, 0x0000FF, kWhite, kBlack, 0x0000FF}, -1});
    cases.push_back({"eight corners", {kPhysicalColours.rbegin(), kPhysicalColours.rend()}, -1});
    std::vector<ColourValue> seven(kPhysicalColours.rbegin(), kPhysicalColours.rend() - 1);
    seven.push_back(seven.back());
    cases.push_back({"seven corners", seven, -1});

    DitherKernel silent;
    silent.width = 3;
    silent.height = 2;
    const float cells[] = {0.0F, 1.0F, 0.1F, 0.1F, 0.1F, 0.1F};
    std::copy(std::begin(cells), std::end(cells), silent.cells.begin());
    constexpr int kWidth = 4096;
    constexpr int kHeight = 16;
    constexpr std::uint32_t kChunk = kWidth * kHeight;
    for (const Case& c : cases) {
        const std::uint32_t stride = c.mode >= 0 ? kStride : 7 * kStride;
        for (std::uint32_t first = 0; first < (1u << 24); first += kChunk * stride) {
            std::vector<BufferWord> input(kChunk);
            std::vector<BufferWord> expected(kChunk);
            for (std::uint32_t i = 0; i < kChunk; ++i) {
                const ColourValue colour = (first + i * stride) & 0xFFFFFFu;
                // A high byte now and then: it carries no colour.
                input[i] = SwapRedBlue(colour) | ((i % 5 == 0) ? 0xA5000000u : 0u);
                expected[i] = SwapRedBlue(ReferenceNearest(colour, c.colours));
                if (c.mode >= 0) {
                    ASSERT_EQ(FindNearestColour(colour, c.mode, static_cast<int>(c.colours.size())),
                              SwapRedBlue(expected[i]))
                        << c.name << " colour " << colour;
                }
            }
            for (const RemapPath path : kPaths) {
                // Strength 0, and a kernel whose every share at strength 1 rounds to
                // nothing: the passes that diffuse match too.
                for (const int strength : {0, 1}) {
                    std::vector<BufferWord> buffer = input;
                    ASSERT_TRUE(RemapPixelsWith(path, buffer, kWidth, kHeight, c.colours, silent, strength,
                                                strength == 1));
                    const auto wrong = std::mismatch(buffer.begin(), buffer.end(), expected.begin());
                    ASSERT_TRUE(wrong.first == buffer.end())
                        << c.name << " path " << static_cast<int>(path) << " strength " << strength
                        << " colour "
                        << ((first + static_cast<std::uint32_t>(wrong.first - buffer.begin()) * stride) &
                            0xFFFFFFu);
                }
            }
        }
    }
}

TEST_F(RemapTest, RemapPixelsRefusesWhatItCannotDo) {
    std::vector<BufferWord> buffer(4, 0x808080u);
    const ColourValue colours[] = {kBlack, kWhite};
    EXPECT_FALSE(RemapPixels(buffer, 2, 2, colours, ditherTable[5], 101, false));
    EXPECT_FALSE(RemapPixels(buffer, 3, 2, colours, ditherTable[5], 50, false));
    EXPECT_EQ(buffer, std::vector<BufferWord>(4, 0x808080u));
}

} // namespace
