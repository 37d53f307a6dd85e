// The entry point of the Qt picture loader module.
#include "platform/qt_loader_module/qt_loader_module.h"

#include "platform/qt_picture_loader.h"

extern "C" __attribute__((visibility("default"))) void QuillmorphQtLoaderReader(PictureReader* reader) {
    *reader = QtPictureReader();
}
