// The converter's bootable discs: `convert --format ssd` converts one or more pictures
// onto a disc, `disc` puts screen dumps already saved on one.
#pragma once

#include "cli/cli_options.h"

// Each returns the exit status: 0 written, 1 an input could not be read or converted or
// the disc not written, 2 names or a count the disc cannot take. Nothing is written
// unless the whole disc is.
int ConvertToDisc(const ConvertOptions& options);
int MakeDisc(const ConvertOptions& options);
