#include "state/open_pattern.h"

#include <string_view>

std::string BuildOpenPattern() {
    static constexpr std::string_view entries[] = {
        // The first entry's text runs over three literals.
        // NOLINTNEXTLINE(bugprone-suspicious-missing-comma)
        "All Supported Image "
        "Files|*.bmp;*.emf;*.gif;*.ico;*.iff;*.ilbm;*.lbm;*.jfif;*.jpe;*.jpeg;*.jpg;*.rle;*.tif;"
        "*.tiff;*.tga;*.upi;*.png;*.ppm;*.wmf",
        "|Amiga Interchange File Format (*.iff, *.ilbm, *.lbm)|*.iff;*.ilbm;*.lbm",
        "|Extended Windows Metafile Format (*.emf)|*.emf",
        "|Graphics Interchange Format (*.gif)|*.gif",
        "|JPEG File Interchange Format (*.jfif, *.jpeg, *.jpg)|*.jfif;*.jpe;*.jpeg;*.jpg",
        "|Portable Network Graphics (*.png)|*.png",
        "|Portable Pixmap File Format (*.ppm)|*.ppm",
        "|Tag Image File Format (*.tif, *.tiff)|*.tif;*.tiff",
        "|Targa File Format (*.tga)|*.tga",
        "|Windows Bitmap (*.bmp, *.rle, *.upi)|*.bmp;*.rle;*.upi",
        "|Windows Cursor File (*.cur)|*.cur",
        "|Windows Icon (*.ico)|*.ico",
        "|Windows Metafile Format (*.wmf)|*.wmf",
    };
    std::string pattern;
    for (const std::string_view entry : entries) {
        pattern += entry;
    }
    return pattern;
}
