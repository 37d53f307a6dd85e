#include "cli/cli_options.h"

#include <gtest/gtest.h>

namespace {

ParsedCommand Parse(std::vector<std::string> arguments) {
    return ParseArguments(arguments);
}

TEST(CliOptionsTest, ConvertTakesEveryOptionAndKeepsEditsInOrder) {
    const ParsedCommand parsed = Parse({"convert",
                                        "in.png",
                                        "--mode",
                                        "5",
                                        "--method",
                                        "floyd-steinberg",
                                        "--strength",
                                        "75",
                                        "--serpentine",
                                        "--stretch",
                                        "--raw-scaling",
                                        "--lines",
                                        "200",
                                        "--palette",
                                        "0,Red,yellow,7",
                                        "--format",
                                        "png",
                                        "--gamma",
                                        "2.0",
                                        "--brightness",
                                        "-10",
                                        "--invert",
                                        "out.png",
                                        "--rotate-left"});
    ASSERT_EQ(parsed.error, "");
    const ConvertOptions& o = parsed.options;
    EXPECT_EQ(parsed.command, "convert");
    EXPECT_EQ(o.input, "in.png");
    EXPECT_EQ(o.output, "out.png");
    EXPECT_EQ(o.mode, 5);
    EXPECT_EQ(o.method, "floyd-steinberg");
    EXPECT_EQ(o.strength, 75);
    EXPECT_TRUE(o.serpentine && o.stretch && o.rawScaling);
    EXPECT_EQ(o.lines, 200);
    EXPECT_EQ(o.palette, (std::vector<int>{0, 1, 3, 7}));
    EXPECT_EQ(o.format, ScreenOutputKind::Png);
    ASSERT_EQ(o.edits.size(), 4u);
    EXPECT_EQ(o.edits[0].kind, EditKind::Gamma);
    EXPECT_EQ(o.edits[0].amount, 2.0F);
    EXPECT_EQ(o.edits[1].kind, EditKind::Brightness);
    EXPECT_EQ(o.edits[1].amount, -10.0F);
    EXPECT_EQ(o.edits[2].kind, EditKind::Invert);
    EXPECT_EQ(o.edits[3].kind, EditKind::RotateLeft);
}

TEST(CliOptionsTest, DefaultsMatchTheDesktopProgram) {
    const ParsedCommand parsed = Parse({"convert", "a", "b"});
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.options.mode, 2);
    EXPECT_EQ(parsed.options.method, "None");
    EXPECT_EQ(parsed.options.strength, 50);
    EXPECT_EQ(parsed.options.lines, 256);
    EXPECT_FALSE(parsed.options.serpentine || parsed.options.stretch || parsed.options.rawScaling);
    EXPECT_EQ(parsed.options.format, ScreenOutputKind::Dump);
}

TEST(CliOptionsTest, UsageErrorsSayWhatIsWrong) {
    EXPECT_EQ(Parse({}).error, "no command given");
    EXPECT_EQ(Parse({"explode"}).error, "unknown command 'explode'");
    EXPECT_EQ(Parse({"convert", "a"}).error, "convert needs 2 file names");
    EXPECT_EQ(Parse({"convert", "a", "b", "--mode", "3"}).error, "--mode needs 0, 1, 2, 4, 5 or 8");
    EXPECT_EQ(Parse({"convert", "a", "b", "--mode"}).error, "--mode needs a value");
    EXPECT_EQ(Parse({"convert", "a", "b", "--strength", "101"}).error,
              "--strength needs a whole number from 0 to 100");
    EXPECT_EQ(Parse({"convert", "a", "b", "--strength", "5x"}).error,
              "--strength needs a whole number from 0 to 100");
    EXPECT_EQ(Parse({"convert", "a", "b", "--lines", "128"}).error, "--lines needs 256, 240 or 200");
    EXPECT_NE(Parse({"convert", "a", "b", "--palette", "0,purple"}).error, "");
    EXPECT_NE(Parse({"convert", "a", "b", "--palette", "0,1,2,3,4,5,6,7,0"}).error, "");
    EXPECT_NE(Parse({"convert", "a", "b", "--palette", "0,,1"}).error, "");
    EXPECT_EQ(Parse({"convert", "a", "b", "--gamma", "8"}).error,
              "--gamma needs a number above 0 and below 8");
    EXPECT_EQ(Parse({"convert", "a", "b", "--brightness", "1.5"}).error,
              "--brightness needs a whole number from -128 to 128");
    EXPECT_EQ(Parse({"convert", "a", "b", "--format", "gif"}).error,
              "--format needs dump, png, jpg, bmp or ssd");
    EXPECT_EQ(Parse({"convert", "a", "b", "c"}).error, "convert needs 2 file names");
    EXPECT_EQ(Parse({"convert", "a", "--format", "ssd"}).error, "convert needs at least 2 file names");
    EXPECT_EQ(Parse({"disc", "a", "b.ssd"}).error, "disc needs --mode M");
    EXPECT_EQ(Parse({"disc", "a", "b.ssd", "--mode", "1", "--method", "3"}).error,
              "unknown option '--method' for disc");
    EXPECT_EQ(Parse({"decode", "a", "b"}).error, "decode needs --mode M");
    EXPECT_EQ(Parse({"decode", "a", "b", "--mode", "1", "--serpentine"}).error,
              "unknown option '--serpentine' for decode");
    EXPECT_EQ(Parse({"read", "a", "b", "--mode", "1"}).error, "unknown option '--mode' for read");
    EXPECT_EQ(Parse({"info", "a", "--invert"}).error, "unknown option '--invert' for info");
    EXPECT_EQ(Parse({"info"}).error, "info needs 1 file name");
    // The first wrong option in the order given is the one reported.
    EXPECT_EQ(Parse({"convert", "a", "b", "--bogus", "--strength", "500"}).error, "unknown option '--bogus'");
}

TEST(CliOptionsTest, BatchInputsMayStandAmongTheOptions) {
    const ParsedCommand parsed = Parse(
        {"convert", "a", "--invert", "--output-dir", "out", "--mode=5", "--jobs", "2", "b", "--invert"});
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.options.inputs, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(parsed.options.outputDir, "out");
    EXPECT_EQ(parsed.options.jobs, 2);
    EXPECT_EQ(parsed.options.mode, 5);
    EXPECT_EQ(parsed.options.edits.size(), 2u);
}

TEST(CliOptionsTest, ReadTakesEditsAndDecodeTakesAMode) {
    const ParsedCommand read = Parse({"read", "in.iff", "out.png", "--flip-vertical", "--contrast", "64"});
    ASSERT_EQ(read.error, "");
    ASSERT_EQ(read.options.edits.size(), 2u);
    EXPECT_EQ(read.options.edits[1].kind, EditKind::Contrast);
    const ParsedCommand decode = Parse({"decode", "SCREEN", "out.png", "--mode", "1"});
    ASSERT_EQ(decode.error, "");
    EXPECT_EQ(decode.options.mode, 1);
}

TEST(CliOptionsTest, DiscsTakeSeveralPicturesBeforeTheirName) {
    const ParsedCommand convert = Parse({"convert", "a.png", "b.png", "--format", "SSD", "show.ssd"});
    ASSERT_EQ(convert.error, "");
    EXPECT_EQ(convert.options.inputs, (std::vector<std::string>{"a.png", "b.png"}));
    EXPECT_EQ(convert.options.output, "show.ssd");
    const ParsedCommand disc = Parse({"disc", "A", "B", "C", "d.ssd", "--palette", "1,2", "--mode", "5"});
    ASSERT_EQ(disc.error, "");
    EXPECT_EQ(disc.options.inputs.size(), 3u);
    EXPECT_EQ(disc.options.palette, (std::vector<int>{1, 2}));
}

TEST(CliOptionsTest, PhysicalColoursByNumberOrName) {
    EXPECT_EQ(ParsePhysicalColour("6"), 6);
    EXPECT_EQ(ParsePhysicalColour("MAGENTA"), 5);
    EXPECT_EQ(ParsePhysicalColour("8"), std::nullopt);
    EXPECT_EQ(ParsePhysicalColour("-1"), std::nullopt);
    EXPECT_EQ(ParsePhysicalColour(""), std::nullopt);
}

} // namespace
