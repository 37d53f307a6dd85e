// Writes PNG files of any colour type, bit depth and interlacing through libpng, so
// the reader's tests need no stored files.
#pragma once

#include <csetjmp>
#include <cstdint>
#include <png.h>
#include <vector>

struct TestPngSpec {
    int width = 1;
    int height = 1;
    int colourType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<png_color> palette;      // for PNG_COLOR_TYPE_PALETTE
    std::vector<std::uint8_t> trnsAlpha; // tRNS alpha per palette entry
    std::vector<std::uint8_t> rows;      // packed rows exactly as stored in the file
    int filters = 0;                     // PNG_FILTER_* to allow, or 0 for libpng's choice
};

inline void AppendPngBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

inline bool WriteTestPngInto(const TestPngSpec& layout, std::vector<std::uint8_t>& out, png_structp png,
                             png_infop info, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_set_write_fn(png, &out, AppendPngBytes, nullptr);
    png_set_IHDR(png, info, png_uint_32(layout.width), png_uint_32(layout.height), layout.bitDepth,
                 layout.colourType, layout.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!layout.palette.empty()) {
        png_set_PLTE(png, info, layout.palette.data(), int(layout.palette.size()));
    }
    if (!layout.trnsAlpha.empty()) {
        png_set_tRNS(png, info, layout.trnsAlpha.data(), int(layout.trnsAlpha.size()), nullptr);
    }
    if (layout.filters != 0) {
        png_set_filter(png, PNG_FILTER_TYPE_BASE, layout.filters);
    }
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, info);
    return true;
}

inline std::vector<std::uint8_t> MakeTestPng(TestPngSpec layout) {
    std::vector<std::uint8_t> out;
    const std::size_t rowBytes = layout.rows.size() / std::size_t(layout.height);
    std::vector<png_bytep> rows(std::size_t(layout.height));
    for (std::size_t y = 0; y < rows.size(); ++y) {
        rows[y] = layout.rows.data() + y * rowBytes;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (!WriteTestPngInto(layout, out, png, info, rows.data())) {
        out.clear();
    }
    png_destroy_write_struct(&png, &info);
    return out;
}
