// Fuzz target for the TIFF reader: header check, then a decode when the size passes.
#include "imaging/tiff/tiff_reader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> file(data, size);
    const ReaderCheck check = CheckTiff(file);
    // Within the program's limits, but small enough that the fuzzer's time goes to parsing.
    if (check.accepted && IsAcceptablePictureSize(check.width, check.height) &&
        check.width * check.height <= 4'000'000) {
        DecodeTiff(file);
    }
    return 0;
}
