// File names in paths that may use either separator: a path typed or stored on another
// system keeps its backslashes.
#pragma once

#include <string_view>

// The part of a path after its last "/" or "\".
std::string_view FileNamePart(std::string_view path);
