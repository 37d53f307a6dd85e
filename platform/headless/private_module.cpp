#include "platform/headless/private_module.h"

#include <dlfcn.h>
#include <filesystem>
#include <string>
#include <system_error>

void* PrivateModuleEntry(std::string_view file, const char* entryName, const char* buildName,
                         std::string_view buildMark) {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return nullptr;
    }
    const std::filesystem::path folder = program.parent_path();
    for (const std::filesystem::path& path :
         {folder / file, folder / QUILLMORPH_PRIVATE_DIR_FROM_PROGRAM / file}) {
        if (!std::filesystem::exists(path)) {
            continue;
        }
        void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module == nullptr) {
            return nullptr;
        }
        using Build = const char* (*)();
        const auto build = reinterpret_cast<Build>(dlsym(module, buildName));
        void* entry = dlsym(module, entryName);
        if (build == nullptr || entry == nullptr || std::string_view(build()) != buildMark) {
            dlclose(module);
            return nullptr;
        }
        return entry;
    }
    return nullptr;
}
