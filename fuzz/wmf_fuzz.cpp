// Fuzz target for the WMF reader (libwmf), in this process as the metafile helper runs
// it: the natural size, then a render when the size passes.
#include "platform/metafile_reader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> file(data, size);
    const ReaderCheck check = MeasureWmfHere(file);
    // Within the program's limits, but small enough that the fuzzer's time goes to parsing.
    if (check.accepted && IsAcceptablePictureSize(check.width, check.height) &&
        check.width * check.height <= 4'000'000) {
        RenderWmfHere(file, static_cast<int>(check.width), static_cast<int>(check.height));
    }
    return 0;
}
