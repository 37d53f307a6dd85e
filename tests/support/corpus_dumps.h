// The BBC Micro screen dumps of the shared corpus, each with the mode number its file
// name carries ("...mode2..."); empty when the corpus is not beside the checkout.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

struct CorpusDump {
    std::filesystem::path path;
    int mode = 0;
};

inline std::filesystem::path CorpusDumpFolder() {
    return std::filesystem::path(QUILLMORPH_CORPUS) / "bbc";
}

inline std::vector<CorpusDump> CorpusDumps() {
    std::vector<CorpusDump> dumps;
    if (!std::filesystem::exists(CorpusDumpFolder())) {
        return dumps;
    }
    for (const auto& entry : std::filesystem::recursive_directory_iterator(CorpusDumpFolder())) {
        const std::string name = entry.path().filename().string();
        const std::size_t at = name.find(".mode");
        if (entry.is_regular_file() && at != std::string::npos && at + 5 < name.size() &&
            !name.ends_with(".inf") && !name.ends_with(".png")) {
            dumps.push_back({entry.path(), name[at + 5] - '0'});
        }
    }
    return dumps;
}
