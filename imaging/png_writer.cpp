#include "imaging/picture_writer.h"

#include <bit>
#include <csetjmp>
#include <new>
#include <png.h>

namespace {

// Shared by the libpng calls; it holds no object with a destructor, because libpng
// reports errors by longjmp out of WriteRows.
struct PngWriteSession {
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<std::uint8_t>* out = nullptr;
};

void WriteToMemory(png_structp png, png_bytep data, png_size_t length) {
    auto* session = static_cast<PngWriteSession*>(png_get_io_ptr(png));
    bool stored = true;
    try {
        session->out->insert(session->out->end(), data, data + length);
    } catch (const std::bad_alloc&) {
        stored = false;
    }
    if (!stored) {
        png_error(png, "out of memory");
    }
}

void FlushMemory(png_structp) {}

void IgnoreWarning(png_structp, png_const_charp) {}

[[noreturn]] void StopOnError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

bool WriteRows(PngWriteSession& session, png_uint_32 width, png_uint_32 height, png_bytepp rows) {
    if (setjmp(png_jmpbuf(session.png))) {
        return false;
    }
    png_set_write_fn(session.png, &session, WriteToMemory, FlushMemory);
    png_set_IHDR(session.png, session.info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(session.png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_compression_level(session.png, 9);
    png_write_info(session.png, session.info);
    png_set_bgr(session.png);
    png_set_filler(session.png, 0, PNG_FILLER_AFTER);
    png_write_image(session.png, rows);
    png_write_end(session.png, session.info);
    return true;
}

struct PngWriteStructs {
    PngWriteSession& session;
    explicit PngWriteStructs(PngWriteSession& s) : session(s) {
        session.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, StopOnError, IgnoreWarning);
        if (session.png != nullptr) {
            session.info = png_create_info_struct(session.png);
        }
    }
    ~PngWriteStructs() {
        if (session.png != nullptr) {
            png_destroy_write_struct(&session.png, session.info != nullptr ? &session.info : nullptr);
        }
    }
    PngWriteStructs(const PngWriteStructs&) = delete;
    PngWriteStructs& operator=(const PngWriteStructs&) = delete;
    PngWriteStructs(PngWriteStructs&&) = delete;
    PngWriteStructs& operator=(PngWriteStructs&&) = delete;
};

} // namespace

std::optional<std::vector<std::uint8_t>> EncodePng(const Picture& picture) {
    if (!IsAcceptablePictureSize(picture.width, picture.height) ||
        picture.pixels.size() != std::size_t(picture.width) * std::size_t(picture.height)) {
        return std::nullopt;
    }
    try {
        // Rows are handed over as the buffer words themselves: blue, green, red and a
        // spare byte in memory, which libpng reorders and strips row by row, so no copy
        // of the picture is made.
        static_assert(std::endian::native == std::endian::little);
        std::vector<png_bytep> rows(std::size_t(picture.height));
        for (std::size_t y = 0; y < rows.size(); ++y) {
            // libpng reads the rows only; its interface is older than const.
            rows[y] = const_cast<png_bytep>(reinterpret_cast<const std::uint8_t*>(
                picture.pixels.data() + y * std::size_t(picture.width)));
        }
        std::vector<std::uint8_t> out;
        PngWriteSession session;
        session.out = &out;
        const PngWriteStructs structs(session);
        if (session.info == nullptr ||
            !WriteRows(session, png_uint_32(picture.width), png_uint_32(picture.height), rows.data())) {
            return std::nullopt;
        }
        return out;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}
