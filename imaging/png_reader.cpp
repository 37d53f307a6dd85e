#include "imaging/png_reader.h"

#include "imaging/png_direct_rows.h"
#include "imaging/reader_support.h"

#include <algorithm>
#include <bit>
#include <csetjmp>
#include <cstring>
#include <png.h>
#include <vector>

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Ancillary chunks (text, ICC profiles) may not make libpng allocate more than this.
constexpr png_alloc_size_t kMaxChunkBytes = png_alloc_size_t{16} * 1024 * 1024;

std::uint32_t ReadBigEndian32(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return (std::uint32_t{bytes[offset]} << 24) | (std::uint32_t{bytes[offset + 1]} << 16) |
           (std::uint32_t{bytes[offset + 2]} << 8) | std::uint32_t{bytes[offset + 3]};
}

// Everything the libpng calls share. It holds no object with a destructor, because
// libpng reports errors by longjmp out of the functions below.
struct PngSession {
    png_structp png = nullptr;
    png_infop info = nullptr;
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::size_t offset = 0;
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    // Without alpha, libpng writes buffer words itself: blue, green, red and a zero byte.
    bool rowsAreWords = false;
    // 8-bit RGB or RGBA, not interlaced: the rows may be read directly (png_direct_rows.h).
    bool direct = false;
    bool alpha = false;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length) {
    auto* session = static_cast<PngSession*>(png_get_io_ptr(png));
    if (length > session->size - session->offset) {
        png_error(png, "truncated");
    }
    std::memcpy(out, session->data + session->offset, length);
    session->offset += length;
}

void IgnoreWarning(png_structp, png_const_charp) {}

[[noreturn]] void StopOnError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

// Reads the header and sets the transformations that give 8-bit RGBA rows. Only
// plain values live in this frame, so the longjmp of an error leaves nothing behind.
bool ReadHeader(PngSession& session) {
    if (setjmp(png_jmpbuf(session.png))) {
        return false;
    }
    png_set_read_fn(session.png, &session, ReadFromMemory);
    png_set_user_limits(session.png, kMaxPictureSide, kMaxPictureSide);
#ifdef QUILLMORPH_FUZZING
    // A mutated input almost never keeps its chunk checksums, so fuzzing builds ignore
    // them, as libpng's own fuzzer does, and the fuzzer reaches the decoder; the program
    // itself keeps every check.
    png_set_crc_action(session.png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
#ifdef PNG_IGNORE_ADLER32
    png_set_option(session.png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
#endif
#endif
    png_set_chunk_malloc_max(session.png, kMaxChunkBytes);
    png_set_chunk_cache_max(session.png, 1000);
    png_read_info(session.png, session.info);

    session.width = png_get_image_width(session.png, session.info);
    session.height = png_get_image_height(session.png, session.info);
    if (!IsAcceptablePictureSize(session.width, session.height)) {
        return false;
    }
    const int colourType = png_get_color_type(session.png, session.info);
    png_set_expand(session.png); // palette to RGB, grey below 8 bits to 8, tRNS to alpha
    png_set_scale_16(session.png);
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) {
        png_set_gray_to_rgb(session.png);
    }
    session.rowsAreWords = (colourType & PNG_COLOR_MASK_ALPHA) == 0 &&
                           png_get_valid(session.png, session.info, PNG_INFO_tRNS) == 0;
    session.alpha = colourType == PNG_COLOR_TYPE_RGB_ALPHA;
    session.direct = png_get_bit_depth(session.png, session.info) == 8 &&
                     png_get_interlace_type(session.png, session.info) == PNG_INTERLACE_NONE &&
                     (session.alpha || (colourType == PNG_COLOR_TYPE_RGB && session.rowsAreWords));
    if (session.rowsAreWords) {
        png_set_bgr(session.png);
        png_set_filler(session.png, 0, PNG_FILLER_AFTER);
    } else {
        png_set_add_alpha(session.png, 0xFF, PNG_FILLER_AFTER); // only where the file has no alpha
    }
    png_set_interlace_handling(session.png);
    png_read_update_info(session.png, session.info);
    return png_get_rowbytes(session.png, session.info) == std::size_t{session.width} * 4;
}

bool ReadRows(PngSession& session, png_bytepp rows) {
    if (setjmp(png_jmpbuf(session.png))) {
        return false;
    }
    // The chunks after the pixels are not read: a file cut short after its last row
    // still gives its picture.
    png_read_image(session.png, rows);
    return true;
}

// Owns libpng's structures for the length of one decode.
struct PngReadStructs {
    PngSession& session;
    explicit PngReadStructs(PngSession& s) : session(s) {
        session.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, StopOnError, IgnoreWarning);
        if (session.png != nullptr) {
            session.info = png_create_info_struct(session.png);
        }
    }
    ~PngReadStructs() {
        if (session.png != nullptr) {
            png_destroy_read_struct(&session.png, session.info != nullptr ? &session.info : nullptr, nullptr);
        }
    }
    PngReadStructs(const PngReadStructs&) = delete;
    PngReadStructs& operator=(const PngReadStructs&) = delete;
    PngReadStructs(PngReadStructs&&) = delete;
    PngReadStructs& operator=(PngReadStructs&&) = delete;
};

// The chunks before the pixel data must lie within the file. libpng would fail on them
// too, but only after allocating the length a chunk claims, up to 2 GiB.
bool ChunksBeforePixelsFit(std::span<const std::uint8_t> file) {
    std::uint64_t at = 8;
    while (at + 8 <= file.size()) {
        const std::uint64_t length = ReadBigEndian32(file, std::size_t(at));
        if (length > 0x7FFFFFFF || at + 12 + length > file.size()) {
            return false;
        }
        if (std::memcmp(file.data() + at + 4, "IDAT", 4) == 0) {
            return true;
        }
        at += 12 + length;
    }
    return false;
}

// Deflate gives at most 1032 bytes for each compressed byte, so the file must be at
// least 1/1032 of the filtered rows (a filter byte and the packed samples of each row).
bool CanHoldRows(std::span<const std::uint8_t> file, const ReaderCheck& header) {
    constexpr std::uint64_t kDeflateMaxRatio = 1032;
    const unsigned bitDepth = file[24];
    const unsigned colourType = file[25];
    const unsigned channels = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
    const std::uint64_t rowBytes =
        1 + (static_cast<std::uint64_t>(header.width) * channels * bitDepth + 7) / 8;
    return rowBytes * static_cast<std::uint64_t>(header.height) / kDeflateMaxRatio <= file.size();
}

} // namespace

ReaderCheck CheckPng(std::span<const std::uint8_t> file) {
    // Signature, then the IHDR chunk: length 13, type, width, height.
    if (file.size() < 33 || !std::equal(std::begin(kSignature), std::end(kSignature), file.begin()) ||
        ReadBigEndian32(file, 8) != 13 || std::memcmp(file.data() + 12, "IHDR", 4) != 0) {
        return {};
    }
    ReaderCheck check{true, ReadBigEndian32(file, 16), ReadBigEndian32(file, 20)};
    if (!CanHoldRows(file, check)) {
        check.refusal = FileTooShortRefusal(check.width, check.height);
    }
    return check;
}

std::optional<Picture> DecodePng(std::span<const std::uint8_t> file) {
    const ReaderCheck check = CheckPng(file);
    if (!check.accepted || !check.refusal.empty() || !IsAcceptablePictureSize(check.width, check.height) ||
        !ChunksBeforePixelsFit(file)) {
        return std::nullopt;
    }
    PngSession session;
    session.data = file.data();
    session.size = file.size();
    const PngReadStructs structs(session);
    if (session.info == nullptr || !ReadHeader(session)) {
        return std::nullopt;
    }

    Picture picture;
    picture.width = static_cast<int>(session.width);
    picture.height = static_cast<int>(session.height);
    // One word per pixel: libpng writes either buffer words or RGBA bytes into it, which
    // are turned in place into buffer words, so the picture needs no second buffer.
    picture.pixels.assign(std::size_t{session.width} * session.height, 0);
    // libpng's header reading has stopped at the first IDAT chunk's data.
    if (session.direct && ReadPngRowsDirectly(file, session.offset, session.width, session.height,
                                              session.alpha, picture.pixels)) {
        return picture;
    }
    std::vector<png_bytep> rows(session.height);
    auto* bytes = reinterpret_cast<std::uint8_t*>(picture.pixels.data());
    for (std::size_t y = 0; y < rows.size(); ++y) {
        rows[y] = bytes + y * std::size_t{session.width} * 4;
    }
    if (!ReadRows(session, rows.data())) {
        return std::nullopt;
    }
    static_assert(std::endian::native == std::endian::little);
    if (!session.rowsAreWords) {
        for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
            picture.pixels[i] = RgbaOverBlack(bytes + i * 4);
        }
    }
    return picture;
}

PictureReader PngPictureReader() {
    return {"PNG", [](std::span<const std::uint8_t> file, std::string_view) { return CheckPng(file); },
            [](std::span<const std::uint8_t> file, std::string_view) { return DecodePng(file); }};
}
