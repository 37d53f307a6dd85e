#include "imaging/tiff_reader.h"

#include "imaging/picture_orientation.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <tiffio.h>

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
    if (OrientationOf(tiff.get()) >= 5) {
        return {true, height, width};
    }
    return {true, width, height};
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
        !IsAcceptablePictureSize(width, height)) {
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
    if (TIFFReadRGBAImageOriented(tiff.get(), width, height, picture.pixels.data(), ORIENTATION_TOPLEFT, 0) !=
        1) {
        return std::nullopt;
    }
    for (BufferWord& word : picture.pixels) {
        word = SwapRedBlue(word);
    }
    return Orient(std::move(picture), orientation);
}

PictureReader TiffPictureReader() {
    return {"TIFF", [](std::span<const std::uint8_t> file, std::string_view) { return CheckTiff(file); },
            [](std::span<const std::uint8_t> file, std::string_view) { return DecodeTiff(file); }};
}
