// The platform's picture loader for a program without a display. Qt is loaded only
// when a file reaches this reader, that is when no reader before it in the chain took
// the file: the loader lives in a small module beside the program, opened on first use.
// Without the module the reader declines every file.
#include "platform/qt_loader_module/qt_loader_module.h"
#include "platform/qt_picture_loader.h"

#include <dlfcn.h>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

namespace {

std::string ModulePath() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return kQtLoaderModuleFile; // left to the dynamic linker's search path
    }
    return (program.parent_path() / kQtLoaderModuleFile).string();
}

// The module's reader, loaded once; nothing when the module is missing or unusable.
const PictureReader* LoadedReader() {
    static const std::optional<PictureReader> reader = []() -> std::optional<PictureReader> {
        void* module = dlopen(ModulePath().c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module == nullptr) {
            module = dlopen(kQtLoaderModuleFile, RTLD_NOW | RTLD_LOCAL);
        }
        if (module == nullptr) {
            return std::nullopt;
        }
        // The module stays loaded until the program ends: Qt cannot be unloaded safely.
        const auto entry = reinterpret_cast<QtLoaderModuleEntry>(dlsym(module, kQtLoaderModuleEntryName));
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

PictureReader QtPictureReader() {
    return {std::string(kQtLoaderName),
            [](std::span<const std::uint8_t> file, std::string_view path) {
                const PictureReader* reader = LoadedReader();
                return reader != nullptr ? reader->check(file, path) : ReaderCheck{};
            },
            [](std::span<const std::uint8_t> file, std::string_view path) {
                const PictureReader* reader = LoadedReader();
                return reader != nullptr ? reader->decode(file, path) : std::optional<Picture>{};
            }};
}
