// The TIFF reader for a program without a display. libtiff and the six libraries it
// needs are loaded only when a file begins as a TIFF does: the reader lives in a small
// module beside the program, opened on first use. Without the module TIFF files are
// left to the readers after it.
#include "imaging/tiff/tiff_reader.h"
#include "platform/headless/private_module.h"
#include "platform/tiff_module/tiff_module.h"

#include <cstring>
#include <optional>

namespace {

// Classic and big TIFF, in either byte order.
bool MightBeTiff(std::span<const std::uint8_t> file) {
    static constexpr std::uint8_t kStarts[4][4] = {
        {'I', 'I', 42, 0}, {'M', 'M', 0, 42}, {'I', 'I', 43, 0}, {'M', 'M', 0, 43}};
    for (const auto& start : kStarts) {
        if (file.size() >= 4 && std::memcmp(file.data(), start, 4) == 0) {
            return true;
        }
    }
    return false;
}

// The module's reader, made on first use; nothing when the module is missing or unusable.
const PictureReader* LoadedTiffReader() {
    static const std::optional<PictureReader> reader = []() -> std::optional<PictureReader> {
        const auto entry = reinterpret_cast<TiffModuleEntry>(PrivateModuleEntry(
            kTiffModuleFile, kTiffModuleEntryName, kTiffModuleBuildName, kTiffModuleBuildMark));
        if (entry == nullptr) {
            return std::nullopt;
        }
        PictureReader loaded;
        entry(&loaded);
        return loaded;
    }();
    return reader ? &*reader : nullptr;
}

} // namespace

PictureReader TiffPictureReader() {
    return {"TIFF",
            [](std::span<const std::uint8_t> file, std::string_view path) {
                const PictureReader* reader = MightBeTiff(file) ? LoadedTiffReader() : nullptr;
                return reader != nullptr ? reader->check(file, path) : ReaderCheck{};
            },
            [](std::span<const std::uint8_t> file, std::string_view path) {
                const PictureReader* reader = MightBeTiff(file) ? LoadedTiffReader() : nullptr;
                return reader != nullptr ? reader->decode(file, path) : std::optional<Picture>{};
            }};
}
