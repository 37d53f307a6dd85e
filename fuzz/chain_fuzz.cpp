// Fuzz target for the whole reader chain as Open meets a file: every registered reader's
// check, then the decode of the first that accepts. The metafile helper is not beside
// the fuzz targets, so metafiles are declined here; their own targets play them.
#include "imaging/picture_reader.h"
#include "pipeline/picture_readers.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool registered = [] {
        RegisterPictureReaders();
        return true;
    }();
    (void)registered;
    DecodePictureBytes(std::span<const std::uint8_t>(data, size), "fuzz");
    return 0;
}
