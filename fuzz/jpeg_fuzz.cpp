// Fuzz target for the JPEG reader: header check, then a decode when the size passes.
#include "imaging/jpeg_reader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> file(data, size);
    const ReaderCheck check = CheckJpegPicture(file);
    // Within the program's limits, but small enough that the fuzzer's time goes to parsing.
    if (check.accepted && check.width * check.height <= 4'000'000) {
        (void)ReadJpegPicture(file);
    }
    return 0;
}
