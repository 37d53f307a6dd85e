// Matching a buffer word held in a register against four or eight palette entries,
// worked out with AVX2 arithmetic rather than table look-ups. The remapping passes
// carry each pixel's word to the next in a register; matching it there keeps the
// move to a general register and the table loads off the chain from pixel to pixel.
// As with PaletteKeys, each entry's key is its distance scaled up with the entry's
// number added, so that the smallest names the nearest entry and, of equals, the
// earliest.
#pragma once

#include "pipeline/colour_matching.h"

#include <array>
#include <cstddef>

#if defined(__SSE2__)
#include <immintrin.h>

namespace remap_detail {

// The entries in order, with what the distance needs of them: each channel,
// 1024 + red and 1535 - red (so that 512 + mean red and 767 - mean red are each one
// add and one shift), and the entry's number.
template <std::size_t Count> struct EntryLanes {
    static_assert(Count == 4 || Count == 8);
    std::array<std::int32_t, Count> red{};
    std::array<std::int32_t, Count> green{};
    std::array<std::int32_t, Count> blue{};
    std::array<std::int32_t, Count> redWeight{};
    std::array<std::int32_t, Count> blueWeight{};
    std::array<std::int32_t, Count> number{};

    explicit EntryLanes(const Channels* entries) {
        for (std::size_t i = 0; i < Count; ++i) {
            const Channels& e = entries[i];
            red[i] = e.red;
            green[i] = e.green;
            blue[i] = e.blue;
            redWeight[i] = 1024 + e.red;
            blueWeight[i] = 1535 - e.red;
            number[i] = static_cast<std::int32_t>(i);
        }
    }
};

// The entries as registers, loaded once per row, and words split into their
// channels, one word to a lane: four to an SSE register, eight to an AVX2 one.
struct FourEntries {
    __m128i red;
    __m128i green;
    __m128i blue;
    __m128i redWeight;
    __m128i blueWeight;
    __m128i number;
};
struct EightEntries {
    __m256i red;
    __m256i green;
    __m256i blue;
    __m256i redWeight;
    __m256i blueWeight;
    __m256i number;
};
struct FourWords {
    __m128i red;
    __m128i green;
    __m128i blue;
};
struct EightWords {
    __m256i red;
    __m256i green;
    __m256i blue;
};

[[gnu::target("avx2"), gnu::always_inline]] inline FourEntries FourOf(const EntryLanes<4>& lanes) {
    return {_mm_loadu_si128(reinterpret_cast<const __m128i*>(lanes.red.data())),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(lanes.green.data())),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(lanes.blue.data())),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(lanes.redWeight.data())),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(lanes.blueWeight.data())),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(lanes.number.data()))};
}

[[gnu::target("avx2"), gnu::always_inline]] inline EightEntries EightOf(const EntryLanes<8>& lanes) {
    return {_mm256_loadu_si256(reinterpret_cast<const __m256i*>(lanes.red.data())),
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lanes.green.data())),
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lanes.blue.data())),
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lanes.redWeight.data())),
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lanes.blueWeight.data())),
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lanes.number.data()))};
}

[[gnu::target("avx2"), gnu::always_inline]] inline FourWords SplitFour(__m128i words) {
    return {
        _mm_shuffle_epi8(words, _mm_setr_epi8(2, -1, -1, -1, 6, -1, -1, -1, 10, -1, -1, -1, 14, -1, -1, -1)),
        _mm_shuffle_epi8(words, _mm_setr_epi8(1, -1, -1, -1, 5, -1, -1, -1, 9, -1, -1, -1, 13, -1, -1, -1)),
        _mm_and_si128(words, _mm_set1_epi32(0xFF))};
}

[[gnu::target("avx2"), gnu::always_inline]] inline EightWords SplitEight(__m256i words) {
    const __m256i red = _mm256_setr_epi8(2, -1, -1, -1, 6, -1, -1, -1, 10, -1, -1, -1, 14, -1, -1, -1, 2, -1,
                                         -1, -1, 6, -1, -1, -1, 10, -1, -1, -1, 14, -1, -1, -1);
    const __m256i green = _mm256_setr_epi8(1, -1, -1, -1, 5, -1, -1, -1, 9, -1, -1, -1, 13, -1, -1, -1, 1, -1,
                                           -1, -1, 5, -1, -1, -1, 9, -1, -1, -1, 13, -1, -1, -1);
    return {_mm256_shuffle_epi8(words, red), _mm256_shuffle_epi8(words, green),
            _mm256_and_si256(words, _mm256_set1_epi32(0xFF))};
}

// Each entry's key, here 256 x distance + entry, for channels that are each in every
// lane. The products of the weights and the squares stay below 2^26; with their
// lowest eight bits cleared they are the red and blue terms, rounded down as
// WeightedDistance has them, times 256.
[[gnu::target("avx2"), gnu::always_inline]] inline __m128i KeysOf(const FourWords& c, const FourEntries& e) {
    const __m128i dr = _mm_sub_epi32(c.red, e.red);
    const __m128i dg = _mm_sub_epi32(c.green, e.green);
    const __m128i db = _mm_sub_epi32(c.blue, e.blue);
    const __m128i redWeight = _mm_srli_epi32(_mm_add_epi32(c.red, e.redWeight), 1);
    const __m128i blueWeight = _mm_srli_epi32(_mm_sub_epi32(e.blueWeight, c.red), 1);
    const __m128i whole = _mm_set1_epi32(~0xFF);
    const __m128i redTerm = _mm_and_si128(_mm_mullo_epi32(redWeight, _mm_mullo_epi32(dr, dr)), whole);
    const __m128i blueTerm = _mm_and_si128(_mm_mullo_epi32(blueWeight, _mm_mullo_epi32(db, db)), whole);
    const __m128i greenTerm = _mm_add_epi32(_mm_slli_epi32(_mm_mullo_epi32(dg, dg), 10), e.number);
    return _mm_add_epi32(_mm_add_epi32(redTerm, blueTerm), greenTerm);
}

[[gnu::target("avx2"), gnu::always_inline]] inline __m256i KeysOf(const EightWords& c,
                                                                  const EightEntries& e) {
    const __m256i dr = _mm256_sub_epi32(c.red, e.red);
    const __m256i dg = _mm256_sub_epi32(c.green, e.green);
    const __m256i db = _mm256_sub_epi32(c.blue, e.blue);
    const __m256i redWeight = _mm256_srli_epi32(_mm256_add_epi32(c.red, e.redWeight), 1);
    const __m256i blueWeight = _mm256_srli_epi32(_mm256_sub_epi32(e.blueWeight, c.red), 1);
    const __m256i whole = _mm256_set1_epi32(~0xFF);
    const __m256i redTerm =
        _mm256_and_si256(_mm256_mullo_epi32(redWeight, _mm256_mullo_epi32(dr, dr)), whole);
    const __m256i blueTerm =
        _mm256_and_si256(_mm256_mullo_epi32(blueWeight, _mm256_mullo_epi32(db, db)), whole);
    const __m256i greenTerm = _mm256_add_epi32(_mm256_slli_epi32(_mm256_mullo_epi32(dg, dg), 10), e.number);
    return _mm256_add_epi32(_mm256_add_epi32(redTerm, blueTerm), greenTerm);
}

// The smallest of the keys, in every lane.
[[gnu::target("avx2"), gnu::always_inline]] inline __m128i SmallestKey(__m128i key) {
    key = _mm_min_epi32(key, _mm_shuffle_epi32(key, 0x4E));
    return _mm_min_epi32(key, _mm_shuffle_epi32(key, 0xB1));
}

[[gnu::target("avx2"), gnu::always_inline]] inline __m256i SmallestKey(__m256i key) {
    key = _mm256_min_epi32(key, _mm256_shuffle_epi32(key, 0x4E));
    key = _mm256_min_epi32(key, _mm256_shuffle_epi32(key, 0xB1));
    return _mm256_min_epi32(key, _mm256_permute4x64_epi64(key, 0x4E));
}

// Of one value per entry, the one the key in every lane of `key` names, in every lane.
[[gnu::target("avx2"), gnu::always_inline]] inline __m128i PickByKey(__m128i values, __m128i key) {
    return _mm_castps_si128(_mm_permutevar_ps(_mm_castsi128_ps(values), key));
}

[[gnu::target("avx2"), gnu::always_inline]] inline __m256i PickByKey(__m256i values, __m256i key) {
    return _mm256_permutevar8x32_epi32(values, key);
}

} // namespace remap_detail
#endif
