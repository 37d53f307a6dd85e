// The entry point of the Qt picture loader module.
#include "platform/qt_loader_module/qt_loader_module.h"

#include "platform/metafile_reader.h"
#include "platform/qt_picture_loader.h"

extern "C" __attribute__((visibility("default"))) void QuillmorphQtLoaderReader(int loader,
                                                                                PictureReader* reader) {
    switch (static_cast<QtLoader>(loader)) {
    case QtLoader::Bitmap:
        *reader = QtBitmapReader();
        break;
    case QtLoader::Icon:
        *reader = QtIconReader();
        break;
    case QtLoader::Picture:
        *reader = QtPictureReader();
        break;
    case QtLoader::Wmf:
        *reader = WmfPictureReader();
        break;
    case QtLoader::Emf:
        *reader = EmfPictureReader();
        break;
    }
}

extern "C" __attribute__((visibility("default"))) const char* QuillmorphQtLoaderBuild() {
    return kQtLoaderBuildMark;
}
