// Colour values, buffer words and the program's one rounding rule.
//
// A colour value holds red in bits 0-7, green in bits 8-15 and blue in bits 16-23
// (hex reads blue, green, red). A buffer word holds blue in bits 0-7, green in
// bits 8-15 and red in bits 16-23. Bits 24-31 are zero in both.
#pragma once

#include <cmath>
#include <cstdint>

using ColourValue = std::uint32_t;
using BufferWord = std::uint32_t;

constexpr ColourValue MakeColour(unsigned red, unsigned green, unsigned blue) {
    return (red & 0xFFu) | ((green & 0xFFu) << 8) | ((blue & 0xFFu) << 16);
}
constexpr unsigned RedOf(ColourValue c) {
    return c & 0xFFu;
}
constexpr unsigned GreenOf(ColourValue c) {
    return (c >> 8) & 0xFFu;
}
constexpr unsigned BlueOf(ColourValue c) {
    return (c >> 16) & 0xFFu;
}

// Exchanges bits 0-7 with bits 16-23 and clears bits 24-31; turns a buffer word
// into a colour value and back.
constexpr std::uint32_t SwapRedBlue(std::uint32_t value) {
    return ((value & 0xFFu) << 16) | (value & 0xFF00u) | ((value >> 16) & 0xFFu);
}

// Nearest integer, exact halves to the even neighbour. std::nearbyint follows the
// current rounding mode, which the program never changes from round-to-nearest-even.
inline double RoundHalfEven(double value) {
    return std::nearbyint(value);
}

// channel + amount limited to 0..255; the sum is formed in 64 bits so it cannot overflow.
constexpr int ClampChannel(int channel, int amount) {
    const long long sum = static_cast<long long>(channel) + amount;
    return sum < 0 ? 0 : (sum > 255 ? 255 : static_cast<int>(sum));
}
