// Whether a path names anything at all, as the user would see it.
#pragma once

#include <string_view>

// 0 when no file exists at `path` (also for ""), 1 otherwise (directories count).
int FileExists(std::string_view path);
