#include "imaging/tiff/tiff_reader.h"

#include "imaging/picture_orientation.h"
#include "imaging/reader_support.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <tiffio.h>
#include <vector>

namespace {

// libtiff may not allocate more than this in one piece while reading a directory or a strip.
constexpr tmsize_t kMaxSingleAllocation = tmsize_t{256} * 1024 * 1024;

struct MemoryFile {
    std::span<const std::uint8_t> bytes;
    std::uint64_t position = 0;
};

tmsize_t ReadProc(thandle_t handle, void* out, tmsize_t length) {
    auto* file = static_cast<MemoryFile*>(handle);
    if (length <= 0 || file->position >= file->bytes.size()) {
        return 0;
    }
    const std::uint64_t available = file->bytes.size() - file->position;
    const std::uint64_t count = std::min<std::uint64_t>(available, static_cast<std::uint64_t>(length));
    std::memcpy(out, file->bytes.data() + file->position, count);
    file->position += count;
    return static_cast<tmsize_t>(count);
}

tmsize_t WriteProc(thandle_t, void*, tmsize_t) {
    return -1;
}

toff_t SeekProc(thandle_t handle, toff_t offset, int whence) {
    auto* file = static_cast<MemoryFile*>(handle);
    std::uint64_t base = 0;
    switch (whence) {
    case SEEK_SET:
        base = 0;
        break;
    case SEEK_CUR:
        base = file->position;
        break;
    case SEEK_END:
        base = file->bytes.size();
        break;
    default:
        return static_cast<toff_t>(-1);
    }
    if (offset > UINT64_MAX - base) {
        return static_cast<toff_t>(-1);
    }
    // Seeking past the end is allowed, as on a file; reads there simply find nothing.
    file->position = base + offset;
    return file->position;
}

int CloseProc(thandle_t) {
    return 0;
}

toff_t SizeProc(thandle_t handle) {
    return static_cast<MemoryFile*>(handle)->bytes.size();
}

int MapProc(thandle_t, void**, toff_t*) {
    return 0;
}

void UnmapProc(thandle_t, void*, toff_t) {}

// The desktop program never prints: libtiff's messages are dropped (a non-zero
// answer keeps libtiff from calling its process-wide handlers as well).
int SilentHandler(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

struct OptionsFree {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

TiffHandle OpenTiff(MemoryFile& file) {
    // Messages about files opened without these options (none in this program) are
    // dropped too.
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    const std::unique_ptr<TIFFOpenOptions, OptionsFree> options(TIFFOpenOptionsAlloc());
    if (!options) {
        return nullptr;
    }
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), kMaxSingleAllocation);
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), SilentHandler, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), SilentHandler, nullptr);
    // "m": no memory mapping, every read goes through ReadProc.
    return TiffHandle(TIFFClientOpenExt("memory", "rm", &file, ReadProc, WriteProc, SeekProc, CloseProc,
                                        SizeProc, MapProc, UnmapProc, options.get()));
}

bool HasTiffSignature(std::span<const std::uint8_t> file) {
    if (file.size() < 8) {
        return false;
    }
    const bool little = file[0] == 'I' && file[1] == 'I' && (file[2] == 42 || file[2] == 43) && file[3] == 0;
    const bool big = file[0] == 'M' && file[1] == 'M' && file[2] == 0 && (file[3] == 42 || file[3] == 43);
    return little || big;
}

// The orientation tag, 1 (rows top to bottom, columns left to right) when absent or invalid.
int OrientationOf(TIFF* tiff) {
    std::uint16_t orientation = ORIENTATION_TOPLEFT;
    if (TIFFGetField(tiff, TIFFTAG_ORIENTATION, &orientation) != 1 || orientation < 1 || orientation > 8) {
        return ORIENTATION_TOPLEFT;
    }
    return orientation;
}

// The most stored pixel bytes one byte of the file can stand for under the compressions
// whose densest form is known: stored data one, a PackBits run of 128 bytes in two,
// a deflate match of 258 bytes in two bits, an LZW code of at most 12 bits for at most
// 4094 bytes. Nothing for the rest (fax codings, JPEG, LZMA...).
std::optional<std::uint64_t> MaxBytesPerFileByte(std::uint16_t compression) {
    switch (compression) {
    case COMPRESSION_NONE:
        return 1;
    case COMPRESSION_PACKBITS:
        return 64;
    case COMPRESSION_ADOBE_DEFLATE:
    case COMPRESSION_DEFLATE:
        return 1032;
    case COMPRESSION_LZW:
        return 2730;
    default:
        return std::nullopt;
    }
}

// Whether the file could hold the pixel data its first directory promises: all of it at
// the compression's densest, or, for a compression without a known densest form, some
// data of at least one strip or tile inside the file.
bool CanHoldPixels(TIFF* tiff, std::uint32_t width, std::uint32_t height, std::size_t fileBytes) {
    std::uint16_t compression = COMPRESSION_NONE;
    std::uint16_t samples = 1;
    std::uint16_t bits = 1;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    if (const std::optional<std::uint64_t> expansion = MaxBytesPerFileByte(compression)) {
        std::uint64_t rowBits = 0;
        std::uint64_t total = 0;
        return !__builtin_mul_overflow(std::uint64_t{width}, std::uint64_t{samples} * bits, &rowBits) &&
               !__builtin_mul_overflow((rowBits + 7) / 8, std::uint64_t{height}, &total) &&
               total / *expansion <= fileBytes;
    }
    const std::uint32_t striles = TIFFIsTiled(tiff) ? TIFFNumberOfTiles(tiff) : TIFFNumberOfStrips(tiff);
    for (std::uint32_t i = 0; i < striles; ++i) {
        if (TIFFGetStrileOffset(tiff, i) < fileBytes && TIFFGetStrileByteCount(tiff, i) > 0) {
            return true;
        }
    }
    return false;
}

// libtiff turns CIE L*a*b* into the RGB of a D65 display through XYZ relative to the
// file's white point (D50 when the file names none) without adapting one white to the
// other, so white comes out yellow. Taking the display's white as the file's maps
// white to white, as colour-managed decoders do.
void AdaptLabWhite(TIFF* tiff) {
    std::uint16_t photometric = 0;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
    if (photometric == PHOTOMETRIC_CIELAB) {
        float d65[2] = {0.3127F, 0.3290F};
        TIFFSetField(tiff, TIFFTAG_WHITEPOINT, d65);
    }
}

// libtiff's RGBA reading drops the alpha sample of grey and palette pictures (its own
// reading keeps it only for RGB); for 8-bit interleaved samples it is read from the
// strips here and composed onto black, as for every other picture with alpha.
void ComposeGreyOrPaletteAlpha(TIFF* tiff, Picture& picture) {
    std::uint16_t photometric = 0;
    std::uint16_t samples = 1;
    std::uint16_t bits = 1;
    std::uint16_t planar = PLANARCONFIG_CONTIG;
    std::uint16_t extraCount = 0;
    std::uint16_t* extra = nullptr;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extra);
    const bool greyOrPalette = photometric == PHOTOMETRIC_MINISBLACK ||
                               photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_PALETTE;
    if (!greyOrPalette || samples != 2 || bits != 8 || planar != PLANARCONFIG_CONTIG || TIFFIsTiled(tiff) ||
        extraCount != 1 || extra == nullptr || extra[0] != EXTRASAMPLE_UNASSALPHA) {
        return;
    }
    std::uint32_t rowsPerStrip = 0;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    const tmsize_t stripSize = TIFFStripSize(tiff);
    if (stripSize <= 0 || rowsPerStrip == 0) {
        return;
    }
    std::vector<std::uint8_t> strip(static_cast<std::size_t>(stripSize));
    const auto width = static_cast<std::size_t>(picture.width);
    for (std::uint32_t s = 0; s < TIFFNumberOfStrips(tiff); ++s) {
        const tmsize_t got = TIFFReadEncodedStrip(tiff, s, strip.data(), stripSize);
        const std::uint64_t firstRow = std::uint64_t{s} * rowsPerStrip;
        for (std::size_t i = 0; got > 0 && 2 * i + 1 < static_cast<std::size_t>(got); ++i) {
            const std::uint64_t row = firstRow + i / width;
            if (row >= static_cast<std::uint64_t>(picture.height)) {
                break;
            }
            BufferWord& word = picture.pixels[static_cast<std::size_t>(row) * width + i % width];
            const unsigned alpha = strip[2 * i + 1];
            const auto scale = [alpha](unsigned channel) { return (channel * alpha + 127) / 255; };
            word = BufferWordOf(scale((word >> 16) & 0xFFu), scale((word >> 8) & 0xFFu), scale(word & 0xFFu));
        }
    }
}

} // namespace

ReaderCheck CheckTiff(std::span<const std::uint8_t> file) {
    if (!HasTiffSignature(file)) {
        return {};
    }
    MemoryFile memory{file};
    const TiffHandle tiff = OpenTiff(memory);
    if (!tiff) {
        return {};
    }
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    if (TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width) != 1 ||
        TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height) != 1) {
        return {};
    }
    // Orientations 5 to 8 exchange the stored rows and columns.
    const bool swaps = OrientationOf(tiff.get()) >= 5;
    ReaderCheck check{true, static_cast<std::int64_t>(swaps ? height : width),
                      static_cast<std::int64_t>(swaps ? width : height)};
    if (!CanHoldPixels(tiff.get(), width, height, file.size())) {
        check.refusal = FileTooShortRefusal(check.width, check.height);
    }
    return check;
}

std::optional<Picture> DecodeTiff(std::span<const std::uint8_t> file) {
    if (!HasTiffSignature(file)) {
        return std::nullopt;
    }
    MemoryFile memory{file};
    const TiffHandle tiff = OpenTiff(memory);
    if (!tiff) {
        return std::nullopt;
    }
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    if (TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width) != 1 ||
        TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height) != 1 ||
        !IsAcceptablePictureSize(width, height) || !CanHoldPixels(tiff.get(), width, height, file.size())) {
        return std::nullopt;
    }
    char message[1024] = {};
    if (TIFFRGBAImageOK(tiff.get(), message) != 1) {
        return std::nullopt;
    }

    Picture picture;
    picture.width = static_cast<int>(width);
    picture.height = static_cast<int>(height);
    // libtiff fills the words as ABGR (red in the low byte); they are turned into
    // buffer words in place. Strips that cannot be read stay black rather than
    // failing the whole picture, so a truncated file still shows what it holds.
    picture.pixels.assign(std::size_t{width} * height, 0);
    // libtiff's RGBA reading flips but never transposes, and reads orientations 5 to 8 as
    // if they were 1 to 4; so the rows are read as stored and turned here, all eight ways.
    const int orientation = OrientationOf(tiff.get());
    TIFFSetField(tiff.get(), TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    AdaptLabWhite(tiff.get());
    if (TIFFReadRGBAImageOriented(tiff.get(), width, height, picture.pixels.data(), ORIENTATION_TOPLEFT, 0) !=
        1) {
        return std::nullopt;
    }
    for (BufferWord& word : picture.pixels) {
        word = SwapRedBlue(word);
    }
    ComposeGreyOrPaletteAlpha(tiff.get(), picture);
    return Orient(std::move(picture), orientation);
}

PictureReader TiffPictureReader() {
    return {"TIFF", [](std::span<const std::uint8_t> file, std::string_view) { return CheckTiff(file); },
            [](std::span<const std::uint8_t> file, std::string_view) { return DecodeTiff(file); }};
}
