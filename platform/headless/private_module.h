// Opening the modules that come with the program: the parts it loads only for the files
// that need them.
#pragma once

#include <string_view>

// The module's entry point `entryName`, from the file beside the program (a build tree)
// or in the installed private folder, found from the program's own folder so that an
// installed tree may be moved as a whole; never through the library search path. The
// module must answer `buildName` with `buildMark`, or it is closed again. Nothing when
// the module is missing or unusable. The module stays loaded until the program ends.
void* PrivateModuleEntry(std::string_view file, const char* entryName, const char* buildName,
                         std::string_view buildMark);
