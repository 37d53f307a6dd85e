#include "pipeline/picture_readers.h"

#include "imaging/picture_reader.h"
#include "imaging/png_reader.h"
#include "imaging/tiff_reader.h"
#include "platform/qt_picture_loader.h"

void RegisterPictureReaders() {
    ClearPictureReaders();
    RegisterPictureReader(PngPictureReader());
    RegisterPictureReader(TiffPictureReader());
    RegisterPictureReader(QtPictureReader());
}
