// Targa files through the reader's check and decode. A picture must only come from a file
// the check accepts, and must have the size the check reported. Pictures of more than
// 4 million pixels are only checked: the decode of a huge black picture costs much and
// teaches the fuzzer nothing the small ones do not.
#include "imaging/tga_reader.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> file(data, size);
    const ReaderCheck check = CheckTgaPicture(file);
    constexpr std::int64_t kMaxFuzzedPixels = std::int64_t{1} << 22;
    if (check.accepted && IsAcceptablePictureSize(check.width, check.height) &&
        check.width * check.height > kMaxFuzzedPixels) {
        return 0;
    }
    const std::optional<Picture> picture = ReadTgaPicture(file);
    if (picture && (!check.accepted || picture->width != check.width || picture->height != check.height ||
                    picture->pixels.size() != static_cast<std::size_t>(picture->width) *
                                                  static_cast<std::size_t>(picture->height))) {
        __builtin_trap();
    }
    return 0;
}
