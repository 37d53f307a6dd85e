#include "imaging/jpeg_reader.h"

#include "imaging/picture_orientation.h"
#include "imaging/reader_support.h"

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <jpeglib.h>
#include <new>
#include <string_view>

namespace {

// Progressive files may not have more scans than this; libjpeg-turbo's own tools stop at
// the same count. Each scan costs a pass over the coefficients, so a few bytes that
// repeat one scan thousands of times would otherwise cost minutes.
constexpr int kMaxScans = 500;
// Each scan visits every block of its components, however few bytes it takes: with
// arithmetic coding or end-of-band runs a file of a few kilobytes can hold hundreds of
// scans over millions of blocks. A progressive file whose scans would visit its blocks
// more than 64 times over (encoders use about ten), beyond a few million visits that any
// picture may spend, or more than the absolute limit in all, is refused.
constexpr std::uint64_t kVisitsPerBlock = 64;
constexpr std::uint64_t kFreeBlockVisits = std::uint64_t{1} << 22;
constexpr std::uint64_t kMaxBlockVisits = std::uint64_t{1} << 27;
// libjpeg's own working memory (a progressive picture's coefficients above all).
constexpr long kMaxLibjpegMemory = 256L * 1024 * 1024;

// libjpeg reports errors by longjmp; the frames it jumps over hold no C++ objects. A
// warning about the entropy-coded data (corrupt data, a premature end) once decoding
// has begun marks the end of the useful data: decoding stops there instead of grinding
// through what follows.
struct JpegError {
    jpeg_error_mgr manager{};
    std::jmp_buf jump{};
    bool decoding = false;
    bool warned = false;
};

[[noreturn]] void StopOnError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}
void NoteWarning(j_common_ptr info, int level) {
    auto* error = reinterpret_cast<JpegError*>(info->err);
    if (level < 0 && error->decoding) {
        error->warned = true;
    }
}
void IgnoreOutput(j_common_ptr) {}

struct JpegHeader {
    int width = 0;
    int height = 0;
    int scale = 8; // the decoded picture is scale / 8 of the stored one (libjpeg's DCT scaling)
    int orientation = 1;
    bool fillable = true; // the file is long enough for the picture's blocks
    int outputWidth = 0;  // the decoded picture, as stored
    int outputHeight = 0;
};

bool LooksLikeJpeg(std::span<const std::uint8_t> file) {
    return file.size() >= 3 && file[0] == 0xFF && file[1] == 0xD8 && file[2] == 0xFF;
}

// The orientation tag of the first APP1 "Exif" segment the decoder saved.
int OrientationOf(const jpeg_decompress_struct& info) {
    for (jpeg_saved_marker_ptr marker = info.marker_list; marker != nullptr; marker = marker->next) {
        if (marker->marker == JPEG_APP0 + 1) {
            const int orientation = JpegExifOrientation({marker->data, marker->data_length});
            if (orientation != 1) {
                return orientation;
            }
        }
    }
    return 1;
}

// Huffman coding spends at least one bit on every 8 x 8 block of a component in its
// first scan, so a file shorter than one bit a block of its smallest component cannot
// hold the picture. Arithmetic coding can be denser and is not judged.
bool CanHoldBlocks(const jpeg_decompress_struct& info, std::size_t fileBytes) {
    if (info.arith_code) {
        return true;
    }
    std::uint64_t fewest = UINT64_MAX;
    for (int i = 0; i < info.num_components; ++i) {
        const jpeg_component_info& component = info.comp_info[i];
        fewest = std::min<std::uint64_t>(fewest, std::uint64_t{component.width_in_blocks} *
                                                     component.height_in_blocks);
    }
    return fewest / 8 <= fileBytes;
}

std::uint64_t AllowedBlockVisits(const jpeg_decompress_struct& info) {
    std::uint64_t blocks = 0;
    for (int i = 0; i < info.num_components; ++i) {
        blocks += std::uint64_t{info.comp_info[i].width_in_blocks} * info.comp_info[i].height_in_blocks;
    }
    return std::min(kMaxBlockVisits, std::max(kFreeBlockVisits, kVisitsPerBlock * blocks));
}

std::uint64_t BlocksInScan(const jpeg_decompress_struct& info) {
    std::uint64_t blocks = 0;
    for (int i = 0; i < info.comps_in_scan; ++i) {
        blocks +=
            std::uint64_t{info.cur_comp_info[i]->width_in_blocks} * info.cur_comp_info[i]->height_in_blocks;
    }
    return blocks;
}

// A progressive file is read scan by scan in buffered-image mode, so that decoding can
// stop at the scan limits or at a warning and still show what the earlier scans hold.
bool ConsumeScans(jpeg_decompress_struct& info, const JpegError& error) {
    const std::uint64_t allowed = AllowedBlockVisits(info);
    std::uint64_t visits = BlocksInScan(info); // the first scan's header is read already
    for (;;) {
        const int status = jpeg_consume_input(&info);
        if (status == JPEG_REACHED_SOS) {
            visits += BlocksInScan(info);
        }
        if (info.input_scan_number > kMaxScans || visits > allowed) {
            return false;
        }
        if (status == JPEG_REACHED_EOI || status == JPEG_SUSPENDED || error.warned) {
            return true;
        }
    }
}

// Reads the output rows into `out`; rows after a warning stay as they are (black).
void ReadRows(jpeg_decompress_struct& info, const JpegError& error, BufferWord* out) {
    const auto width = static_cast<std::size_t>(info.output_width);
    while (info.output_scanline < info.output_height && !error.warned) {
        auto* row = reinterpret_cast<JSAMPROW>(out + static_cast<std::size_t>(info.output_scanline) * width);
        jpeg_read_scanlines(&info, &row, 1);
    }
}

// Adobe writes CMYK inverted; either way red = (1 - C)(1 - K) in the plain form.
void ConvertCmyk(BufferWord* out, std::size_t count, bool inverted) {
    for (std::size_t i = 0; i < count; ++i) {
        const BufferWord word = out[i];
        unsigned c = word & 0xFFu;
        unsigned m = (word >> 8) & 0xFFu;
        unsigned y = (word >> 16) & 0xFFu;
        unsigned k = word >> 24;
        if (!inverted) {
            c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
        }
        const auto channel = [k](unsigned v) { return (v * k + 127) / 255; };
        out[i] = channel(y) | (channel(m) << 8) | (channel(c) << 16);
    }
}

// Decodes the header and, when `pixels` is given, the whole picture at header.scale / 8
// into it (one buffer word a pixel, as stored), setting its size. Returns false on any
// libjpeg error or beyond the scan limit.
bool Decode(std::span<const std::uint8_t> file, JpegHeader& header, std::vector<BufferWord>* pixels) {
    jpeg_decompress_struct info{};
    JpegError error;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = StopOnError;
    error.manager.emit_message = NoteWarning;
    error.manager.output_message = IgnoreOutput;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    info.mem->max_memory_to_use = kMaxLibjpegMemory;
    jpeg_mem_src(&info, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_save_markers(&info, JPEG_APP0 + 1, 0xFFFF);
    jpeg_read_header(&info, TRUE);
    header.width = static_cast<int>(info.image_width);
    header.height = static_cast<int>(info.image_height);
    header.orientation = OrientationOf(info);
    header.fillable = CanHoldBlocks(info, file.size());
    if (pixels == nullptr || !IsAcceptablePictureSize(header.width, header.height) || !header.fillable) {
        jpeg_destroy_decompress(&info);
        return pixels == nullptr;
    }
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRX; // BGRX rows are buffer words
    const bool progressive = jpeg_has_multiple_scans(&info) != 0;
    info.buffered_image = progressive ? TRUE : FALSE;
    info.scale_num = static_cast<unsigned>(header.scale);
    info.scale_denom = 8;
    jpeg_calc_output_dimensions(&info);
    header.outputWidth = static_cast<int>(info.output_width);
    header.outputHeight = static_cast<int>(info.output_height);
    const std::size_t count = static_cast<std::size_t>(info.output_width) * info.output_height;
    if (pixels->size() != count) {
        // A scaled picture is never larger than the stored one, which the caller could hold.
        try {
            pixels->assign(count, 0u);
        } catch (const std::bad_alloc&) {
            jpeg_destroy_decompress(&info);
            return false;
        }
    }
    error.decoding = true;
    jpeg_start_decompress(&info);
    // Pointers only: the vector belongs to the caller, so a longjmp skips no destructor.
    BufferWord* out = pixels->data();
    if (progressive) {
        const bool withinLimit = ConsumeScans(info, error);
        if (!withinLimit) {
            jpeg_destroy_decompress(&info);
            return false;
        }
        error.warned = false; // the scans read so far are shown whole
        jpeg_start_output(&info, info.input_scan_number);
        ReadRows(info, error, out);
    } else {
        ReadRows(info, error, out);
    }
    if (cmyk) {
        ConvertCmyk(out, static_cast<std::size_t>(info.output_width) * info.output_height,
                    info.saw_Adobe_marker != 0);
    }
    // Finishing would read on to the end of the data, which a warning has marked useless.
    jpeg_destroy_decompress(&info);
    return true;
}

} // namespace

int JpegExifOrientation(std::span<const std::uint8_t> app1) {
    // "Exif\0\0", then a TIFF header whose first directory holds tag 0x0112.
    if (app1.size() < 14 ||
        std::string_view(reinterpret_cast<const char*>(app1.data()), 6) != std::string_view("Exif\0\0", 6)) {
        return 1;
    }
    const std::span<const std::uint8_t> tiff = app1.subspan(6);
    const bool little = tiff[0] == 'I' && tiff[1] == 'I';
    if (!little && !(tiff[0] == 'M' && tiff[1] == 'M')) {
        return 1;
    }
    const auto read16 = [&](std::size_t at) -> unsigned {
        return at + 2 > tiff.size() ? 0
               : little             ? tiff[at] | (tiff[at + 1] << 8)
                                    : (tiff[at] << 8) | tiff[at + 1];
    };
    const auto read32 = [&](std::size_t at) -> std::uint64_t {
        return at + 4 > tiff.size() ? 0
               : little             ? (std::uint64_t{read16(at + 2)} << 16) | read16(at)
                                    : (std::uint64_t{read16(at)} << 16) | read16(at + 2);
    };
    const std::uint64_t directory = read32(4);
    if (directory + 2 > tiff.size()) {
        return 1;
    }
    const unsigned entries = read16(directory);
    for (unsigned i = 0; i < entries; ++i) {
        const std::uint64_t entry = directory + 2 + 12ull * i;
        if (entry + 12 > tiff.size()) {
            break;
        }
        if (read16(entry) == 0x0112) {
            const unsigned orientation = read16(entry + 8);
            return orientation >= 1 && orientation <= 8 ? static_cast<int>(orientation) : 1;
        }
    }
    return 1;
}

ReaderCheck CheckJpegPicture(std::span<const std::uint8_t> file) {
    JpegHeader header;
    if (!LooksLikeJpeg(file) || !Decode(file, header, nullptr)) {
        return {};
    }
    const bool swaps = header.orientation >= 5;
    ReaderCheck check{true, swaps ? header.height : header.width, swaps ? header.width : header.height};
    if (!header.fillable) {
        check.refusal = FileTooShortRefusal(check.width, check.height);
    }
    return check;
}

std::optional<Picture> ReadJpegPicture(std::span<const std::uint8_t> file,
                                       std::optional<DecodeSize> atLeast) {
    JpegHeader header;
    if (!LooksLikeJpeg(file) || !Decode(file, header, nullptr) || !header.fillable ||
        !IsAcceptablePictureSize(header.width, header.height)) {
        return std::nullopt;
    }
    // The smallest DCT scale whose picture is still at least the size asked for, which
    // is given as shown: orientations 5 to 8 turn the stored picture a quarter.
    const bool swaps = header.orientation >= 5;
    const DecodeSize need = atLeast.value_or(DecodeSize{});
    const std::int64_t needWidth = swaps ? need.height : need.width;
    const std::int64_t needHeight = swaps ? need.width : need.height;
    const auto scaled = [](std::int64_t side, int scale) { return (side * scale + 7) / 8; };
    while (atLeast && header.scale > 1 && scaled(header.width, header.scale - 1) >= needWidth &&
           scaled(header.height, header.scale - 1) >= needHeight) {
        --header.scale;
    }
    // At full size the picture is allocated here; a scaled one is sized by Decode.
    Picture picture;
    if (header.scale == 8) {
        std::optional<Picture> allocated = AllocatePicture(header.width, header.height);
        if (!allocated) {
            return std::nullopt;
        }
        picture = std::move(*allocated);
    }
    if (!Decode(file, header, &picture.pixels)) {
        return std::nullopt;
    }
    picture.width = header.outputWidth;
    picture.height = header.outputHeight;
    for (BufferWord& word : picture.pixels) {
        word &= 0x00FFFFFFu; // libjpeg fills the X byte
    }
    return Orient(std::move(picture), header.orientation);
}

PictureReader JpegPictureReader() {
    return PictureReader{
        "JPEG",
        [](std::span<const std::uint8_t> file, std::string_view) { return CheckJpegPicture(file); },
        [](std::span<const std::uint8_t> file, std::string_view) { return ReadJpegPicture(file); },
        [](std::span<const std::uint8_t> file, DecodeSize atLeast) { return ReadJpegPicture(file, atLeast); },
    };
}
