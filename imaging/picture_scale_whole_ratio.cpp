// Whole-ratio smooth reduction: plain sums of the box's pixels in 16-bit lanes, then one
// multiply per lane for the rounded mean.
#include "imaging/picture_scale_whole_ratio.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// floor(n / divisor) for every 0 <= n <= largest as the high half of n x multiplier,
// shifted right by `shift`. With k = 16 + shift, multiplier = ceil(2^k / divisor) and
// excess = multiplier x divisor - 2^k (0 <= excess < divisor):
//     n x multiplier / 2^k = n / divisor + n x excess / (divisor 2^k).
// Writing n = q divisor + r with r <= divisor - 1, the floor stays q while
// r + n x excess / 2^k < divisor, which n x excess < 2^k guarantees.
struct Divider {
    std::uint16_t multiplier = 0;
    int shift = 0;
};

std::optional<Divider> FindDivider(std::uint32_t divisor, std::uint32_t largest) {
    for (int k = 16; k < 32; ++k) {
        const std::uint64_t power = std::uint64_t{1} << k;
        const std::uint64_t multiplier = (power + divisor - 1) / divisor;
        if (multiplier > 0xFFFF) {
            return std::nullopt; // only grows with k
        }
        if (largest * (multiplier * divisor - power) < power) {
            return Divider{static_cast<std::uint16_t>(multiplier), k - 16};
        }
    }
    return std::nullopt;
}

#if defined(__SSE2__)
// Adds each byte of `count` words to its 16-bit lane of `sums` (four lanes a word).
void AddRow(const BufferWord* row, std::size_t count, std::uint16_t* sums) {
    const __m128i zero = _mm_setzero_si128();
    std::size_t x = 0;
    for (; x + 4 <= count; x += 4) {
        const __m128i words = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x));
        auto* low = reinterpret_cast<__m128i*>(sums + 4 * x);
        auto* high = reinterpret_cast<__m128i*>(sums + 4 * x + 8);
        _mm_storeu_si128(low, _mm_add_epi16(_mm_loadu_si128(low), _mm_unpacklo_epi8(words, zero)));
        _mm_storeu_si128(high, _mm_add_epi16(_mm_loadu_si128(high), _mm_unpackhi_epi8(words, zero)));
    }
    for (; x < count; ++x) {
        auto* lanes = reinterpret_cast<__m128i*>(sums + 4 * x);
        const __m128i word = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(row[x])), zero);
        _mm_storel_epi64(lanes, _mm_add_epi16(_mm_loadl_epi64(lanes), word));
    }
}
#endif

} // namespace

bool ReduceByWholeRatio(const Picture& source, Picture& result) {
#if defined(__SSE2__)
    if (source.width % result.width != 0 || source.height % result.height != 0) {
        return false;
    }
    const int boxWidth = source.width / result.width;
    const int boxHeight = source.height / result.height;
    const std::uint64_t area =
        std::uint64_t{static_cast<std::uint32_t>(boxWidth)} * static_cast<std::uint32_t>(boxHeight);
    // A box's channel sum plus half the area must fit a 16-bit lane.
    const std::uint64_t largest = 255 * area + area / 2;
    if (largest > 0xFFFF) {
        return false;
    }
    // floor((2 sum + area) / (2 area)) = floor((sum + floor(area / 2)) / area): the same
    // for an even area; for an odd one the numerator only gains 1/2, which cannot carry
    // an integer across a multiple of the area.
    const std::optional<Divider> divider =
        FindDivider(static_cast<std::uint32_t>(area), static_cast<std::uint32_t>(largest));
    if (!divider) {
        return false;
    }
    const __m128i half = _mm_set1_epi16(static_cast<short>(area / 2));
    const __m128i multiplier = _mm_set1_epi16(static_cast<short>(divider->multiplier));
    const __m128i shift = _mm_cvtsi32_si128(divider->shift);
    const __m128i colourBytes = _mm_set1_epi32(0x00FFFFFF);
    // Two pixels' box sums (four lanes each) to their rounded means, the spare byte cleared.
    const auto means = [&](__m128i sums) {
        const __m128i quotients =
            _mm_srl_epi16(_mm_mulhi_epu16(_mm_add_epi16(sums, half), multiplier), shift);
        return _mm_and_si128(_mm_packus_epi16(quotients, quotients), colourBytes);
    };

    const auto sourceWidth = static_cast<std::size_t>(source.width);
    const auto lanesPerBox = 4 * static_cast<std::size_t>(boxWidth);
    std::vector<std::uint16_t> columnSums(4 * sourceWidth);
    for (int y = 0; y < result.height; ++y) {
        std::fill(columnSums.begin(), columnSums.end(), std::uint16_t{0});
        for (int k = 0; k < boxHeight; ++k) {
            const std::size_t row = static_cast<std::size_t>(y) * static_cast<std::size_t>(boxHeight) +
                                    static_cast<std::size_t>(k);
            AddRow(&source.pixels[row * sourceWidth], sourceWidth, columnSums.data());
        }
        const auto boxSum = [&](int x) {
            const std::uint16_t* lanes = columnSums.data() + static_cast<std::size_t>(x) * lanesPerBox;
            __m128i sum = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(lanes));
            for (std::size_t k = 4; k < lanesPerBox; k += 4) {
                sum = _mm_add_epi16(sum, _mm_loadl_epi64(reinterpret_cast<const __m128i*>(lanes + k)));
            }
            return sum;
        };
        BufferWord* out =
            &result.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(result.width)];
        int x = 0;
        for (; x + 2 <= result.width; x += 2) {
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x),
                             means(_mm_unpacklo_epi64(boxSum(x), boxSum(x + 1))));
        }
        if (x < result.width) {
            out[x] = static_cast<BufferWord>(_mm_cvtsi128_si32(means(boxSum(x))));
        }
    }
    return true;
#else
    (void)source;
    (void)result;
    return false;
#endif
}
