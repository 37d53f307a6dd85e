// Screen dumps decoded in every mode, and with the first byte choosing a width that is
// not a mode's, so odd geometries meet the decoder too.
#include "screen/dump_reader.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size < kMaxDumpBytes ? size : kMaxDumpBytes);
    for (const auto& [width, bits] : {std::pair{640, 1}, std::pair{320, 2}, std::pair{160, 4},
                                      std::pair{320, 1}, std::pair{160, 2}, std::pair{80, 4}}) {
        (void)DecodeScreenBytes(bytes, width, bits);
    }
    if (size > 1) {
        const int width = 8 * (1 + data[0] % 16);
        (void)DecodeScreenBytes(bytes.subspan(1), width, 1 << (data[0] % 3));
    }
    return 0;
}
