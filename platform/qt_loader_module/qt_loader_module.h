// The module that carries the Qt picture loader for programs that do not link Qt
// themselves. It is opened with dlopen and has one entry point, which fills in the
// loader's reader.
#pragma once

#include "imaging/picture_reader.h"

#include <string_view>

constexpr const char* kQtLoaderModuleFile = "libquillmorph_qt_loader.so";
constexpr const char* kQtLoaderModuleEntryName = "QuillmorphQtLoaderReader";
// The reader's name, also known without opening the module.
constexpr std::string_view kQtLoaderName = "platform loader";

using QtLoaderModuleEntry = void (*)(PictureReader* reader);
