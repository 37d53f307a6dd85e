#include "imaging/picture_writer.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <new>

namespace {

// libjpeg's error manager with a place to jump back to; libjpeg's own default would
// end the process.
struct JpegErrors {
    jpeg_error_mgr manager{};
    std::jmp_buf jump{};
};

[[noreturn]] void StopOnError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1);
}

void IgnoreMessage(j_common_ptr) {}

// Everything the libjpeg calls share; plain values only, because errors longjmp out
// of Compress.
struct JpegSession {
    jpeg_compress_struct compressor{};
    JpegErrors errors;
    unsigned char* output = nullptr; // allocated by libjpeg's memory destination
    unsigned long outputSize = 0;
    const BufferWord* pixels = nullptr;
    JDIMENSION width = 0;
    JDIMENSION height = 0;
    JSAMPLE* row = nullptr; // width * 3 bytes
};

bool Compress(JpegSession& session) {
    if (setjmp(session.errors.jump)) {
        return false;
    }
    jpeg_compress_struct& c = session.compressor;
    jpeg_mem_dest(&c, &session.output, &session.outputSize);
    c.image_width = session.width;
    c.image_height = session.height;
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, kJpegQuality, FALSE);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        const BufferWord* source = session.pixels + std::size_t(c.next_scanline) * session.width;
        for (JDIMENSION x = 0; x < session.width; ++x) {
            JSAMPLE* out = session.row + std::size_t{3} * x;
            out[0] = static_cast<JSAMPLE>(source[x] >> 16);
            out[1] = static_cast<JSAMPLE>(source[x] >> 8);
            out[2] = static_cast<JSAMPLE>(source[x]);
        }
        JSAMPROW rows[1] = {session.row};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    return true;
}

// Releases libjpeg's compressor and its output buffer however Compress ended.
struct JpegResources {
    JpegSession& session;
    bool created = false;
    explicit JpegResources(JpegSession& s) : session(s) {}
    ~JpegResources() {
        if (created) {
            jpeg_destroy_compress(&session.compressor);
        }
        // libjpeg allocates it with malloc.
        std::free(session.output); // NOLINT(cppcoreguidelines-no-malloc)
    }
    JpegResources(const JpegResources&) = delete;
    JpegResources& operator=(const JpegResources&) = delete;
    JpegResources(JpegResources&&) = delete;
    JpegResources& operator=(JpegResources&&) = delete;
};

bool CreateCompressor(JpegSession& session) {
    if (setjmp(session.errors.jump)) {
        return false;
    }
    jpeg_create_compress(&session.compressor);
    return true;
}

} // namespace

std::optional<std::vector<std::uint8_t>> EncodeJpeg(const Picture& picture) {
    if (!IsAcceptablePictureSize(picture.width, picture.height) ||
        picture.pixels.size() != std::size_t(picture.width) * std::size_t(picture.height)) {
        return std::nullopt;
    }
    try {
        std::vector<JSAMPLE> row(std::size_t(picture.width) * 3);
        JpegSession session;
        session.compressor.err = jpeg_std_error(&session.errors.manager);
        session.errors.manager.error_exit = StopOnError;
        session.errors.manager.output_message = IgnoreMessage;
        session.pixels = picture.pixels.data();
        session.width = JDIMENSION(picture.width);
        session.height = JDIMENSION(picture.height);
        session.row = row.data();
        JpegResources resources(session);
        if (!CreateCompressor(session)) {
            return std::nullopt;
        }
        resources.created = true;
        if (!Compress(session) || session.output == nullptr) {
            return std::nullopt;
        }
        return std::vector<std::uint8_t>(session.output, session.output + session.outputSize);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}
