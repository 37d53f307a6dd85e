// Converting many pictures into one folder with worker processes.
#pragma once

#include "cli/cli_options.h"

#include <string>

// The file name a picture converted from `input` gets in the output folder: the input's
// name without its extension, plus the format's extension (none for a dump, whose
// sidecar adds ".inf").
std::string BatchOutputName(const std::string& input, ScreenOutputKind format);

// Converts every input of `options` into options.outputDir, each by a worker process
// (a copy of this one, made per picture), at most options.jobs (or one per
// processor) at a time. Two inputs that would write the same name are a usage error
// before anything is written. Reports each failure on standard error, a progress line
// there when it is a terminal, and a summary; the exit status is 1 when any failed.
int ConvertBatch(const ConvertOptions& options);
