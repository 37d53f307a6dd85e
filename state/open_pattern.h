// The Open dialog's list of picture formats.
#pragma once

#include <string>

// The open dialog's pattern list: thirteen "description|patterns" pairs joined by "|".
std::string BuildOpenPattern();
