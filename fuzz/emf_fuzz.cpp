// Fuzz target for the EMF reader's converter (libemf2svg), run in this process so that
// its faults are seen; the reader itself runs it in the metafile helper and renders the SVG
// with Qt, whose own parser is left to Qt's fuzzing.
#include "platform/metafile_reader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> file(data, size);
    const ReaderCheck check = CheckEmf(file);
    // Within the program's limits, but small enough that the fuzzer's time goes to parsing.
    if (check.accepted && IsAcceptablePictureSize(check.width, check.height) &&
        check.width * check.height <= 4'000'000) {
        ConvertEmfHere(file);
    }
    return 0;
}
