#include "imaging/png_direct_rows.h"

#include <cstdlib>
#include <cstring>
#include <libdeflate.h>
#include <memory>
#include <vector>

namespace {

// Larger pictures are left to libpng, which inflates a row at a time instead of holding
// the whole stream beside the picture.
constexpr std::uint64_t kMaxInflatedBytes = std::uint64_t{64} * 1024 * 1024;

std::uint32_t BigEndian32(const std::uint8_t* bytes) {
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
           (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]};
}

struct DecompressorDeleter {
    void operator()(libdeflate_decompressor* decompressor) const {
        libdeflate_free_decompressor(decompressor);
    }
};

// The data of the IDAT chunks from `first` on, each with its checksum verified; one span
// when there is a single chunk, else joined into `joined`. Empty when a chunk runs past
// the file or fails its checksum.
std::span<const std::uint8_t> CompressedStream(std::span<const std::uint8_t> file, std::size_t first,
                                               std::vector<std::uint8_t>& joined) {
    std::span<const std::uint8_t> single;
    std::size_t chunks = 0;
    for (std::size_t at = first; at >= 8 && at <= file.size();) {
        const std::uint32_t length = BigEndian32(file.data() + at - 8);
        if (length > file.size() - at || file.size() - at - length < 4) {
            return {};
        }
#ifndef QUILLMORPH_FUZZING
        // The checksum covers the chunk's type and data. Fuzzing builds skip it, as they
        // have libpng do.
        const std::uint32_t stored = BigEndian32(file.data() + at + length);
        if (libdeflate_crc32(0, file.data() + at - 4, std::size_t{length} + 4) != stored) {
            return {};
        }
#endif
        const std::span<const std::uint8_t> data = file.subspan(at, length);
        if (++chunks == 1) {
            single = data;
        } else {
            if (chunks == 2) {
                joined.assign(single.begin(), single.end());
            }
            joined.insert(joined.end(), data.begin(), data.end());
        }
        const std::size_t next = at + length + 4;
        if (file.size() - next < 8 || std::memcmp(file.data() + next + 4, "IDAT", 4) != 0) {
            break;
        }
        at = next + 8;
    }
    return chunks > 1 ? std::span<const std::uint8_t>(joined) : single;
}

// Undoes one row's filter in place; `previous` is the row above, unfiltered, or zeros.
// False for a filter type PNG does not define.
bool Unfilter(std::uint8_t type, std::uint8_t* row, const std::uint8_t* previous, std::size_t bytes,
              std::size_t step) {
    switch (type) {
    case 0:
        return true;
    case 1:
        for (std::size_t i = step; i < bytes; ++i) {
            row[i] = static_cast<std::uint8_t>(row[i] + row[i - step]);
        }
        return true;
    case 2:
        for (std::size_t i = 0; i < bytes; ++i) {
            row[i] = static_cast<std::uint8_t>(row[i] + previous[i]);
        }
        return true;
    case 3:
        for (std::size_t i = 0; i < bytes; ++i) {
            const unsigned left = i >= step ? row[i - step] : 0u;
            row[i] = static_cast<std::uint8_t>(row[i] + ((left + previous[i]) >> 1));
        }
        return true;
    case 4:
        for (std::size_t i = 0; i < bytes; ++i) {
            const int left = i >= step ? row[i - step] : 0;
            const int above = previous[i];
            const int corner = i >= step ? previous[i - step] : 0;
            const int toLeft = std::abs(above - corner);
            const int toAbove = std::abs(left - corner);
            const int toCorner = std::abs(left + above - 2 * corner);
            const int predicted = toLeft <= toAbove && toLeft <= toCorner ? left
                                  : toAbove <= toCorner                   ? above
                                                                          : corner;
            row[i] = static_cast<std::uint8_t>(row[i] + predicted);
        }
        return true;
    default:
        return false;
    }
}

} // namespace

BufferWord RgbaOverBlack(const std::uint8_t* rgba) {
    const unsigned alpha = rgba[3];
    auto scale = [alpha](unsigned channel) { return (channel * alpha + 127) / 255; };
    return (scale(rgba[0]) << 16) | (scale(rgba[1]) << 8) | scale(rgba[2]);
}

bool ReadPngRowsDirectly(std::span<const std::uint8_t> file, std::size_t firstIdat, std::uint32_t width,
                         std::uint32_t height, bool alpha, std::span<BufferWord> pixels) {
    const std::size_t step = alpha ? 4 : 3;
    const std::uint64_t rowBytes = std::uint64_t{width} * step;
    const std::uint64_t inflatedBytes = (rowBytes + 1) * height;
    if (width == 0 || height == 0 || inflatedBytes > kMaxInflatedBytes ||
        pixels.size() != std::size_t{width} * height) {
        return false;
    }
    std::vector<std::uint8_t> joined;
    const std::span<const std::uint8_t> stream = CompressedStream(file, firstIdat, joined);
    const std::unique_ptr<libdeflate_decompressor, DecompressorDeleter> decompressor(
        libdeflate_alloc_decompressor());
    if (stream.empty() || decompressor == nullptr) {
        return false;
    }
    // Every byte is written by the inflation before it is read.
    const std::unique_ptr<std::uint8_t[]> inflated(new std::uint8_t[inflatedBytes]);
    std::size_t read = 0;
    std::size_t written = 0;
    if (libdeflate_zlib_decompress_ex(decompressor.get(), stream.data(), stream.size(), inflated.get(),
                                      inflatedBytes, &read, &written) != LIBDEFLATE_SUCCESS ||
        read != stream.size() || written != inflatedBytes) {
        return false;
    }
    const std::vector<std::uint8_t> zeros(rowBytes, 0);
    const std::uint8_t* previous = zeros.data();
    for (std::size_t y = 0; y < height; ++y) {
        std::uint8_t* row = inflated.get() + y * (rowBytes + 1);
        if (!Unfilter(row[0], row + 1, previous, rowBytes, step)) {
            return false;
        }
        previous = row + 1;
        BufferWord* out = pixels.data() + y * width;
        for (std::size_t x = 0; x < width; ++x) {
            const std::uint8_t* sample = row + 1 + x * step;
            out[x] = alpha ? RgbaOverBlack(sample)
                           : (BufferWord{sample[0]} << 16) | (BufferWord{sample[1]} << 8) | sample[2];
        }
    }
    return true;
}
