// The kinds of palette the chained pass takes, and the branch-free picks its loop makes
// between the two outcomes of a match.
#pragma once

#include "pipeline/colour_matching.h"

#include <cstddef>
#include <type_traits>

namespace remap_detail {

// Replaces the three channels with the others when `first` is greater than `second`.
// Which entry is nearer is unpredictable, and the compiler would branch on it.
[[gnu::always_inline]] inline void PickWhenGreater(int first, int second, std::size_t& blue,
                                                   std::size_t& green, std::size_t& red,
                                                   std::size_t otherBlue, std::size_t otherGreen,
                                                   std::size_t otherRed) {
#if defined(__x86_64__) || defined(__i386__)
    asm("cmpl %[second], %[first]\n\t"
        "cmovg %[otherBlue], %[blue]\n\t"
        "cmovg %[otherGreen], %[green]\n\t"
        "cmovg %[otherRed], %[red]"
        : [blue] "+r"(blue), [green] "+r"(green), [red] "+r"(red)
        : [first] "r"(first), [second] "r"(second), [otherBlue] "r"(otherBlue), [otherGreen] "r"(otherGreen),
          [otherRed] "r"(otherRed)
        : "cc");
#else
    const std::size_t mask = 0u - static_cast<std::size_t>(first > second);
    blue ^= (blue ^ otherBlue) & mask;
    green ^= (green ^ otherGreen) & mask;
    red ^= (red ^ otherRed) & mask;
#endif
}

// Replaces `value` with `other` when `key` has any of the bits of `bit`; without a branch,
// as above.
[[gnu::always_inline]] inline void PickWhenSet(unsigned key, unsigned bit, std::size_t& value,
                                               std::size_t other) {
#if defined(__x86_64__) || defined(__i386__)
    asm("testl %[bit], %[key]\n\t"
        "cmovnz %[other], %[value]"
        : [value] "+r"(value)
        : [key] "r"(key), [bit] "ri"(bit), [other] "r"(other)
        : "cc");
#else
    const std::size_t mask = 0u - static_cast<std::size_t>((key & bit) != 0);
    value ^= (value ^ other) & mask;
#endif
}

// The kinds of palette the pass takes. Each names its match, what it gives for a
// pixel, which entry that is, and how it picks the next pixel's channels from their
// values for the two outcomes the shares were worked out for.
struct TwoEntries {
    using Match = TwoEntryMatch;
    static constexpr std::size_t kEntries = 2;
    static constexpr bool kHoldsChannels = false;
    static constexpr bool kRedAlonePicked = false;
    [[gnu::always_inline]] static TwoEntryMatch::Sides Nearest(const Match& match, std::size_t red,
                                                               std::size_t green, std::size_t blue) {
        return match.Compare(red, green, blue);
    }
    [[gnu::always_inline]] static std::size_t EntryOf(TwoEntryMatch::Sides sides) {
        return static_cast<std::size_t>(sides.first > sides.second);
    }
    // The outcomes are entry 0 and entry 1.
    [[gnu::always_inline]] static void PickNext(TwoEntryMatch::Sides sides, std::size_t& blue,
                                                std::size_t& green, std::size_t& red, std::size_t otherBlue,
                                                std::size_t otherGreen, std::size_t otherRed) {
        PickWhenGreater(sides.first, sides.second, blue, green, red, otherBlue, otherGreen, otherRed);
    }
};

template <class CornerMatching> struct Corners {
    using Match = CornerMatching;
    static constexpr std::size_t kEntries = 8; // by corner
    // Only the match of five to seven corners needs so many registers that the channels
    // wait in memory.
    static constexpr bool kHoldsChannels = std::is_same_v<CornerMatching, CornerMatch>;
    static constexpr bool kRedAlonePicked = false;
    [[gnu::always_inline]] static unsigned Nearest(const Match& match, std::size_t red, std::size_t green,
                                                   std::size_t blue) {
        return match.Nearest(red, green, blue);
    }
    [[gnu::always_inline]] static std::size_t EntryOf(unsigned key) { return key & 7u; }
    // The outcomes are, per channel, the corner's channel at 0 and at 255.
    [[gnu::always_inline]] static void PickNext(unsigned key, std::size_t& blue, std::size_t& green,
                                                std::size_t& red, std::size_t otherBlue,
                                                std::size_t otherGreen, std::size_t otherRed) {
        PickWhenSet(key, corners::kBlueBit, blue, otherBlue);
        PickWhenSet(key, corners::kGreenBit, green, otherGreen);
        PickWhenSet(key, corners::kRedBit, red, otherRed);
    }
};

// Palettes on every corner. Green and blue ends follow from the pixel alone, so only red
// has two outcomes to pick from, and it picks straight from the comparison of the keys.
struct Cube {
    using Match = CubeMatch;
    static constexpr std::size_t kEntries = 8; // by corner
    static constexpr bool kHoldsChannels = false;
    static constexpr bool kRedAlonePicked = true;
    [[gnu::always_inline]] static CubeMatch::Keys Nearest(const Match& match, std::size_t red,
                                                          std::size_t green, std::size_t blue) {
        return match.KeysOf(red, green, blue);
    }
    [[gnu::always_inline]] static std::size_t EntryOf(CubeMatch::Keys keys) {
        return static_cast<std::size_t>(corners::Smaller(keys.redAt0, keys.redAt255)) & 7u;
    }
    // Replaces `red` with `otherRed`, its value for red at 255, when that corner is nearer.
    [[gnu::always_inline]] static void PickRed(CubeMatch::Keys keys, std::size_t& red, std::size_t otherRed) {
#if defined(__x86_64__) || defined(__i386__)
        asm("cmpl %[redAt255], %[redAt0]\n\t"
            "cmovg %[otherRed], %[red]"
            : [red] "+r"(red)
            : [redAt0] "r"(keys.redAt0), [redAt255] "r"(keys.redAt255), [otherRed] "r"(otherRed)
            : "cc");
#else
        red = keys.redAt0 > keys.redAt255 ? otherRed : red;
#endif
    }
};

} // namespace remap_detail
