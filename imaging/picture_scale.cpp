// Smooth (area-averaging box filter) and raw (nearest pixel) rescaling.
#include "imaging/picture.h"
#include "imaging/picture_scale_whole_ratio.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <numeric>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Every destination pixel's share of the source pixels along one axis, stored flat. In
// units where a source pixel is d / g long and a destination pixel s / g long (s and d
// the two sizes, g their greatest common divisor), every weight is an integer and one
// destination pixel's weights sum to `total` = s / g, so the average is exact.
struct AxisSpans {
    std::vector<int> first;            // first source index of each destination pixel
    std::vector<std::uint32_t> starts; // its weights are weights[starts[i]] .. weights[starts[i + 1] - 1]
    std::vector<std::uint32_t> weights;
    std::uint32_t total = 0;
};

AxisSpans AreaSpans(int sourceSize, int destinationSize) {
    const std::int64_t common = std::gcd(sourceSize, destinationSize);
    const std::int64_t s = sourceSize / common;
    const std::int64_t d = destinationSize / common;
    AxisSpans spans;
    spans.total = static_cast<std::uint32_t>(s);
    spans.first.reserve(static_cast<std::size_t>(destinationSize));
    spans.starts.reserve(static_cast<std::size_t>(destinationSize) + 1);
    for (std::int64_t i = 0; i < destinationSize; ++i) {
        const std::int64_t begin = i * s;
        const std::int64_t end = begin + s;
        spans.first.push_back(static_cast<int>(begin / d));
        spans.starts.push_back(static_cast<std::uint32_t>(spans.weights.size()));
        for (std::int64_t j = begin / d; j * d < end; ++j) {
            const std::int64_t overlapBegin = std::max(j * d, begin);
            const std::int64_t overlapEnd = std::min((j + 1) * d, end);
            spans.weights.push_back(static_cast<std::uint32_t>(overlapEnd - overlapBegin));
        }
    }
    spans.starts.push_back(static_cast<std::uint32_t>(spans.weights.size()));
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

#if defined(__SSE2__)
// Adds word x weight into the four 32-bit lanes of `sum` (blue, green, red, the spare
// byte). Products and sums stay below 255 x 32767, far inside a lane.
[[gnu::always_inline]] inline __m128i AddWeighted(__m128i sum, BufferWord word, std::uint32_t weight) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i lanes =
        _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(word)), zero), zero);
    // Each lane is a 16-bit value over a zero; so is the weight (at most 32767).
    return _mm_add_epi32(sum, _mm_madd_epi16(lanes, _mm_set1_epi32(static_cast<int>(weight))));
}

// The same for two neighbouring words: their channels interleaved in 16-bit lanes
// (b0 b1 g0 g1 ...) against the weight pair, one multiply-add per channel.
[[gnu::always_inline]] inline __m128i AddWeightedPair(__m128i sum, const BufferWord* words,
                                                      const std::uint32_t* weights) {
    const __m128i bytes =
        _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(words)), _mm_setzero_si128());
    const __m128i lanes = _mm_unpacklo_epi16(bytes, _mm_srli_si128(bytes, 8));
    const __m128i pair = _mm_set1_epi32(static_cast<int>(weights[0] | (weights[1] << 16)));
    return _mm_add_epi32(sum, _mm_madd_epi16(lanes, pair));
}
#endif

// Horizontal pass of one source row: per channel sums scaled by columns.total (at most
// 255 x 32767), four lanes a column (blue, green, red and the unused spare byte).
void HorizontalRow(const BufferWord* in, const AxisSpans& columns, std::uint32_t* out) {
    for (std::size_t x = 0; x < columns.first.size(); ++x) {
        const BufferWord* word = in + columns.first[x];
        const std::uint32_t* weight = columns.weights.data() + columns.starts[x];
        const std::uint32_t* weightsEnd = columns.weights.data() + columns.starts[x + 1];
#if defined(__SSE2__)
        __m128i sum = _mm_setzero_si128();
        for (; weightsEnd - weight >= 2; weight += 2, word += 2) {
            sum = AddWeightedPair(sum, word, weight);
        }
        if (weight != weightsEnd) {
            sum = AddWeighted(sum, *word, *weight);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * x), sum);
#else
        std::uint32_t b = 0, g = 0, r = 0;
        for (; weight != weightsEnd; ++weight, ++word) {
            b += (*word & 0xFFu) * *weight;
            g += ((*word >> 8) & 0xFFu) * *weight;
            r += ((*word >> 16) & 0xFFu) * *weight;
        }
        out[4 * x] = b;
        out[4 * x + 1] = g;
        out[4 * x + 2] = r;
        out[4 * x + 3] = 0;
#endif
    }
}

// sums[c] += in[c] x weight over a row of lanes.
template <class Sum>
void AddWeightedRow(Sum* sums, const std::uint32_t* in, std::size_t count, std::uint32_t weight) {
    for (std::size_t c = 0; c < count; ++c) {
        sums[c] += static_cast<Sum>(in[c]) * weight;
    }
}

#if defined(__SSE2__)
// The same in 32-bit lanes, four at a time (count is a multiple of four). SSE2 has no
// 32-bit multiply, so the even and the odd lanes go through the 64-bit one.
template <>
void AddWeightedRow(std::uint32_t* sums, const std::uint32_t* in, std::size_t count, std::uint32_t weight) {
    const __m128i w = _mm_set1_epi32(static_cast<int>(weight));
    for (std::size_t c = 0; c < count; c += 4) {
        const __m128i lanes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + c));
        const __m128i even = _mm_shuffle_epi32(_mm_mul_epu32(lanes, w), _MM_SHUFFLE(3, 1, 2, 0));
        const __m128i odd =
            _mm_shuffle_epi32(_mm_mul_epu32(_mm_srli_epi64(lanes, 32), w), _MM_SHUFFLE(3, 1, 2, 0));
        auto* total = reinterpret_cast<__m128i*>(sums + c);
        _mm_storeu_si128(total, _mm_add_epi32(_mm_loadu_si128(total), _mm_unpacklo_epi32(even, odd)));
    }
}
#endif

// Both passes, then each channel's rounded mean. `Sum` holds a column's weighted sum:
// 32 bits when 255 x the area fits, else 64.
template <class Sum>
void ScaleSmoothWith(const Picture& source, const AxisSpans& columns, const AxisSpans& rows,
                     Picture& result) {
    const std::size_t lanesPerRow = static_cast<std::size_t>(result.width) * 4;
    // The horizontal sums of the last two source rows, in slots by the row's parity:
    // the next destination row starts at the last source row of this one or after it.
    std::vector<std::uint32_t> horizontal(2 * lanesPerRow);
    int slotRow[2] = {-1, -1};
    const auto horizontalRow = [&](int row) {
        std::uint32_t* slot = &horizontal[static_cast<std::size_t>(row & 1) * lanesPerRow];
        if (slotRow[row & 1] != row) {
            HorizontalRow(
                &source.pixels[static_cast<std::size_t>(row) * static_cast<std::size_t>(source.width)],
                columns, slot);
            slotRow[row & 1] = row;
        }
        return slot;
    };
    std::vector<Sum> sums(lanesPerRow);
    // floor((2 sum + area) / (2 area)) = floor(n / area) with n = sum + floor(area / 2):
    // the same for an even area; for an odd one the numerator only gains 1/2, which
    // cannot carry an integer across a multiple of the area. n / area is then taken as
    // (n + 1/2) x (1 / area) in doubles, whose value is at least 1/2 / area away from
    // every integer. n + 1/2 is exact (n < 2^39) and the two roundings move a quotient
    // below 256 by less than 2^-43, inside that margin while the area is below 2^42
    // (it is at most 32767^2).
    const std::uint64_t area = std::uint64_t{columns.total} * rows.total;
    const double reciprocal = 1.0 / static_cast<double>(area);
    const std::uint64_t half = area / 2;
    for (std::size_t y = 0; y < rows.first.size(); ++y) {
        std::fill(sums.begin(), sums.end(), 0);
        for (std::uint32_t k = rows.starts[y]; k < rows.starts[y + 1]; ++k) {
            const std::uint32_t* in = horizontalRow(rows.first[y] + static_cast<int>(k - rows.starts[y]));
            AddWeightedRow(sums.data(), in, lanesPerRow, rows.weights[k]);
        }
        BufferWord* out = &result.pixels[y * static_cast<std::size_t>(result.width)];
        for (std::size_t x = 0; x < static_cast<std::size_t>(result.width); ++x) {
            const auto channel = [&](std::size_t c) {
                const auto n = static_cast<double>(static_cast<std::uint64_t>(sums[4 * x + c]) + half);
                return static_cast<std::uint32_t>((n + 0.5) * reciprocal);
            };
            out[x] = channel(0) | (channel(1) << 8) | (channel(2) << 16);
        }
    }
}

Picture ScaleSmooth(const Picture& source, int width, int height) {
    Picture result{width, height, std::vector<BufferWord>(static_cast<std::size_t>(width) * height)};
    if (ReduceByWholeRatio(source, result)) {
        return result;
    }
    const AxisSpans columns = AreaSpans(source.width, width);
    const AxisSpans rows = AreaSpans(source.height, height);
    if (255 * std::uint64_t{columns.total} * rows.total <= UINT32_MAX) {
        ScaleSmoothWith<std::uint32_t>(source, columns, rows, result);
    } else {
        ScaleSmoothWith<std::uint64_t>(source, columns, rows, result);
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
