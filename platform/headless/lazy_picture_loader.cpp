// The platform's picture loaders for a program without a display. Qt is loaded only
// when a file reaches one of them and the reader must look inside it: the loaders live
// in a small module beside the program, opened on first use. Without the module they
// decline every file.
#include "platform/headless/private_module.h"
#include "platform/metafile_reader.h"
#include "platform/qt_loader_module/qt_loader_module.h"
#include "platform/qt_picture_loader.h"

#include <iterator>
#include <optional>
#include <string>
#include <string_view>

namespace {

// The module's entry point, found once; nothing when the module is missing or unusable.
// The module stays loaded until the program ends: Qt cannot be unloaded safely.
QtLoaderModuleEntry ModuleEntry() {
    static const auto entry = reinterpret_cast<QtLoaderModuleEntry>(PrivateModuleEntry(
        kQtLoaderModuleFile, kQtLoaderModuleEntryName, kQtLoaderModuleBuildName, kQtLoaderBuildMark));
    return entry;
}

// One loader's reader, made by the module on first use.
const PictureReader* LoadedReader(QtLoader loader) {
    static std::optional<PictureReader> readers[std::size(kQtLoaderNames)];
    static bool asked[std::size(kQtLoaderNames)] = {};
    const auto index = static_cast<std::size_t>(loader);
    if (!asked[index]) {
        asked[index] = true;
        if (const QtLoaderModuleEntry entry = ModuleEntry()) {
            PictureReader reader;
            entry(static_cast<int>(loader), &reader);
            readers[index] = std::move(reader);
        }
    }
    return readers[index] ? &*readers[index] : nullptr;
}

// Whether a file could be the loader's at all, judged by its first bytes, so that files
// the loaders ahead of our own readers will decline never open the module.
bool MightBe(QtLoader loader, std::span<const std::uint8_t> file) {
    switch (loader) {
    case QtLoader::Bitmap:
        return file.size() >= 2 && file[0] == 'B' && file[1] == 'M';
    case QtLoader::Icon:
        return file.size() >= 4 && file[0] == 0 && file[1] == 0 && (file[2] == 1 || file[2] == 2) &&
               file[3] == 0;
    case QtLoader::Picture:
        return true;
    case QtLoader::Wmf:
        // The placeable header's key, or a plain header: type 1 or 2, nine words long.
        return (file.size() >= 4 && file[0] == 0xD7 && file[1] == 0xCD && file[2] == 0xC6 &&
                file[3] == 0x9A) ||
               (file.size() >= 4 && (file[0] == 1 || file[0] == 2) && file[1] == 0 && file[2] == 9 &&
                file[3] == 0);
    case QtLoader::Emf:
        return file.size() >= 44 && file[0] == 1 && file[1] == 0 && file[2] == 0 && file[3] == 0 &&
               file[40] == ' ' && file[41] == 'E' && file[42] == 'M' && file[43] == 'F';
    }
    return false;
}

PictureReader LazyReader(QtLoader loader) {
    return {std::string(kQtLoaderNames[static_cast<std::size_t>(loader)]),
            [loader](std::span<const std::uint8_t> file, std::string_view path) {
                const PictureReader* reader = MightBe(loader, file) ? LoadedReader(loader) : nullptr;
                return reader != nullptr ? reader->check(file, path) : ReaderCheck{};
            },
            [loader](std::span<const std::uint8_t> file, std::string_view path) {
                const PictureReader* reader = LoadedReader(loader);
                return reader != nullptr ? reader->decode(file, path) : std::optional<Picture>{};
            }};
}

} // namespace

PictureReader QtBitmapReader() {
    return LazyReader(QtLoader::Bitmap);
}
PictureReader QtIconReader() {
    return LazyReader(QtLoader::Icon);
}
PictureReader QtPictureReader() {
    return LazyReader(QtLoader::Picture);
}
PictureReader WmfPictureReader() {
    return LazyReader(QtLoader::Wmf);
}
PictureReader EmfPictureReader() {
    return LazyReader(QtLoader::Emf);
}
