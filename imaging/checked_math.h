// Size arithmetic for values that come from files: every product and sum is checked,
// so a header that lies about its sizes cannot wrap a size_t around.
#pragma once

#include <cstddef>
#include <optional>

inline std::optional<std::size_t> CheckedMul(std::size_t a, std::size_t b) {
    std::size_t result = 0;
    if (__builtin_mul_overflow(a, b, &result)) {
        return std::nullopt;
    }
    return result;
}
