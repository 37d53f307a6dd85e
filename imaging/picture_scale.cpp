// Smooth (area-averaging box filter) and raw (nearest pixel) rescaling.
#include "imaging/picture.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// One destination pixel's share of the source pixels along one axis. In units where a
// source pixel is `destinationSize` long and a destination pixel `sourceSize` long,
// every weight is an integer and the weights of one destination pixel sum to
// `sourceSize`, so the average is exact.
struct Span {
    int first = 0;
    std::vector<std::uint32_t> weights;
};

std::vector<Span> AreaSpans(int sourceSize, int destinationSize) {
    std::vector<Span> spans(static_cast<std::size_t>(destinationSize));
    const auto s = static_cast<std::int64_t>(sourceSize);
    const auto d = static_cast<std::int64_t>(destinationSize);
    for (std::int64_t i = 0; i < d; ++i) {
        const std::int64_t begin = i * s;
        const std::int64_t end = begin + s;
        Span& span = spans[static_cast<std::size_t>(i)];
        span.first = static_cast<int>(begin / d);
        for (std::int64_t j = begin / d; j * d < end; ++j) {
            const std::int64_t overlapBegin = j * d > begin ? j * d : begin;
            const std::int64_t overlapEnd = (j + 1) * d < end ? (j + 1) * d : end;
            span.weights.push_back(static_cast<std::uint32_t>(overlapEnd - overlapBegin));
        }
    }
    return spans;
}

// Source index whose centre is nearest the centre of destination pixel i.
int NearestIndex(int i, int sourceSize, int destinationSize) {
    return static_cast<int>((2 * std::int64_t{i} + 1) * sourceSize / (2 * std::int64_t{destinationSize}));
}

Picture ScaleRaw(const Picture& source, int width, int height) {
    Picture result{width, height, std::vector<BufferWord>(static_cast<std::size_t>(width) * height)};
    std::vector<int> columns(static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x) {
        columns[static_cast<std::size_t>(x)] = NearestIndex(x, source.width, width);
    }
    for (int y = 0; y < height; ++y) {
        const std::size_t sourceRow = static_cast<std::size_t>(NearestIndex(y, source.height, height)) *
                                      static_cast<std::size_t>(source.width);
        BufferWord* out = &result.pixels[static_cast<std::size_t>(y) * width];
        for (int x = 0; x < width; ++x) {
            out[x] =
                source.pixels[sourceRow + static_cast<std::size_t>(columns[static_cast<std::size_t>(x)])];
        }
    }
    return result;
}

// Adds word x weight into the four 32-bit lanes of `sum` (blue, green, red, the spare
// byte). Products and sums stay below 255 x 32767 x 32767 / 32767, far inside a lane.
#if defined(__SSE2__)
[[gnu::always_inline]] inline __m128i AddWeighted(__m128i sum, BufferWord word, std::uint32_t weight) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i lanes =
        _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(word)), zero), zero);
    // Each lane is a 16-bit value over a zero; so is the weight (at most 32767).
    return _mm_add_epi32(sum, _mm_madd_epi16(lanes, _mm_set1_epi32(static_cast<int>(weight))));
}
#endif

// Vertical pass, then divide by the whole area and round to nearest. `Sum` holds a
// column's weighted sum: 32 bits when 255 x the source's area fits, else 64.
template <class Sum>
void VerticalPass(const std::vector<std::uint32_t>& horizontal, const std::vector<Span>& rows,
                  const Picture& source, Picture& result) {
    const std::size_t lanesPerRow = static_cast<std::size_t>(result.width) * 4;
    const std::uint64_t area =
        static_cast<std::uint64_t>(source.width) * static_cast<std::uint64_t>(source.height);
    std::vector<Sum> sums(lanesPerRow);
    const double divisor = static_cast<double>(2 * area);
    for (int y = 0; y < result.height; ++y) {
        const Span& span = rows[static_cast<std::size_t>(y)];
        std::fill(sums.begin(), sums.end(), 0);
        for (std::size_t k = 0; k < span.weights.size(); ++k) {
            const std::uint32_t* in =
                &horizontal[static_cast<std::size_t>(span.first + static_cast<int>(k)) * lanesPerRow];
            const Sum w = span.weights[k];
            for (std::size_t c = 0; c < lanesPerRow; ++c) {
                sums[c] += static_cast<Sum>(in[c]) * w;
            }
        }
        BufferWord* out =
            &result.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(result.width)];
        for (int x = 0; x < result.width; ++x) {
            // floor((2 sum + area) / (2 area)) through a double division, which is much
            // faster than a 64-bit integer one and still exact: both operands are below
            // 2^53, and a quotient just under an integer k is at least 1 / (2 area) below
            // it, a gap far wider than the rounding of a quotient below 256.
            const auto channel = [&](int c) {
                const double numerator = static_cast<double>(
                    2 * static_cast<std::uint64_t>(
                            sums[4 * static_cast<std::size_t>(x) + static_cast<std::size_t>(c)]) +
                    area);
                return static_cast<std::uint32_t>(numerator / divisor);
            };
            out[x] = channel(0) | (channel(1) << 8) | (channel(2) << 16);
        }
    }
}

Picture ScaleSmooth(const Picture& source, int width, int height) {
    const std::vector<Span> columns = AreaSpans(source.width, width);
    const std::vector<Span> rows = AreaSpans(source.height, height);

    // Horizontal pass: per channel sums scaled by source.width (at most 255 * 32767),
    // four lanes a column (blue, green, red and the unused spare byte).
    const std::size_t lanesPerRow = static_cast<std::size_t>(width) * 4;
    std::vector<std::uint32_t> horizontal(lanesPerRow * static_cast<std::size_t>(source.height));
    for (int y = 0; y < source.height; ++y) {
        const BufferWord* in =
            &source.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(source.width)];
        std::uint32_t* out = &horizontal[static_cast<std::size_t>(y) * lanesPerRow];
        for (int x = 0; x < width; ++x) {
            const Span& span = columns[static_cast<std::size_t>(x)];
            const BufferWord* first = in + span.first;
#if defined(__SSE2__)
            __m128i sum = _mm_setzero_si128();
            for (std::size_t k = 0; k < span.weights.size(); ++k) {
                sum = AddWeighted(sum, first[k], span.weights[k]);
            }
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * static_cast<std::size_t>(x)), sum);
#else
            std::uint32_t b = 0, g = 0, r = 0;
            for (std::size_t k = 0; k < span.weights.size(); ++k) {
                const BufferWord word = first[k];
                const std::uint32_t w = span.weights[k];
                b += (word & 0xFFu) * w;
                g += ((word >> 8) & 0xFFu) * w;
                r += ((word >> 16) & 0xFFu) * w;
            }
            out[4 * x] = b;
            out[4 * x + 1] = g;
            out[4 * x + 2] = r;
#endif
        }
    }
    Picture result{width, height, std::vector<BufferWord>(static_cast<std::size_t>(width) * height)};
    const std::uint64_t area =
        static_cast<std::uint64_t>(source.width) * static_cast<std::uint64_t>(source.height);
    if (255 * area <= UINT32_MAX) {
        VerticalPass<std::uint32_t>(horizontal, rows, source, result);
    } else {
        VerticalPass<std::uint64_t>(horizontal, rows, source, result);
    }
    return result;
}

} // namespace

Picture ScalePicture(const Picture& source, int width, int height, ScaleMode mode) {
    if (source.width <= 0 || source.height <= 0 || width <= 0 || height <= 0) {
        return Picture{width > 0 ? width : 0, height > 0 ? height : 0,
                       std::vector<BufferWord>(static_cast<std::size_t>(width > 0 ? width : 0) *
                                               static_cast<std::size_t>(height > 0 ? height : 0))};
    }
    return mode == ScaleMode::Raw ? ScaleRaw(source, width, height) : ScaleSmooth(source, width, height);
}
