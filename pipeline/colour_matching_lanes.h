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

// The entries four to a register (entries 0-3, then 4-7), with what the distance
// needs of them: each channel, 1024 + red and 1535 - red (so that 512 + mean red and
// 767 - mean red are each one add and one shift), and the entry's number.
template <std::size_t Count> struct EntryLanes {
    static_assert(Count == 4 || Count == 8);
    static constexpr std::size_t kHalves = Count / 4;
    std::array<std::array<std::int32_t, 4>, kHalves> red{};
    std::array<std::array<std::int32_t, 4>, kHalves> green{};
    std::array<std::array<std::int32_t, 4>, kHalves> blue{};
    std::array<std::array<std::int32_t, 4>, kHalves> redWeight{};
    std::array<std::array<std::int32_t, 4>, kHalves> blueWeight{};
    std::array<std::array<std::int32_t, 4>, kHalves> number{};

    explicit EntryLanes(const Channels* entries) {
        for (std::size_t i = 0; i < Count; ++i) {
            const Channels& e = entries[i];
            red[i / 4][i % 4] = e.red;
            green[i / 4][i % 4] = e.green;
            blue[i / 4][i % 4] = e.blue;
            redWeight[i / 4][i % 4] = 1024 + e.red;
            blueWeight[i / 4][i % 4] = 1535 - e.red;
            number[i / 4][i % 4] = static_cast<std::int32_t>(i);
        }
    }
};

// The entries of one half as registers, loaded once per row.
struct EntryHalf {
    __m128i red;
    __m128i green;
    __m128i blue;
    __m128i redWeight;
    __m128i blueWeight;
    __m128i number;
};

template <std::size_t Count>
[[gnu::target("avx2"), gnu::always_inline]] inline EntryHalf HalfOf(const EntryLanes<Count>& lanes,
                                                                    std::size_t half) {
    const auto load = [](const std::array<std::int32_t, 4>& values) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(values.data()));
    };
    return {load(lanes.red[half]),       load(lanes.green[half]),      load(lanes.blue[half]),
            load(lanes.redWeight[half]), load(lanes.blueWeight[half]), load(lanes.number[half])};
}

// The keys of four entries for the channels r, g and b, each in every lane, here as
// 256 x distance + entry. The products of the weights and the squares stay below
// 2^26; with their lowest eight bits cleared they are the red and blue terms, rounded
// down as WeightedDistance has them, times 256.
[[gnu::target("avx2"), gnu::always_inline]] inline __m128i KeysOf(__m128i r, __m128i g, __m128i b,
                                                                  const EntryHalf& e) {
    const __m128i dr = _mm_sub_epi32(r, e.red);
    const __m128i dg = _mm_sub_epi32(g, e.green);
    const __m128i db = _mm_sub_epi32(b, e.blue);
    const __m128i redWeight = _mm_srli_epi32(_mm_add_epi32(r, e.redWeight), 1);
    const __m128i blueWeight = _mm_srli_epi32(_mm_sub_epi32(e.blueWeight, r), 1);
    const __m128i whole = _mm_set1_epi32(~0xFF);
    const __m128i redTerm = _mm_and_si128(_mm_mullo_epi32(redWeight, _mm_mullo_epi32(dr, dr)), whole);
    const __m128i blueTerm = _mm_and_si128(_mm_mullo_epi32(blueWeight, _mm_mullo_epi32(db, db)), whole);
    const __m128i greenTerm = _mm_add_epi32(_mm_slli_epi32(_mm_mullo_epi32(dg, dg), 10), e.number);
    return _mm_add_epi32(_mm_add_epi32(redTerm, blueTerm), greenTerm);
}

// Words split into their channels, one word to a lane.
struct SplitWords {
    __m128i red;
    __m128i green;
    __m128i blue;
};

[[gnu::target("avx2"), gnu::always_inline]] inline SplitWords SplitChannels(__m128i words) {
    return {
        _mm_shuffle_epi8(words, _mm_setr_epi8(2, -1, -1, -1, 6, -1, -1, -1, 10, -1, -1, -1, 14, -1, -1, -1)),
        _mm_shuffle_epi8(words, _mm_setr_epi8(1, -1, -1, -1, 5, -1, -1, -1, 9, -1, -1, -1, 13, -1, -1, -1)),
        _mm_and_si128(words, _mm_set1_epi32(0xFF))};
}

// The smallest key in every lane, for channels that are each in every lane.
template <std::size_t Count>
[[gnu::target("avx2"), gnu::always_inline]] inline __m128i
NearestKeyOf(const SplitWords& channels, const std::array<EntryHalf, Count / 4>& halves) {
    __m128i key = KeysOf(channels.red, channels.green, channels.blue, halves[0]);
    if constexpr (Count == 8) {
        key = _mm_min_epi32(key, KeysOf(channels.red, channels.green, channels.blue, halves[1]));
    }
    key = _mm_min_epi32(key, _mm_shuffle_epi32(key, 0x4E));
    return _mm_min_epi32(key, _mm_shuffle_epi32(key, 0xB1));
}

// Eight entries to an AVX2 register, and eight words split into their channels.
struct EightEntries {
    __m256i red;
    __m256i green;
    __m256i blue;
    __m256i redWeight;
    __m256i blueWeight;
    __m256i number;
};
struct EightSplitWords {
    __m256i red;
    __m256i green;
    __m256i blue;
};

[[gnu::target("avx2"), gnu::always_inline]] inline __m256i
LoadEight(const std::array<std::int32_t, 4>* halves) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(halves->data()));
}

[[gnu::target("avx2"), gnu::always_inline]] inline EightEntries EightOf(const EntryLanes<8>& lanes) {
    return {LoadEight(lanes.red.data()),        LoadEight(lanes.green.data()),
            LoadEight(lanes.blue.data()),       LoadEight(lanes.redWeight.data()),
            LoadEight(lanes.blueWeight.data()), LoadEight(lanes.number.data())};
}

[[gnu::target("avx2"), gnu::always_inline]] inline EightSplitWords SplitEight(__m256i words) {
    const __m256i red = _mm256_setr_epi8(2, -1, -1, -1, 6, -1, -1, -1, 10, -1, -1, -1, 14, -1, -1, -1, 2, -1,
                                         -1, -1, 6, -1, -1, -1, 10, -1, -1, -1, 14, -1, -1, -1);
    const __m256i green = _mm256_setr_epi8(1, -1, -1, -1, 5, -1, -1, -1, 9, -1, -1, -1, 13, -1, -1, -1, 1, -1,
                                           -1, -1, 5, -1, -1, -1, 9, -1, -1, -1, 13, -1, -1, -1);
    return {_mm256_shuffle_epi8(words, red), _mm256_shuffle_epi8(words, green),
            _mm256_and_si256(words, _mm256_set1_epi32(0xFF))};
}

// The keys of eight entries as KeysOf has them, the smallest in every lane.
[[gnu::target("avx2"), gnu::always_inline]] inline __m256i NearestKeyOfEight(const EightSplitWords& c,
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
    __m256i key = _mm256_add_epi32(_mm256_add_epi32(redTerm, blueTerm), greenTerm);
    key = _mm256_min_epi32(key, _mm256_shuffle_epi32(key, 0x4E));
    key = _mm256_min_epi32(key, _mm256_shuffle_epi32(key, 0xB1));
    return _mm256_min_epi32(key, _mm256_permute4x64_epi64(key, 0x4E));
}

// Of one word per entry (entries 0-3 in `low`, 4-7 in `high`), the one `key` names,
// in every lane.
template <std::size_t Count>
[[gnu::target("avx2"), gnu::always_inline]] inline __m128i PickByKey(__m128i low, __m128i high, __m128i key) {
    const __m128 fromLow = _mm_permutevar_ps(_mm_castsi128_ps(low), key);
    if constexpr (Count == 4) {
        return _mm_castps_si128(fromLow);
    } else {
        const __m128 fromHigh = _mm_permutevar_ps(_mm_castsi128_ps(high), key);
        // Entry numbers 4-7 have bit 2 set; moved to the sign bit it picks the high half.
        return _mm_castps_si128(_mm_blendv_ps(fromLow, fromHigh, _mm_castsi128_ps(_mm_slli_epi32(key, 29))));
    }
}

} // namespace remap_detail
#endif
