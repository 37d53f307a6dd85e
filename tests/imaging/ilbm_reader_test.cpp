#include "imaging/ilbm_reader.h"
#include "own_readers_support.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Rgb {
    unsigned red;
    unsigned green;
    unsigned blue;
};

BufferWord Word(Rgb c) {
    return (c.red << 16) | (c.green << 8) | c.blue;
}

Bytes Chunk(const std::string& id, const Bytes& data) {
    Bytes out;
    PutText(out, id);
    PutU32BE(out, static_cast<std::uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    if (data.size() % 2 != 0) {
        out.push_back(0);
    }
    return out;
}

Bytes Form(const std::string& type, const std::vector<Bytes>& chunks) {
    Bytes content;
    PutText(content, type);
    for (const Bytes& chunk : chunks) {
        content.insert(content.end(), chunk.begin(), chunk.end());
    }
    Bytes out;
    PutText(out, "FORM");
    PutU32BE(out, static_cast<std::uint32_t>(content.size()));
    out.insert(out.end(), content.begin(), content.end());
    return out;
}

Bytes Bmhd(int width, int height, int planes, int masking = 0, int compression = 0) {
    Bytes data;
    PutU16BE(data, static_cast<unsigned>(width));
    PutU16BE(data, static_cast<unsigned>(height));
    PutU32BE(data, 0);
    data.push_back(static_cast<std::uint8_t>(planes));
    data.push_back(static_cast<std::uint8_t>(masking));
    data.push_back(static_cast<std::uint8_t>(compression));
    data.insert(data.end(), 9, 0);
    return Chunk("BMHD", data);
}

Bytes Camg(std::uint32_t mode) {
    Bytes data;
    PutU32BE(data, mode);
    return Chunk("CAMG", data);
}

Bytes Cmap(const std::vector<Rgb>& colours) {
    Bytes data;
    for (const Rgb& c : colours) {
        data.insert(data.end(), {static_cast<std::uint8_t>(c.red), static_cast<std::uint8_t>(c.green),
                                 static_cast<std::uint8_t>(c.blue)});
    }
    return Chunk("CMAP", data);
}

// A table of `count` distinct colours.
std::vector<Rgb> Palette(unsigned count) {
    std::vector<Rgb> colours;
    for (unsigned n = 0; n < count; ++n) {
        colours.push_back({n & 0xFF, (255 - n) & 0xFF, (n * 37 + 11) & 0xFF});
    }
    return colours;
}

// Interleaved bit-planes of width x height pixel values, each plane row padded to 16
// pixels; `extraPlanes` rows of filler follow the colour planes of each row, and the
// padding bits are set so that a reader that reads them shows it.
Bytes Planar(int width, int height, int planes, const std::vector<std::uint32_t>& values,
             int extraPlanes = 0) {
    const int rowBytes = (width + 15) / 16 * 2;
    Bytes out;
    for (int y = 0; y < height; ++y) {
        for (int plane = 0; plane < planes + extraPlanes; ++plane) {
            for (int column = 0; column < rowBytes; ++column) {
                unsigned byte = 0;
                for (int bit = 0; bit < 8; ++bit) {
                    const int x = column * 8 + bit;
                    const bool set = plane >= planes || x >= width ||
                                     ((values[static_cast<std::size_t>(y * width + x)] >> plane) & 1u) != 0;
                    byte |= (set ? 1u : 0u) << (7 - bit);
                }
                out.push_back(static_cast<std::uint8_t>(byte));
            }
        }
    }
    return out;
}

// ByteRun1 with literal runs only, and with a repeat for every run of equal bytes.
Bytes PackBits(const Bytes& data) {
    Bytes out;
    std::size_t i = 0;
    while (i < data.size()) {
        std::size_t run = 1;
        while (i + run < data.size() && run < 128 && data[i + run] == data[i]) {
            ++run;
        }
        if (run >= 2) {
            out.push_back(static_cast<std::uint8_t>(257 - run));
            out.push_back(data[i]);
        } else {
            out.push_back(0);
            out.push_back(data[i]);
        }
        i += run;
    }
    return out;
}

std::vector<BufferWord> Decode(const Bytes& file) {
    const std::optional<Picture> picture = ReadIlbmPicture(file);
    return picture ? picture->pixels : std::vector<BufferWord>{};
}

std::vector<BufferWord> Expected(const std::vector<std::uint32_t>& values, const std::vector<Rgb>& table) {
    std::vector<BufferWord> out;
    for (const std::uint32_t v : values) {
        out.push_back(v < table.size() ? Word(table[v]) : 0);
    }
    return out;
}

TEST(IlbmReader, BitPlanesOneToEightThroughTheColourMap) {
    // 20 pixels wide: plane rows of 4 bytes, the last 12 bits of each padding.
    const int width = 20;
    const int height = 3;
    for (int planes = 1; planes <= 8; ++planes) {
        std::vector<std::uint32_t> values;
        for (int i = 0; i < width * height; ++i) {
            values.push_back(static_cast<std::uint32_t>(i * 7 + i / width) % (1u << planes));
        }
        const std::vector<Rgb> table = Palette(1u << planes);
        const Bytes planar = Planar(width, height, planes, values);
        for (const int compression : {0, 1}) {
            const Bytes file = Form("ILBM", {Bmhd(width, height, planes, 0, compression), Cmap(table),
                                             Chunk("BODY", compression == 1 ? PackBits(planar) : planar)});
            EXPECT_EQ(Decode(file), Expected(values, table))
                << planes << " planes, compression " << compression;
        }
    }
    const ReaderCheck check = CheckIlbmPicture(Form("PBM ", {Chunk("ANNO", {1, 2, 3}), Bmhd(320, 200, 8)}));
    EXPECT_TRUE(check.accepted);
    EXPECT_EQ(check.width, 320);
    EXPECT_EQ(check.height, 200);
}

TEST(IlbmReader, RowsArePaddedToSixteenPixels) {
    // 100 pixels: plane rows of 14 bytes, of which the last contributes 4 pixels.
    std::vector<std::uint32_t> values;
    for (int i = 0; i < 200; ++i) {
        values.push_back(static_cast<std::uint32_t>(i % 97 == 0 ? 1 : (i % 3 == 0 ? 2 : 3)));
    }
    const Bytes planar = Planar(100, 2, 2, values);
    ASSERT_EQ(planar.size(), 14u * 2 * 2);
    const std::vector<Rgb> table = Palette(4);
    EXPECT_EQ(Decode(Form("ILBM", {Bmhd(100, 2, 2), Cmap(table), Chunk("BODY", planar)})),
              Expected(values, table));
}

TEST(IlbmReader, ByteRun1ControlBytes) {
    // 16 pixels wide, one plane: rows of 2 bytes. 81 hex repeats the next byte 128
    // times (64 rows), 80 hex does nothing, FF hex repeats the next byte twice, and
    // 01 copies the two bytes that follow.
    const Bytes body = {0x81, 0xFF, 0x80, 0xFF, 0x0F, 0x01, 0xAA, 0x55};
    const std::optional<Picture> picture = ReadIlbmPicture(
        Form("ILBM", {Bmhd(16, 66, 1, 0, 1), Cmap({{0, 0, 0}, {255, 255, 255}}), Chunk("BODY", body)}));
    ASSERT_TRUE(picture.has_value());
    const auto bits = [&](int y) {
        unsigned row = 0;
        for (int x = 0; x < 16; ++x) {
            row = (row << 1) | (PixelAt(*picture, x, y) == 0xFFFFFF ? 1u : 0u);
        }
        return row;
    };
    for (int y = 0; y < 64; ++y) {
        ASSERT_EQ(bits(y), 0xFFFFu) << y;
    }
    EXPECT_EQ(bits(64), 0x0F0Fu);
    EXPECT_EQ(bits(65), 0xAA55u);
}

// One row of eight 6-plane HAM values and what they must give.
TEST(IlbmReader, HoldAndModifyWithSixPlanes) {
    std::vector<Rgb> table = Palette(16);
    table[0] = {0x12, 0x34, 0x56};
    table[3] = {0x80, 0x40, 0x21};
    // control in bits 4-5: 0 CMAP, 1 blue, 2 red, 3 green; index in bits 0-3.
    const std::vector<std::uint32_t> values = {0x03, 0x2F, 0x10, 0x35, 0x1A, 0x09, 0x20, 0x3F,
                                               0x1C, 0x21, 0x32, 0x00, 0x00, 0x00, 0x00, 0x00};
    Rgb held = table[3];
    std::vector<BufferWord> expected = {Word(held)};
    held.red = 0xF0 | (held.red & 0x0F);
    expected.push_back(Word(held)); // control 2, index 15: red's top bits 1111
    held.blue = 0x00 | (held.blue & 0x0F);
    expected.push_back(Word(held));
    held.green = 0x50 | (held.green & 0x0F);
    expected.push_back(Word(held));
    held.blue = 0xA0 | (held.blue & 0x0F);
    expected.push_back(Word(held));
    expected.push_back(Word(table[9]));
    held = table[9];
    held.red = held.red & 0x0F;
    expected.push_back(Word(held));
    held.green = 0xF0 | (held.green & 0x0F);
    expected.push_back(Word(held));
    // The second row starts again from CMAP entry 0.
    held = table[0];
    held.blue = 0xC0 | (held.blue & 0x0F);
    expected.push_back(Word(held));
    held.red = 0x10 | (held.red & 0x0F);
    expected.push_back(Word(held));
    held.green = 0x20 | (held.green & 0x0F);
    expected.push_back(Word(held));
    for (int i = 0; i < 5; ++i) {
        expected.push_back(Word(table[0]));
    }
    const Bytes body = Chunk("BODY", Planar(8, 2, 6, values));
    // Automatic: 6 planes, a 48-byte CMAP and no CAMG (or a CAMG of 0).
    EXPECT_EQ(Decode(Form("ILBM", {Bmhd(8, 2, 6), Cmap(table), body})), expected);
    EXPECT_EQ(Decode(Form("ILBM", {Bmhd(8, 2, 6), Camg(0), Cmap(table), body})), expected);
    // By the CAMG's HAM bit, whatever the CMAP's size.
    std::vector<Rgb> longer = table;
    longer.resize(32, {1, 2, 3});
    EXPECT_EQ(Decode(Form("ILBM", {Bmhd(8, 2, 6), Camg(0x800), Cmap(longer), body})), expected);
    // A mode value with neither bit: plain CMAP indices, black beyond the table.
    EXPECT_EQ(Decode(Form("ILBM", {Bmhd(8, 2, 6), Camg(0x8000), Cmap(table), body})),
              Expected(values, table));
    // Only the three sizes that fit a HAM table count without a CAMG.
    EXPECT_EQ(Decode(Form("ILBM", {Bmhd(8, 2, 6), Cmap(longer), body})), Expected(values, longer));
}

TEST(IlbmReader, HoldAndModifyWithEightPlanesAndWithOneControlBit) {
    std::vector<Rgb> table = Palette(64);
    table[0] = {0x81, 0x42, 0x23};
    // Eight planes, 192-byte CMAP: six index bits replace the top of the channel.
    const std::vector<std::uint32_t> eight = {0x00, 0x80 | 0x3F, 0x40 | 0x01, 0xC0 | 0x2A, 0x05};
    Rgb held = table[0];
    std::vector<BufferWord> expected = {Word(held)};
    held.red = 0x3F * 4 + held.red % 4;
    expected.push_back(Word(held));
    held.blue = 0x01 * 4 + held.blue % 4;
    expected.push_back(Word(held));
    held.green = 0x2A * 4 + held.green % 4;
    expected.push_back(Word(held));
    expected.push_back(Word(table[5]));
    EXPECT_EQ(Decode(Form("ILBM", {Bmhd(5, 1, 8), Cmap(table), Chunk("BODY", Planar(5, 1, 8, eight))})),
              expected);

    // Five planes by CAMG: one control bit, which changes red; four index bits.
    const std::vector<std::uint32_t> five = {0x10 | 0x07, 0x02};
    table.resize(16);
    held = table[0];
    held.red = 0x70 | (held.red & 0x0F);
    EXPECT_EQ(
        Decode(Form("ILBM", {Bmhd(2, 1, 5), Camg(0x800), Cmap(table), Chunk("BODY", Planar(2, 1, 5, five))})),
        (std::vector<BufferWord>{Word(held), Word(table[2])}));
    // Seven planes: one control bit and six index bits.
    const std::vector<std::uint32_t> seven = {0x40 | 0x15};
    held = table[0];
    held.red = 0x15 * 4 + held.red % 4;
    EXPECT_EQ(Decode(Form("ILBM",
                          {Bmhd(1, 1, 7), Camg(0x800), Cmap(table), Chunk("BODY", Planar(1, 1, 7, seven))})),
              (std::vector<BufferWord>{Word(held)}));
    // HAM without any CMAP starts every row from black.
    EXPECT_EQ(
        Decode(Form("ILBM", {Bmhd(2, 1, 6), Camg(0x800), Chunk("BODY", Planar(2, 1, 6, {0x2F, 0x3F}))})),
        (std::vector<BufferWord>{0xF00000, 0xF0F000}));
}

TEST(IlbmReader, ExtraHalfBrite) {
    const std::vector<Rgb> table = Palette(32);
    std::vector<std::uint32_t> values;
    std::vector<BufferWord> expected;
    for (std::uint32_t v = 0; v < 64; ++v) {
        values.push_back(v);
        const Rgb c = table[v % 32];
        expected.push_back(v < 32 ? Word(c) : Word({c.red >> 1, c.green >> 1, c.blue >> 1}));
    }
    EXPECT_EQ(Decode(Form("ILBM", {Bmhd(64, 1, 6), Camg(0x4080), Cmap(table),
                                   Chunk("BODY", Planar(64, 1, 6, values))})),
              expected);
}

TEST(IlbmReader, DeepGreyAndUnmappedPictures) {
    const std::vector<std::uint32_t> deep = {0x123456, 0xFF0000, 0x0000FF, 0xABCDEF};
    // Red in bits 0-7, green 8-15, blue 16-23.
    const std::vector<BufferWord> colours = {0x563412, 0x0000FF, 0xFF0000, 0xEFCDAB};
    EXPECT_EQ(Decode(Form("ILBM", {Bmhd(2, 2, 24), Chunk("BODY", Planar(2, 2, 24, deep))})), colours);
    // A CMAP beside a deep picture does not make its values indices.
    EXPECT_EQ(Decode(Form("ILBM", {Bmhd(2, 2, 24), Cmap(Palette(4)), Chunk("BODY", Planar(2, 2, 24, deep))})),
              colours);
    // 32 planes: the first 24 give the colour, the other 8 are stored and skipped.
    std::vector<std::uint32_t> withAlpha = deep;
    for (std::uint32_t& v : withAlpha) {
        v |= 0x5A000000;
    }
    EXPECT_EQ(
        Decode(Form("ILBM", {Bmhd(2, 2, 32, 0, 1), Chunk("BODY", PackBits(Planar(2, 2, 32, withAlpha)))})),
        colours);
    // Eight planes without a CMAP: grey; other plane counts without one: black.
    EXPECT_EQ(Decode(Form("ILBM", {Bmhd(3, 1, 8), Chunk("BODY", Planar(3, 1, 8, {0, 0x80, 0xFF}))})),
              (std::vector<BufferWord>{0, 0x808080, 0xFFFFFF}));
    EXPECT_EQ(Decode(Form("ILBM", {Bmhd(3, 1, 4), Chunk("BODY", Planar(3, 1, 4, {1, 7, 15}))})),
              (std::vector<BufferWord>{0, 0, 0}));
}

TEST(IlbmReader, MaskPlanesAreSkipped) {
    const std::vector<Rgb> table = Palette(8);
    const std::vector<std::uint32_t> values = {1, 2, 3, 4, 5, 6, 7, 0, 1, 2};
    // Masking 1 stores a mask plane after the colour planes of each row.
    EXPECT_EQ(
        Decode(Form("ILBM", {Bmhd(5, 2, 3, 1), Cmap(table), Chunk("BODY", Planar(5, 2, 3, values, 1))})),
        Expected(values, table));
    // Masking 2 (a transparent colour) stores nothing extra.
    EXPECT_EQ(Decode(Form("ILBM", {Bmhd(5, 2, 3, 2), Cmap(table), Chunk("BODY", Planar(5, 2, 3, values))})),
              Expected(values, table));
}

TEST(IlbmReader, ChunkWalkPadsOddChunksAndReadsTheColourMapAfterTheBody) {
    const std::vector<Rgb> table = Palette(4);
    const std::vector<std::uint32_t> values = {0, 1, 2, 3};
    const Bytes file =
        Form("ILBM", {Chunk("ANNO", {'o', 'd', 'd'}), Bmhd(4, 1, 2), Chunk("DPI ", {1}),
                      Chunk("BODY", Planar(4, 1, 2, values)), Chunk("JUNK", {9, 9, 9, 9, 9}), Cmap(table)});
    EXPECT_EQ(Decode(file), Expected(values, table));
}

TEST(IlbmReader, ChunkyPixelsWithPadBytes) {
    const std::vector<Rgb> table = Palette(8);
    // Three pixels wide: each row ends in a pad byte (here 7, which must not show).
    const Bytes rows = {1, 2, 3, 7, 4, 5, 6, 7};
    const std::vector<BufferWord> expected = Expected({1, 2, 3, 4, 5, 6}, table);
    EXPECT_EQ(Decode(Form("PBM ", {Bmhd(3, 2, 8), Cmap(table), Chunk("BODY", rows)})), expected);
    EXPECT_EQ(Decode(Form("PBM ", {Bmhd(3, 2, 8, 0, 1), Cmap(table), Chunk("BODY", PackBits(rows))})),
              expected);
    // Even widths have no pad byte; indices beyond the table are black.
    EXPECT_EQ(Decode(Form("PBM ", {Bmhd(2, 2, 8), Cmap(table), Chunk("BODY", {1, 200, 3, 4})})),
              Expected({1, 200, 3, 4}, table));
    // The CMAP must come before the body.
    EXPECT_FALSE(
        ReadIlbmPicture(Form("PBM ", {Bmhd(2, 1, 8), Chunk("BODY", {1, 2}), Cmap(table)})).has_value());
}

TEST(IlbmReader, ShortPackedBodiesLeaveWhatTheyDoNotReachBlack) {
    // Entry 3 and entry 0 are both not black, so unreached pixels show.
    const std::vector<Rgb> table = Palette(4);
    const std::vector<std::uint32_t> values(18 * 2, 3);
    // 18 pixels wide: plane rows of 4 bytes, 8 bytes a row. The body holds row 0 whole,
    // row 1's plane 0 and the first byte of its plane 1: 8 pixels of row 1 are reached.
    Bytes planar = Planar(18, 2, 2, values);
    planar.resize(8 + 4 + 1);
    const std::vector<BufferWord> got =
        Decode(Form("ILBM", {Bmhd(18, 2, 2, 0, 1), Cmap(table), Chunk("BODY", PackBits(planar))}));
    ASSERT_EQ(got.size(), 36u);
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i], i < 18 + 8 ? Word(table[3]) : 0u) << i;
    }
    // Stored bodies must hold the whole picture, planar or chunky.
    const Bytes stored = Form("ILBM", {Bmhd(18, 2, 2, 0, 0), Cmap(table), Chunk("BODY", planar)});
    EXPECT_FALSE(CheckIlbmPicture(stored).refusal.empty());
    EXPECT_FALSE(ReadIlbmPicture(stored).has_value());
    EXPECT_FALSE(ReadIlbmPicture(Form("PBM ", {Bmhd(2, 2, 8), Cmap(table), Chunk("BODY", {1, 2, 3})})));
}

TEST(IlbmReader, SizeLimitOfTheCheck) {
    const std::vector<Rgb> table = Palette(2);
    const Bytes body = Chunk("BODY", {0xFF, 0xFF});
    EXPECT_TRUE(CheckIlbmPicture(Form("ILBM", {Bmhd(32767, 1, 1), Cmap(table), body})).accepted);
    EXPECT_FALSE(CheckIlbmPicture(Form("ILBM", {Bmhd(32768, 1, 1), Cmap(table), body})).accepted);
    EXPECT_FALSE(CheckIlbmPicture(Form("ILBM", {Bmhd(1, 40000, 1), Cmap(table), body})).accepted);
    // Accepted, but more pixels than the program takes, or a body that could not fill them: no picture.
    EXPECT_TRUE(CheckIlbmPicture(Form("ILBM", {Bmhd(20000, 20000, 1), Cmap(table), body})).accepted);
    EXPECT_FALSE(CheckIlbmPicture(Form("ILBM", {Bmhd(32767, 1, 1), Cmap(table), body})).refusal.empty());
    EXPECT_FALSE(ReadIlbmPicture(Form("ILBM", {Bmhd(20000, 20000, 1), Cmap(table), body})).has_value());
}

TEST(IlbmReader, MalformedFilesFailCleanlyOrDecodePartly) {
    EXPECT_GT(CheckMalformedFiles(
                  "ilbm", [](std::span<const std::uint8_t> file) { return ReadIlbmPicture(file); },
                  [](std::span<const std::uint8_t> file) { return CheckIlbmPicture(file); }),
              0);
}

TEST(IlbmReader, SweepOfFlippedAndTruncatedFiles) {
    std::vector<std::uint32_t> values;
    for (std::uint32_t i = 0; i < 20 * 3; ++i) {
        values.push_back((i * 13) % 64);
    }
    const Bytes ham = Form("ILBM", {Bmhd(20, 3, 6, 0, 1), Camg(0x800), Cmap(Palette(16)),
                                    Chunk("BODY", PackBits(Planar(20, 3, 6, values)))});
    const Bytes chunky =
        Form("PBM ", {Bmhd(5, 3, 8, 0, 1), Cmap(Palette(8)), Chunk("BODY", PackBits(Bytes(18, 3)))});
    const Bytes deep =
        Form("ILBM", {Bmhd(3, 2, 24, 1, 0), Chunk("BODY", Planar(3, 2, 24, {1, 2, 3, 4, 5, 6}, 1))});
    for (const Bytes& file : {ham, chunky, deep}) {
        EXPECT_GT(SweepReader(file, CheckIlbmPicture, ReadIlbmPicture), 0);
    }
}

class IlbmCorpus : public ::testing::Test {
  protected:
    void SetUp() override {
        corpus = CorpusFolder();
        if (!corpus) {
            GTEST_SKIP() << "the shared picture corpus (" << QUILLMORPH_CORPUS
                         << ") is not beside this checkout";
        }
    }
    std::optional<Picture> Read(const std::string& relative) const {
        return ReadIlbmPicture(ReadBytes(*corpus / "ilbm" / relative));
    }
    std::optional<std::filesystem::path> corpus;
};

TEST_F(IlbmCorpus, EveryPictureDecodesAtItsSize) {
    // Declined: other FORM types, no BMHD, a width of 65535. Failed at the decode: no
    // BODY (also where a wrong CMAP size derails the walk) and compression 2.
    const std::set<std::string> declined = {
        "arch.deep",        "glowsphere2.rgb8",         "tunnel04-adpro-cross-boundary-runs.rgb8",
        "sample-8bit.acbm", "truncated-bmhd-chunk.iff", "incorrect-uncompressed-size.iff",
        "fair-use.txt"};
    const std::set<std::string> failed = {"missing-body-chunk.iff", "incorrect-cmap-size.iff",
                                          "sample-ilbm-4bit-compressed-atari.iff"};
    int decoded = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(*corpus / "ilbm")) {
        if (!entry.is_regular_file()) {
            continue;
        }
        const std::string name = entry.path().filename().string();
        const std::vector<std::uint8_t> file = ReadBytes(entry.path());
        const ReaderCheck check = CheckIlbmPicture(file);
        const std::optional<Picture> picture = ReadIlbmPicture(file);
        EXPECT_EQ(check.accepted, declined.count(name) == 0) << name;
        EXPECT_EQ(picture.has_value(), declined.count(name) == 0 && failed.count(name) == 0) << name;
        if (picture) {
            EXPECT_EQ(picture->width, check.width) << name;
            EXPECT_EQ(picture->height, check.height) << name;
            ++decoded;
        }
    }
    std::printf("IFF corpus: %d decoded\n", decoded);
    EXPECT_GT(decoded, 0);
}

TEST_F(IlbmCorpus, CompressedAndUncompressedTwinsAgree) {
    for (const auto& [packed, plain] :
         {std::pair{"serenity/gradient.iff", "serenity/gradient-uncompressed.iff"},
          std::pair{"zigimg/sample-ilbm-8bit-compressed.iff", "zigimg/sample-ilbm-8bit-uncompressed.iff"}}) {
        const std::optional<Picture> a = Read(packed);
        const std::optional<Picture> b = Read(plain);
        ASSERT_TRUE(a && b) << packed;
        EXPECT_EQ(a->pixels, b->pixels) << packed;
    }
}

TEST_F(IlbmCorpus, HoldAndModifyAndHalfBriteShowTheirColours) {
    const auto distinct = [](const Picture& picture) {
        return std::set<BufferWord>(picture.pixels.begin(), picture.pixels.end()).size();
    };
    // Read as plain indices these would show at most their 16 or 64 CMAP entries and
    // black; held and modified, hundreds of colours.
    for (const char* file : {"twelvemonkeys/A4000T_HAM6.IFF", "serenity/ham6.iff", "zigimg/sample-ham.iff",
                             "twelvemonkeys/A4000T_HAM8.IFF", "zigimg/sample-ham8.iff"}) {
        const std::optional<Picture> picture = Read(file);
        ASSERT_TRUE(picture.has_value()) << file;
        EXPECT_GT(distinct(*picture), 256u) << file;
    }
    // Half-brite colours are CMAP entries 0-31 or their halves.
    const std::vector<std::uint8_t> bryce = ReadBytes(*corpus / "ilbm/twelvemonkeys/Bryce.iff");
    const std::optional<Picture> picture = ReadIlbmPicture(bryce);
    ASSERT_TRUE(picture.has_value());
    const std::string text(bryce.begin(), bryce.end());
    const std::size_t cmap = text.find("CMAP");
    ASSERT_NE(cmap, std::string::npos);
    std::set<BufferWord> allowed;
    for (std::size_t n = 0; n < 32; ++n) {
        const std::uint8_t* c = &bryce[cmap + 8 + n * 3];
        allowed.insert((static_cast<BufferWord>(c[0]) << 16) | (c[1] << 8) | c[2]);
        allowed.insert((static_cast<BufferWord>(c[0] >> 1) << 16) | ((c[1] >> 1) << 8) | (c[2] >> 1));
    }
    for (const BufferWord word : picture->pixels) {
        ASSERT_TRUE(allowed.count(word) == 1) << std::hex << word;
    }
    EXPECT_GT(distinct(*picture), 32u);
}

} // namespace
