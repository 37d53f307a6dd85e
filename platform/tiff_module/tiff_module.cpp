// The entry points of the TIFF reader module.
#include "platform/tiff_module/tiff_module.h"

#include "imaging/tiff/tiff_reader.h"

extern "C" __attribute__((visibility("default"))) void QuillmorphTiffReader(PictureReader* reader) {
    *reader = TiffPictureReader();
}

extern "C" __attribute__((visibility("default"))) const char* QuillmorphTiffBuild() {
    return kTiffModuleBuildMark;
}
