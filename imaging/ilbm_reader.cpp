#include "imaging/ilbm_reader.h"

#include "imaging/byte_cursor.h"
#include "imaging/checked_math.h"
#include "imaging/reader_support.h"

#include <algorithm>
#include <cstddef>
#include <new>
#include <vector>

namespace {

constexpr std::uint32_t ChunkId(const char (&text)[5]) {
    return (static_cast<std::uint32_t>(static_cast<unsigned char>(text[0])) << 24) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(text[1])) << 16) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(text[2])) << 8) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(text[3]));
}

constexpr std::uint32_t kForm = ChunkId("FORM");
constexpr std::uint32_t kIlbm = ChunkId("ILBM");
constexpr std::uint32_t kPbm = ChunkId("PBM ");
constexpr std::uint32_t kBmhd = ChunkId("BMHD");
constexpr std::uint32_t kCamg = ChunkId("CAMG");
constexpr std::uint32_t kCmap = ChunkId("CMAP");
constexpr std::uint32_t kBody = ChunkId("BODY");

constexpr std::uint32_t kHamBit = 0x800;
constexpr std::uint32_t kHalfBriteBit = 0x80;
constexpr int kMaxPlanes = 32;

struct Chunk {
    std::uint32_t id = 0;
    std::uint32_t declaredSize = 0;
    std::span<const std::uint8_t> data; // the declared data, cut short by the end of the file
};

// Calls visit(chunk) for each chunk from offset 12 until the end of the file or until
// visit returns false. An odd-sized chunk is followed by one pad byte.
template <typename Visit> void WalkChunks(std::span<const std::uint8_t> file, Visit visit) {
    std::uint64_t position = 12;
    while (position + 8 <= file.size()) {
        ByteCursor header(file, static_cast<std::size_t>(position));
        Chunk chunk;
        chunk.id = header.U32BE();
        chunk.declaredSize = header.U32BE();
        const std::uint64_t start = position + 8;
        const std::uint64_t available = std::min<std::uint64_t>(chunk.declaredSize, file.size() - start);
        chunk.data = file.subspan(static_cast<std::size_t>(start), static_cast<std::size_t>(available));
        if (!visit(chunk)) {
            return;
        }
        position = start + chunk.declaredSize + (chunk.declaredSize & 1u);
    }
}

std::uint32_t FormType(std::span<const std::uint8_t> file) {
    ByteCursor cursor(file);
    if (cursor.U32BE() != kForm) {
        return 0;
    }
    cursor.Skip(4); // the form's size: the file's own length is what counts
    const std::uint32_t type = cursor.U32BE();
    return cursor.ok ? type : 0;
}

struct BitmapHeader {
    int width = 0;
    int height = 0;
    int planes = 0;
    int masking = 0;
    int compression = 0;
    bool complete = false; // the chunk held every field up to the compression byte
};

BitmapHeader ReadBitmapHeader(const Chunk& chunk) {
    ByteCursor cursor(chunk.data);
    BitmapHeader header;
    header.width = cursor.U16BE();
    header.height = cursor.U16BE();
    cursor.Skip(4);
    header.planes = cursor.U8();
    header.masking = cursor.U8();
    header.compression = cursor.U8();
    header.complete = cursor.ok;
    return header;
}

struct Rgb {
    unsigned red = 0;
    unsigned green = 0;
    unsigned blue = 0;
};

struct ColourMap {
    std::span<const std::uint8_t> data;
    std::uint32_t declaredSize = 0;

    // Entries beyond the table (or cut off by the end of the file) are black.
    Rgb Entry(std::uint64_t index) const {
        const std::uint64_t offset = index * 3;
        if (index >= data.size() / 3) {
            return {};
        }
        return {data[offset], data[offset + 1], data[offset + 2]};
    }
};

// Yields the body's bytes as stored (compression 0) or ByteRun1-expanded
// (compression 1), one at a time, until the body ends.
struct BodySource {
    std::span<const std::uint8_t> body;
    bool packed = false;
    std::size_t position = 0;
    unsigned literal = 0;
    unsigned repeat = 0;
    std::uint8_t repeated = 0;

    bool Next(std::uint8_t& out) {
        if (!packed) {
            if (position >= body.size()) {
                return false;
            }
            out = body[position++];
            return true;
        }
        for (;;) {
            if (literal > 0) {
                if (position >= body.size()) {
                    literal = 0;
                    return false;
                }
                --literal;
                out = body[position++];
                return true;
            }
            if (repeat > 0) {
                --repeat;
                out = repeated;
                return true;
            }
            if (position >= body.size()) {
                return false;
            }
            const unsigned control = body[position++];
            if (control < 128) {
                literal = control + 1;
            } else if (control > 128) {
                if (position >= body.size()) {
                    return false;
                }
                repeated = body[position++];
                repeat = 257 - control;
            }
            // 128 is a no-op.
        }
    }

    // Fills as much of `out` as the body gives; returns the count.
    std::size_t Fill(std::span<std::uint8_t> out) {
        std::size_t count = 0;
        while (count < out.size() && Next(out[count])) {
            ++count;
        }
        return count;
    }
};

struct IlbmFile {
    std::uint32_t formType = 0;
    std::optional<BitmapHeader> header; // the first BMHD
    std::uint32_t displayMode = 0;      // the last CAMG
    std::optional<ColourMap> colourMap; // the last CMAP
    std::optional<ColourMap> colourMapAtBody;
    std::optional<std::span<const std::uint8_t>> body; // the first BODY
    bool bodyBeforeHeader = false;
};

IlbmFile WalkIlbm(std::span<const std::uint8_t> file) {
    IlbmFile ilbm;
    ilbm.formType = FormType(file);
    WalkChunks(file, [&](const Chunk& chunk) {
        if (chunk.id == kBmhd) {
            if (!ilbm.header) {
                ilbm.header = ReadBitmapHeader(chunk);
            }
        } else if (chunk.id == kCamg) {
            ByteCursor cursor(chunk.data);
            ilbm.displayMode = cursor.U32BE();
        } else if (chunk.id == kCmap) {
            ilbm.colourMap = ColourMap{chunk.data, chunk.declaredSize};
        } else if (chunk.id == kBody && !ilbm.body) {
            ilbm.body = chunk.data;
            ilbm.colourMapAtBody = ilbm.colourMap;
            ilbm.bodyBeforeHeader = !ilbm.header.has_value();
        }
        return true;
    });
    return ilbm;
}

enum class ColourKind { Ham, HalfBrite, Deep, Mapped, Grey, Black };

ColourKind KindOf(const IlbmFile& ilbm, int planes) {
    const auto& map = ilbm.colourMap;
    const bool automaticHam =
        ilbm.displayMode == 0 && map &&
        ((planes == 6 && map->declaredSize == 48) || (planes == 8 && map->declaredSize == 192) ||
         (planes == 10 && map->declaredSize == 768));
    if ((ilbm.displayMode & kHamBit) != 0 || automaticHam) {
        return ColourKind::Ham;
    }
    if ((ilbm.displayMode & kHalfBriteBit) != 0 && map) {
        return ColourKind::HalfBrite;
    }
    // Deep pictures carry their colour in the planes; a CMAP beside them (some
    // writers add one) must not turn them into indices.
    if (planes >= 24) {
        return ColourKind::Deep;
    }
    if (map) {
        return ColourKind::Mapped;
    }
    return planes == 8 ? ColourKind::Grey : ColourKind::Black;
}

// Replaces the top `indexBits` bits of a channel by `index`, keeping the rest.
unsigned HoldAndModify(unsigned channel, std::uint32_t index, int indexBits) {
    if (indexBits >= 8) {
        return index & 0xFFu;
    }
    const unsigned keep = (1u << (8 - indexBits)) - 1;
    return ((index << (8 - indexBits)) | (channel & keep)) & 0xFFu;
}

struct PlaneDecoder {
    ColourKind kind{};
    int planes = 0;
    const ColourMap* map = nullptr;
    int controlBits = 2;
    int indexBits = 0;
    Rgb held;

    Rgb Lookup(std::uint64_t index) const { return map != nullptr ? map->Entry(index) : Rgb{}; }

    void StartRow() { held = Lookup(0); }

    Rgb Colour(std::uint32_t v) {
        switch (kind) {
        case ColourKind::Ham: {
            const std::uint32_t control = v >> indexBits;
            const std::uint32_t index = indexBits >= 32 ? v : (v & ((1u << indexBits) - 1));
            if (control == 0) {
                held = Lookup(index);
            } else if (controlBits == 1 || control == 2) {
                held.red = HoldAndModify(held.red, index, indexBits);
            } else if (control == 1) {
                held.blue = HoldAndModify(held.blue, index, indexBits);
            } else {
                held.green = HoldAndModify(held.green, index, indexBits);
            }
            return held;
        }
        case ColourKind::HalfBrite: {
            const std::uint32_t flag = std::uint32_t{1} << (planes - 1);
            Rgb colour = Lookup(v & ~flag);
            if ((v & flag) != 0) {
                colour = {colour.red >> 1, colour.green >> 1, colour.blue >> 1};
            }
            return colour;
        }
        case ColourKind::Deep:
            return {v & 0xFFu, (v >> 8) & 0xFFu, (v >> 16) & 0xFFu};
        case ColourKind::Mapped:
            return Lookup(v);
        case ColourKind::Grey:
            return {v, v, v};
        case ColourKind::Black:
            break;
        }
        return {};
    }
};

// Bit-planes: each row holds plane 0's R bytes, then plane 1's, ... then the mask and
// extra planes, which are stored but never read. Pixels whose last colour plane the
// body does not reach stay black.
bool DecodePlanes(const IlbmFile& ilbm, BodySource& source, Picture& picture) {
    const BitmapHeader& header = *ilbm.header;
    const int planes = header.planes; // 1..kMaxPlanes, tested by the caller
    // A mask plane (masking 1) follows the colour planes. 32-plane files hold exactly
    // their 32 planes per row, so no extra planes are counted for them.
    const int storedPlanes = planes + (header.masking == 1 ? 1 : 0);
    const std::size_t rowBytesPerPlane = (static_cast<std::size_t>(header.width) + 15) / 16 * 2;
    std::vector<std::uint8_t> row;
    try {
        row.resize(rowBytesPerPlane * static_cast<std::size_t>(storedPlanes));
    } catch (const std::bad_alloc&) {
        return false;
    }

    // HAM: one control bit with 5 or 7 planes, otherwise two; the rest is the index.
    const int controlBits = (planes == 5 || planes == 7) ? 1 : 2;
    const int indexBits = planes > controlBits ? planes - controlBits : 0;
    PlaneDecoder decoder{KindOf(ilbm, planes), planes,    ilbm.colourMap ? &*ilbm.colourMap : nullptr,
                         controlBits,          indexBits, Rgb{}};

    const std::size_t lastPlaneOffset = static_cast<std::size_t>(planes - 1) * rowBytesPerPlane;
    const auto width = static_cast<std::size_t>(picture.width);
    for (std::size_t y = 0; y < static_cast<std::size_t>(picture.height); ++y) {
        const std::size_t got = source.Fill(row);
        decoder.StartRow();
        BufferWord* out = picture.pixels.data() + y * width;
        for (std::size_t x = 0; x < width; ++x) {
            const std::size_t column = x / 8;
            if (lastPlaneOffset + column >= got) {
                return true;
            }
            const unsigned shift = 7 - static_cast<unsigned>(x % 8);
            std::uint32_t v = 0;
            for (int plane = 0; plane < planes; ++plane) {
                const std::uint32_t bit =
                    (row[static_cast<std::size_t>(plane) * rowBytesPerPlane + column] >> shift) & 1u;
                v |= bit << plane;
            }
            const Rgb colour = decoder.Colour(v);
            out[x] = BufferWordOf(colour.red, colour.green, colour.blue);
        }
        if (got < row.size()) {
            return true;
        }
    }
    return true;
}

// Chunky pixels, one CMAP index a byte; each odd-width row ends in a pad byte.
void DecodeChunky(const ColourMap& map, BodySource& source, Picture& picture) {
    const auto width = static_cast<std::size_t>(picture.width);
    const std::size_t stride = width + (width & 1u);
    for (std::size_t y = 0; y < static_cast<std::size_t>(picture.height); ++y) {
        for (std::size_t x = 0; x < stride; ++x) {
            std::uint8_t index = 0;
            if (!source.Next(index)) {
                return;
            }
            if (x < width) {
                const Rgb colour = map.Entry(index);
                picture.pixels[y * width + x] = BufferWordOf(colour.red, colour.green, colour.blue);
            }
        }
    }
}

// Whether the body could fill the picture: stored bytes must all be there, ByteRun1 needs
// at least a two-byte packet for every 128 bytes. A file the decode will fail anyway
// (no body, an unknown compression, an impossible plane count) is not judged here.
bool BodyCanFill(const IlbmFile& ilbm) {
    if (!ilbm.header || !ilbm.header->complete || !ilbm.body) {
        return true;
    }
    const BitmapHeader& header = *ilbm.header;
    const auto width = static_cast<std::size_t>(header.width);
    const auto height = static_cast<std::size_t>(header.height);
    std::size_t store = width * height;
    if (ilbm.formType == kIlbm) {
        if (header.planes < 1 || header.planes > kMaxPlanes) {
            return true;
        }
        const std::size_t storedPlanes =
            static_cast<std::size_t>(header.planes) + (header.masking == 1 ? 1 : 0);
        store = (width + 15) / 16 * 2 * storedPlanes * height;
    }
    const std::optional<std::size_t> needed = header.compression == 0   ? std::optional<std::size_t>(store)
                                              : header.compression == 1 ? RunLengthMinimumBytes(store, 128, 2)
                                                                        : std::optional<std::size_t>(0);
    return needed && *needed <= ilbm.body->size();
}

} // namespace

ReaderCheck CheckIlbmPicture(std::span<const std::uint8_t> file) {
    const std::uint32_t type = FormType(file);
    if (type != kIlbm && type != kPbm) {
        return {};
    }
    std::optional<Chunk> found;
    WalkChunks(file, [&](const Chunk& chunk) {
        if (chunk.id != kBmhd) {
            return true;
        }
        found = chunk;
        return false;
    });
    if (!found || found->data.size() < 4) {
        return {};
    }
    const BitmapHeader header = ReadBitmapHeader(*found);
    if (header.width >= 32768 || header.height >= 32768) {
        return {};
    }
    ReaderCheck check{true, header.width, header.height};
    if (!BodyCanFill(WalkIlbm(file))) {
        check.refusal = FileTooShortRefusal(check.width, check.height);
    }
    return check;
}

std::optional<Picture> ReadIlbmPicture(std::span<const std::uint8_t> file) {
    const ReaderCheck check = CheckIlbmPicture(file);
    if (!check.accepted || !check.refusal.empty()) {
        return std::nullopt;
    }
    const IlbmFile ilbm = WalkIlbm(file);
    if (!ilbm.header || !ilbm.header->complete || !ilbm.body || ilbm.bodyBeforeHeader) {
        return std::nullopt;
    }
    const int compression = ilbm.header->compression;
    if (compression != 0 && compression != 1) {
        return std::nullopt;
    }
    const bool chunky = ilbm.formType == kPbm;
    if (chunky && !ilbm.colourMapAtBody) {
        return std::nullopt;
    }
    if (!chunky && (ilbm.header->planes < 1 || ilbm.header->planes > kMaxPlanes)) {
        return std::nullopt;
    }
    std::optional<Picture> picture = AllocatePicture(check.width, check.height);
    if (!picture) {
        return std::nullopt;
    }
    BodySource source{*ilbm.body, compression == 1};
    if (chunky) {
        DecodeChunky(*ilbm.colourMapAtBody, source, *picture);
    } else if (!DecodePlanes(ilbm, source, *picture)) {
        return std::nullopt;
    }
    return picture;
}

PictureReader IlbmPictureReader() {
    return PictureReader{
        "IFF/ILBM",
        [](std::span<const std::uint8_t> file, std::string_view) { return CheckIlbmPicture(file); },
        [](std::span<const std::uint8_t> file, std::string_view) { return ReadIlbmPicture(file); },
    };
}
