#include "imaging/file_name_part.h"

std::string_view FileNamePart(std::string_view path) {
    const std::size_t separator = path.find_last_of("/\\");
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}
