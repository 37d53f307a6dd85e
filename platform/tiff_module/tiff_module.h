// The module that carries the TIFF reader for the command-line converter, which does not
// link libtiff itself. It is opened with dlopen and has one entry point, which fills in
// the reader.
#pragma once

#include "imaging/picture_reader.h"

constexpr const char* kTiffModuleFile = "libquillmorph_tiff.so";
constexpr const char* kTiffModuleEntryName = "QuillmorphTiffReader";
using TiffModuleEntry = void (*)(PictureReader* reader);

// As with the Qt loader module, the reader crosses between the two sides, so the module
// must come from the same build as the program; both compile this mark in.
constexpr const char* kTiffModuleBuildName = "QuillmorphTiffBuild";
constexpr const char* kTiffModuleBuildMark = QUILLMORPH_BUILD_MARK;
