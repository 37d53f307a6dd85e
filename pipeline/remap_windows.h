// Adding one window of error shares to the words it covers, in plain integer code or
// with saturating byte arithmetic; the sliding form keeps a window in a register.
#pragma once

#include "imaging/colour.h"
#include "pipeline/remap_shares.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace remap_detail {

// Adds one window of shares, given per channel as `Width` bytes to add then `Width` to
// take away, to the `Width` words at `target`. Plain integer code.
template <int Width>
[[gnu::always_inline]] inline void ApplyWindowPortable(BufferWord* target, const std::uint8_t* blue,
                                                       const std::uint8_t* green, const std::uint8_t* red) {
    const auto clamped = [](unsigned channel, std::uint8_t add, std::uint8_t subtract) {
        const int sum = static_cast<int>(channel) + add - subtract;
        return static_cast<BufferWord>(sum < 0 ? 0 : (sum > 255 ? 255 : sum));
    };
    for (int j = 0; j < Width; ++j) {
        const BufferWord word = target[j];
        target[j] = (clamped((word >> 16) & 0xFFu, red[j], red[Width + j]) << 16) |
                    (clamped((word >> 8) & 0xFFu, green[j], green[Width + j]) << 8) |
                    clamped(word & 0xFFu, blue[j], blue[Width + j]) | (word & 0xFF000000u);
    }
}

#if defined(__SSE2__)
// One window's shares for one error: what to add to and take away from its first four
// words, then from the next four. The bytes of the three channels are interleaved into
// buffer-word order (blue, green, red, 0).
struct VectorShares {
    __m128i addLow;
    __m128i subtractLow;
    __m128i addHigh;
    __m128i subtractHigh;
};

template <int Width>
[[gnu::always_inline]] inline VectorShares SharesOf(const std::uint8_t* blue, const std::uint8_t* green,
                                                    const std::uint8_t* red) {
    const __m128i zero = _mm_setzero_si128();
    if constexpr (Width == 4) {
        const __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(blue));
        const __m128i g = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(green));
        const __m128i r = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(red));
        const __m128i blueGreen = _mm_unpacklo_epi8(b, g);
        const __m128i redZero = _mm_unpacklo_epi8(r, zero);
        return {_mm_unpacklo_epi16(blueGreen, redZero), _mm_unpackhi_epi16(blueGreen, redZero), zero, zero};
    } else {
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(blue));
        const __m128i g = _mm_loadu_si128(reinterpret_cast<const __m128i*>(green));
        const __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(red));
        const __m128i blueGreenAdd = _mm_unpacklo_epi8(b, g);
        const __m128i redAdd = _mm_unpacklo_epi8(r, zero);
        const __m128i blueGreenSubtract = _mm_unpackhi_epi8(b, g);
        const __m128i redSubtract = _mm_unpackhi_epi8(r, zero);
        return {_mm_unpacklo_epi16(blueGreenAdd, redAdd), _mm_unpacklo_epi16(blueGreenSubtract, redSubtract),
                _mm_unpackhi_epi16(blueGreenAdd, redAdd), _mm_unpackhi_epi16(blueGreenSubtract, redSubtract)};
    }
}

[[gnu::always_inline]] inline __m128i AddShares(__m128i words, __m128i add, __m128i subtract) {
    return _mm_subs_epu8(_mm_adds_epu8(words, add), subtract);
}

// The same as ApplyWindowPortable with saturating byte arithmetic, four pixels to a register.
template <int Width>
[[gnu::always_inline]] inline void ApplyWindowVector(BufferWord* target, const std::uint8_t* blue,
                                                     const std::uint8_t* green, const std::uint8_t* red) {
    const VectorShares shares = SharesOf<Width>(blue, green, red);
    auto* words = reinterpret_cast<__m128i*>(target);
    _mm_storeu_si128(words, AddShares(_mm_loadu_si128(words), shares.addLow, shares.subtractLow));
    if constexpr (Width == 8) {
        _mm_storeu_si128(words + 1,
                         AddShares(_mm_loadu_si128(words + 1), shares.addHigh, shares.subtractHigh));
    }
}

// A window row of four words held in a register while a row is converted, so that the
// overlapping windows of neighbouring pixels are not stored and loaded again (a load
// that straddles an earlier store waits for it). Lane j holds the word that window
// column j reaches from the current pixel, at start + direction x j, where start moves
// by direction with each pixel; on right-to-left rows the columns are mirrored, so the
// left-to-right tables serve both directions. Where a kernel has wider rows, their
// extra shuffles cost more than the stores save, and the windows stay in memory.
template <std::ptrdiff_t Direction>
[[gnu::always_inline]] inline __m128i LoadWindow(const BufferWord* start) {
    return _mm_setr_epi32(static_cast<int>(start[0]), static_cast<int>(start[Direction]),
                          static_cast<int>(start[2 * Direction]), static_cast<int>(start[3 * Direction]));
}

template <std::ptrdiff_t Direction>
[[gnu::always_inline]] inline void StoreWindow(__m128i window, BufferWord* start) {
    alignas(16) std::array<BufferWord, 4> lanes{};
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes.data()), window);
    for (std::size_t j = 0; j < lanes.size(); ++j) {
        start[Direction * static_cast<std::ptrdiff_t>(j)] = lanes[j];
    }
}

// Adds one pixel's shares, stores lane 0, which no later pixel reaches, and moves the
// window on by one word.
template <std::ptrdiff_t Direction>
[[gnu::always_inline]] inline __m128i SlideWindow(__m128i window, BufferWord* start, const std::uint8_t* blue,
                                                  const std::uint8_t* green, const std::uint8_t* red) {
    const VectorShares shares = SharesOf<4>(blue, green, red);
    const __m128i words = AddShares(window, shares.addLow, shares.subtractLow);
    *start = static_cast<BufferWord>(_mm_cvtsi128_si32(words));
    const __m128i entering = _mm_cvtsi32_si128(static_cast<int>(start[Direction * 4]));
    return _mm_or_si128(_mm_srli_si128(words, 4), _mm_slli_si128(entering, 12));
}
constexpr bool kHaveVector = true;
#else
template <int Width>
[[gnu::always_inline]] inline void ApplyWindowVector(BufferWord* target, const std::uint8_t* blue,
                                                     const std::uint8_t* green, const std::uint8_t* red) {
    ApplyWindowPortable<Width>(target, blue, green, red);
}
constexpr bool kHaveVector = false;
#endif

template <int Width, bool Vector>
[[gnu::always_inline]] inline void ApplyWindow(BufferWord* target, const std::uint8_t* blue,
                                               const std::uint8_t* green, const std::uint8_t* red) {
    if constexpr (Vector) {
        ApplyWindowVector<Width>(target, blue, green, red);
    } else {
        ApplyWindowPortable<Width>(target, blue, green, red);
    }
}

// One window row as the inner loop uses it for one direction: where its window starts
// relative to the current pixel, and its table.
struct Lane {
    std::ptrdiff_t offset;
    const std::uint8_t* table;
    bool wide;
};

// The lanes of every window row, for rows scanned left to right and right to left.
struct DirectedLanes {
    std::vector<Lane> forward;
    std::vector<Lane> reversed;
};
inline DirectedLanes LanesOf(const std::vector<WindowRow>& rows, std::size_t stride) {
    DirectedLanes lanes;
    for (const WindowRow& row : rows) {
        const auto down = static_cast<std::ptrdiff_t>(row.dy) * static_cast<std::ptrdiff_t>(stride);
        lanes.forward.push_back({down + row.forwardStart, row.forward.data(), row.width == 8});
        lanes.reversed.push_back({down + row.reversedStart, row.reversed.data(), row.width == 8});
    }
    return lanes;
}

} // namespace remap_detail
