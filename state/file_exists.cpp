#include "state/file_exists.h"

#include <filesystem>
#include <system_error>

int FileExists(std::string_view path) {
    if (path.empty()) {
        return 0;
    }
    // Only "no such file" counts as missing (a missing name, or a path through something
    // that is not a folder); a file the program may not look at, a name too long or a loop
    // of links is there as far as the user can tell, and fails later with its own message.
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(std::filesystem::path(path), error);
    return status.type() == std::filesystem::file_type::not_found ? 0 : 1;
}
