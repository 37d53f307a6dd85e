// Matching a colour to the nearest palette entry under the program's weighted distance,
// in the forms the remapping passes need.
#pragma once

#include "imaging/colour.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace remap_detail {

constexpr int kLargestDistance = 268'435'455; // 2^28 - 1, above any real distance

[[gnu::always_inline]] inline int WeightedDistance(int red1, int green1, int blue1, int red2, int green2,
                                                   int blue2) {
    const int meanRed = static_cast<int>(static_cast<unsigned>(red1 + red2) >> 1); // both are 0..255
    const int dr = red1 - red2;
    const int dg = green1 - green2;
    const int db = blue1 - blue2;
    // Both products are never negative, so the shifts are the divisions by 256, rounded down.
    return static_cast<int>(static_cast<unsigned>((512 + meanRed) * dr * dr) >> 8) + 4 * dg * dg +
           static_cast<int>(static_cast<unsigned>((767 - meanRed) * db * db) >> 8);
}

struct Channels {
    int red;
    int green;
    int blue;
};

// Buffer words carry red in bits 16-23 and blue in bits 0-7.
[[gnu::always_inline]] inline Channels ChannelsOfWord(BufferWord word) {
    return {static_cast<int>((word >> 16) & 0xFFu), static_cast<int>((word >> 8) & 0xFFu),
            static_cast<int>(word & 0xFFu)};
}

[[gnu::always_inline]] inline BufferWord WordOf(int red, int green, int blue) {
    return (static_cast<BufferWord>(red) << 16) | (static_cast<BufferWord>(green) << 8) |
           static_cast<BufferWord>(blue);
}

// Index of the nearest entry; on equal distances the earlier one. Written without a
// branch on the comparison: which entry wins is unpredictable.
template <std::size_t Count>
std::size_t NearestEntry(const Channels& c, const Channels* entries, std::size_t count) {
    const std::size_t n = Count == 0 ? count : Count;
    int best = kLargestDistance;
    std::size_t nearest = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const Channels& candidate = entries[i];
        const int distance =
            WeightedDistance(c.red, c.green, c.blue, candidate.red, candidate.green, candidate.blue);
        const bool closer = distance < best;
        best = closer ? distance : best;
        nearest = closer ? i : nearest;
    }
    return nearest;
}

// The nearest entry itself, carried along the comparisons in registers rather than
// looked up by index afterwards: the next pixel waits for it.
template <std::size_t Count>
[[gnu::always_inline]] inline Channels NearestOf(const Channels& c,
                                                 const std::array<Channels, Count>& entries) {
    int best = kLargestDistance;
    Channels nearest = entries[0];
#pragma GCC unroll 8
    for (std::size_t i = 0; i < Count; ++i) {
        const Channels& candidate = entries[i];
        const int distance =
            WeightedDistance(c.red, c.green, c.blue, candidate.red, candidate.green, candidate.blue);
        const bool closer = distance < best;
        best = closer ? distance : best;
        nearest.red = closer ? candidate.red : nearest.red;
        nearest.green = closer ? candidate.green : nearest.green;
        nearest.blue = closer ? candidate.blue : nearest.blue;
    }
    return nearest;
}

// The palette padded to a size the matching loop unrolls for, with copies of its last
// entry, which never win a tie. Empty palettes are handled before this.
std::vector<Channels> PaddedEntries(std::span<const ColourValue> colours, std::size_t size);

// The distance to entry 0 minus that to entry 1, in parts that depend on one channel
// each, except the blue terms, which are products of a red part and a blue part.
class TwoEntryMatch {
  public:
    TwoEntryMatch(const Channels& first, const Channels& second) {
        for (int v = 0; v < 256; ++v) {
            const auto i = static_cast<std::size_t>(v);
            const auto redTerm = [v](int entry) {
                const int mean = (v + entry) / 2;
                return ((512 + mean) * (v - entry) * (v - entry)) / 256;
            };
            const auto square = [v](int entry) { return (v - entry) * (v - entry); };
            redGreen_[0][i] = redTerm(first.red) - redTerm(second.red);
            redGreen_[1][i] = 4 * square(first.green) - 4 * square(second.green);
            blueWeight_[0][i] = 767 - (v + first.red) / 2;
            blueWeight_[1][i] = 767 - (v + second.red) / 2;
            blueSquare_[0][i] = square(first.blue);
            blueSquare_[1][i] = square(second.blue);
        }
    }

    // Entry 1 is strictly nearer when the first of the two is greater than the second;
    // on equal distances entry 0 wins.
    struct Sides {
        int first;
        int second;
    };
    [[gnu::always_inline]] Sides Compare(std::size_t red, std::size_t green, std::size_t blue) const {
        // Both products are never negative, so the shifts are the divisions by 256.
        const auto blueTerm = [&](std::size_t entry) {
            return static_cast<int>(
                static_cast<unsigned>(blueWeight_[entry][red] * blueSquare_[entry][blue]) >> 8);
        };
        return {redGreen_[0][red] + redGreen_[1][green] + blueTerm(0), blueTerm(1)};
    }

  private:
    // Per channel value: the red and the green terms of entry 0 less those of entry 1;
    // per entry, the blue weight by red value and the blue difference squared.
    std::array<std::array<int, 256>, 2> redGreen_{};
    std::array<std::array<int, 256>, 2> blueWeight_{};
    std::array<std::array<int, 256>, 2> blueSquare_{};
};

// Palettes whose entries all lie on corners of the colour cube (every channel 0 or 255),
// as the physical colours do. The distance to a corner is made of a red term and a green
// term that each depend on one channel and one bit of the corner, and a blue term that is
// the product of a weight by red and the blue difference squared: so every key comes from
// a few look-ups, a multiply and adds, and the nearest from a tree of comparisons, all in
// general registers, where each step takes one cycle.
//
// Corner numbers carry blue in bit 0, green in bit 1 and red in bit 2. A corner's key is
// 64 x distance + 8 x rank + corner, where the rank orders the corners by the first entry
// that lies on them, so that the smallest key names the nearest entry and, of equals, the
// earliest; its lowest three bits are the corner. Corners no entry lies on are beyond
// every real key.
namespace corners {

constexpr unsigned kBlueBit = 1;
constexpr unsigned kGreenBit = 2;
constexpr unsigned kRedBit = 4;
constexpr int kAbsent = 1 << 30; // beyond 64 x any distance (under 2^20), below 2^31 with it

// True when every entry is a corner.
bool AllCorners(std::span<const Channels> entries);

// The tags (8 x rank + corner, or kAbsent) of the eight corners.
std::array<int, 8> CornerTags(std::span<const Channels> entries);

// The terms for channel value v and the corner's channel at 0 (bit 0) or 255 (bit 1).
struct Terms {
    int red;             // 64 x the red term
    unsigned blueWeight; // the blue weight, by red
    int green;           // 64 x the green term
    unsigned blueSquare; // the blue difference squared
};
Terms TermsOf(int v, std::size_t bit);

// Which is smaller is unpredictable, and the compiler might branch on it.
[[gnu::always_inline]] inline int Smaller(int first, int second) {
#if defined(__x86_64__) || defined(__i386__)
    asm("cmpl %[second], %[first]\n\t"
        "cmovg %[second], %[first]"
        : [first] "+r"(first)
        : [second] "r"(second)
        : "cc");
    return first;
#else
    return second < first ? second : first;
#endif
}

// The blue term of a key, rounded down as the distance has it, times 64.
[[gnu::always_inline]] inline int BlueKey(unsigned weight, unsigned square) {
    return static_cast<int>(((weight * square) >> 8) << 6);
}

} // namespace corners

// All eight corners at once: there are only four blue products, and two red and two
// green terms, to share among them.
class CornerMatch {
  public:
    explicit CornerMatch(std::span<const Channels> entries); // every entry a corner

    // The smallest key.
    [[gnu::always_inline]] unsigned Nearest(std::size_t red, std::size_t green, std::size_t blue) const {
        using corners::Smaller;
        const auto& r = red_[red];
        const auto& g = green_[green];
        const auto& b = blueSquare_[blue];
        // The corners with red at 0 come first, then those with red at 255, so that
        // fewer values are held at once.
        const auto half = [&](std::size_t redBit) {
            const int blue0 = corners::BlueKey(r.blueWeight[redBit], b[0]);
            const int blue1 = corners::BlueKey(r.blueWeight[redBit], b[1]);
            const int green0 = r.term[redBit] + g[0];
            const int green1 = r.term[redBit] + g[1];
            const std::size_t corner = 4 * redBit;
            return Smaller(Smaller(green0 + tags_[corner] + blue0, green0 + tags_[corner + 1] + blue1),
                           Smaller(green1 + tags_[corner + 2] + blue0, green1 + tags_[corner + 3] + blue1));
        };
        return static_cast<unsigned>(Smaller(half(0), half(1)));
    }

  private:
    // Per red value, for red 0 and 255.
    struct RedParts {
        std::array<int, 2> term;
        std::array<unsigned, 2> blueWeight;
    };
    std::array<RedParts, 256> red_{};
    std::array<std::array<int, 2>, 256> green_{};
    std::array<std::array<unsigned, 2>, 256> blueSquare_{};
    std::array<int, 8> tags_{};
};

// Palettes on all eight corners, as the eight-colour modes' default one is. Moving a
// corner's green channel to the other end changes its distance by the green term alone,
// by at least 1020, and moving its blue channel by the blue term alone, by at least 510
// once rounded down (the blue weight is at least 512): so the nearest corner has green
// and blue at the ends nearer the pixel's own, and only the two corners that differ in
// red are left to compare, with the same green term, which drops out. Those two are never
// equally near (the tests try every colour with the palette in either order), so the
// entries' order plays no part.
class CubeMatch {
  public:
    // True when the entries, all corners, lie on every corner.
    static bool Fits(std::span<const Channels> entries);
    // The entries must fit; in which order they come makes no difference.
    explicit CubeMatch(std::span<const Channels> entries);

    // The keys of the corners with red at 0 and at 255: 256 x the distance less the green
    // term, plus the corner.
    struct Keys {
        int redAt0;
        int redAt255;
    };
    [[gnu::always_inline]] Keys KeysOf(std::size_t red, std::size_t green, std::size_t blue) const {
        const auto& r = red_[red];
        const unsigned square = blueSquare_[blue];
        const int ends =
            static_cast<int>(((green >> 7) * corners::kGreenBit) | ((blue >> 7) * corners::kBlueBit));
        // Both products are never negative; the mask rounds the blue term down.
        return {(r.term[0] + ends) + static_cast<int>((r.blueWeight[0] * square) & ~255u),
                (r.term[1] + ends) + static_cast<int>((r.blueWeight[1] * square) & ~255u)};
    }

  private:
    // Per red value, for red 0 and 255: 256 x the red term plus the red bit, and the
    // blue weight.
    struct RedParts {
        std::array<int, 2> term;
        std::array<unsigned, 2> blueWeight;
    };
    std::array<RedParts, 256> red_{};
    // Per blue value, the difference to the nearer end, squared.
    std::array<unsigned, 256> blueSquare_{};
};

// Palettes on at most four corners, as those of the four-colour modes are: the four keys,
// 256 x distance + tag, come from look-ups, a multiply, a mask that rounds the blue term
// down, and adds, side by side in general registers. Worked out in one vector instead,
// they would wait on the vector look-ups and on the moves back, on the chain from pixel
// to pixel.
class FourCornerMatch {
  public:
    // True when the entries, all corners, lie on at most four of them.
    static bool Fits(std::span<const Channels> entries);
    explicit FourCornerMatch(std::span<const Channels> entries); // the entries must fit

    // The smallest key; its lowest three bits are the corner.
    [[gnu::always_inline]] unsigned Nearest(std::size_t red, std::size_t green, std::size_t blue) const {
        using corners::Smaller;
        const RedParts& r = red_[red];
        const auto& g = green_[green];
        const auto& b = blueSquare_[blue];
        // The products are never negative.
        const auto key = [&](std::size_t slot) {
            return (r.term[slot] + g[slot]) + static_cast<int>((r.blueWeight[slot] * b[slot]) & ~255u);
        };
        return static_cast<unsigned>(Smaller(Smaller(key(0), key(1)), Smaller(key(2), key(3))));
    }

  private:
    // Per red value, for the corner in each of four slots: 256 x the red term plus the
    // corner's tag, and the blue weight.
    struct RedParts {
        std::array<int, 4> term;
        std::array<unsigned, 4> blueWeight;
    };
    std::array<RedParts, 256> red_{};
    // Per green value, 256 x the green term; per blue value, the blue difference squared.
    std::array<std::array<int, 4>, 256> green_{};
    std::array<std::array<unsigned, 4>, 256> blueSquare_{};
};

// ---- Matching against four or eight entries at once ----
//
// Every entry's distance is worked out together, as a key of 8 x distance + entry, so
// that the smallest key names the nearest entry and, of equals, the earliest. Per
// channel value the tables hold each entry's red term (with the entry added) and green
// term, both times 8; the blue term is the product of a weight that depends on red
// and the blue difference squared, divided by 256. The square (up to 65025) is stored
// as two 16-bit halves and the weight twice, so one multiply-add of 16-bit pairs forms
// the exact product.
template <std::size_t Count> struct PaletteKeys {
    static_assert(Count == 4 || Count == 8);
    alignas(32) std::array<std::array<std::int32_t, Count>, 256> red{};
    alignas(32) std::array<std::array<std::int32_t, Count>, 256> green{};
    alignas(32) std::array<std::array<std::uint32_t, Count>, 256> blueWeight{};
    alignas(32) std::array<std::array<std::uint32_t, Count>, 256> blueSquare{};

    explicit PaletteKeys(const Channels* entries) {
        for (int v = 0; v < 256; ++v) {
            const auto value = static_cast<std::size_t>(v);
            for (std::size_t i = 0; i < Count; ++i) {
                const Channels& e = entries[i];
                const int meanRed = (v + e.red) >> 1;
                const int dr = v - e.red;
                const int dg = v - e.green;
                const int db = v - e.blue;
                red[value][i] = 8 * (((512 + meanRed) * dr * dr) >> 8) + static_cast<int>(i);
                green[value][i] = 8 * 4 * dg * dg;
                const auto weight = static_cast<std::uint32_t>(767 - meanRed);
                blueWeight[value][i] = weight | (weight << 16);
                const auto square = static_cast<std::uint32_t>(db * db);
                const std::uint32_t low = square < 32767u ? square : 32767u;
                blueSquare[value][i] = low | ((square - low) << 16);
            }
        }
    }

    // The key of the nearest entry, by plain code.
    [[gnu::always_inline]] std::size_t NearestPortable(unsigned r, unsigned g, unsigned b) const {
        std::int32_t best = red[r][0] + green[g][0] + BlueKey(r, b, 0);
        for (std::size_t i = 1; i < Count; ++i) {
            const std::int32_t key = red[r][i] + green[g][i] + BlueKey(r, b, i);
            best = key < best ? key : best;
        }
        return static_cast<std::size_t>(best) & 7u;
    }

  private:
    std::int32_t BlueKey(unsigned r, unsigned b, std::size_t i) const {
        const std::uint32_t weight = blueWeight[r][i] & 0xFFFFu;
        const std::uint32_t square = (blueSquare[b][i] & 0xFFFFu) + (blueSquare[b][i] >> 16);
        return static_cast<std::int32_t>(((weight * square) >> 8) << 3);
    }
};

#if defined(__SSE2__)
// The index of the nearest entry, with the instructions every x86-64 processor has.
template <std::size_t Count>
[[gnu::always_inline]] inline std::size_t NearestIndexSse2(const PaletteKeys<Count>& keys, unsigned r,
                                                           unsigned g, unsigned b) {
    const auto load = [](const auto* p) { return _mm_load_si128(reinterpret_cast<const __m128i*>(p)); };
    const auto min = [](__m128i x, __m128i y) {
        const __m128i greater = _mm_cmpgt_epi32(x, y);
        return _mm_or_si128(_mm_and_si128(greater, y), _mm_andnot_si128(greater, x));
    };
    const auto half = [&](std::size_t first) {
        const __m128i product =
            _mm_madd_epi16(load(keys.blueWeight[r].data() + first), load(keys.blueSquare[b].data() + first));
        const __m128i blue = _mm_slli_epi32(_mm_srli_epi32(product, 8), 3);
        return _mm_add_epi32(
            _mm_add_epi32(load(keys.red[r].data() + first), load(keys.green[g].data() + first)), blue);
    };
    __m128i key = half(0);
    if constexpr (Count == 8) {
        key = min(key, half(4));
    }
    key = min(key, _mm_shuffle_epi32(key, 0x4E));
    key = min(key, _mm_shuffle_epi32(key, 0xB1));
    return static_cast<std::size_t>(_mm_cvtsi128_si32(key)) & 7u;
}

// The same with AVX2; callable only where the processor has it, from code built for it.
template <std::size_t Count>
[[gnu::target("avx2")]] inline std::size_t NearestIndexAvx2(const PaletteKeys<Count>& keys, unsigned r,
                                                            unsigned g, unsigned b) {
    // No lambdas here: they would not be built for AVX2.
    __m128i key;
    if constexpr (Count == 8) {
        const __m256i product =
            _mm256_madd_epi16(_mm256_load_si256(reinterpret_cast<const __m256i*>(keys.blueWeight[r].data())),
                              _mm256_load_si256(reinterpret_cast<const __m256i*>(keys.blueSquare[b].data())));
        const __m256i all = _mm256_add_epi32(
            _mm256_add_epi32(_mm256_load_si256(reinterpret_cast<const __m256i*>(keys.red[r].data())),
                             _mm256_load_si256(reinterpret_cast<const __m256i*>(keys.green[g].data()))),
            _mm256_slli_epi32(_mm256_srli_epi32(product, 8), 3));
        key = _mm_min_epi32(_mm256_castsi256_si128(all), _mm256_extracti128_si256(all, 1));
    } else {
        const __m128i product =
            _mm_madd_epi16(_mm_load_si128(reinterpret_cast<const __m128i*>(keys.blueWeight[r].data())),
                           _mm_load_si128(reinterpret_cast<const __m128i*>(keys.blueSquare[b].data())));
        key = _mm_add_epi32(
            _mm_add_epi32(_mm_load_si128(reinterpret_cast<const __m128i*>(keys.red[r].data())),
                          _mm_load_si128(reinterpret_cast<const __m128i*>(keys.green[g].data()))),
            _mm_slli_epi32(_mm_srli_epi32(product, 8), 3));
    }
    key = _mm_min_epi32(key, _mm_shuffle_epi32(key, 0x4E));
    key = _mm_min_epi32(key, _mm_shuffle_epi32(key, 0xB1));
    return static_cast<std::size_t>(_mm_cvtsi128_si32(key)) & 7u;
}
#endif

} // namespace remap_detail
