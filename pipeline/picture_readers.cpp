#include "pipeline/picture_readers.h"

#include "imaging/ilbm_reader.h"
#include "imaging/jpeg_reader.h"
#include "imaging/picture_reader.h"
#include "imaging/png_reader.h"
#include "imaging/ppm_reader.h"
#include "imaging/tga_reader.h"
#include "imaging/tiff/tiff_reader.h"
#include "platform/metafile_reader.h"
#include "platform/qt_picture_loader.h"

void RegisterPictureReaders() {
    ClearPictureReaders();
    RegisterPictureReader(QtBitmapReader());
    RegisterPictureReader(QtIconReader());
    RegisterPictureReader(PngPictureReader());
    RegisterPictureReader(PpmPictureReader());
    RegisterPictureReader(TgaPictureReader());
    RegisterPictureReader(TiffPictureReader());
    RegisterPictureReader(JpegPictureReader()); // ahead of the platform's loader: faster, same pixels
    RegisterPictureReader(QtPictureReader());
    RegisterPictureReader(WmfPictureReader());
    RegisterPictureReader(EmfPictureReader());
    RegisterPictureReader(IlbmPictureReader());
}
