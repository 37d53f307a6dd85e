// The module that carries the Qt picture loaders for programs that do not link Qt
// themselves. It is opened with dlopen and has one entry point, which fills in the
// reader of one of the loaders.
#pragma once

#include "imaging/picture_reader.h"

#include <string_view>

constexpr const char* kQtLoaderModuleFile = "libquillmorph_qt_loader.so";
constexpr const char* kQtLoaderModuleEntryName = "QuillmorphQtLoaderReader";
// The loaders, in the order of the chain, with the names they are known by before the
// module is opened.
enum class QtLoader { Bitmap = 0, Icon = 1, Picture = 2, Wmf = 3, Emf = 4 };
constexpr std::string_view kQtLoaderNames[] = {"bitmap loader", "icon loader", "platform loader", "WMF",
                                               "EMF"};

using QtLoaderModuleEntry = void (*)(int loader, PictureReader* reader);

// The module hands PictureReader objects across, so it must come from the same build as
// the program: same version, compiler and build type. Both sides compile this mark in and
// the program compares them before it takes a reader.
constexpr const char* kQtLoaderModuleBuildName = "QuillmorphQtLoaderBuild";
constexpr const char* kQtLoaderBuildMark = QUILLMORPH_BUILD_MARK;
using QtLoaderModuleBuild = const char* (*)();
