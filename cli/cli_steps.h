// Steps the converter's commands share: messages with their exit status, and one
// picture's conversion into the converted picture (picture 7) with the settings given.
#pragma once

#include "cli/cli_options.h"

#include <string>

inline constexpr int kFailed = 1;
inline constexpr int kUsageError = 2;

// Print the message on standard error and return its exit status.
int Fail(const std::string& reason);
int UsageError(const std::string& message);

// Sets the program's shared settings as the desktop program would hold them after the
// same choices; false with the error for a choice the settings cannot take.
bool ApplySettings(const ConvertOptions& options, std::string& error);

// Reads `input`, applies the edits (and the automatic palette when asked) and converts it
// with the settings applied. False with the reason when the picture cannot be read or
// converted.
bool ConvertPicture(const ConvertOptions& options, const std::string& input, std::string& reason);

// ConvertPicture, then the converted picture written to `output` in the chosen format;
// the exit status, with the reason on standard error when it failed.
int ConvertOneFile(const ConvertOptions& options, const std::string& input, const std::string& output);
