#include "platform/program_icon.h"

#include <QPixmap>
#include <cstddef>
#include <cstdint>

extern const std::uint8_t programIcon16Png[];
extern const std::size_t programIcon16PngSize;
extern const std::uint8_t programIcon32Png[];
extern const std::size_t programIcon32PngSize;
extern const std::uint8_t programIcon48Png[];
extern const std::size_t programIcon48PngSize;
extern const std::uint8_t programIcon256Png[];
extern const std::size_t programIcon256PngSize;

namespace {

void AddSize(QIcon& icon, const std::uint8_t* png, std::size_t size) {
    QPixmap pixmap;
    if (pixmap.loadFromData(png, static_cast<uint>(size), "PNG")) {
        icon.addPixmap(pixmap);
    }
}

} // namespace

QIcon ProgramIcon() {
    QIcon icon;
    AddSize(icon, programIcon16Png, programIcon16PngSize);
    AddSize(icon, programIcon32Png, programIcon32PngSize);
    AddSize(icon, programIcon48Png, programIcon48PngSize);
    AddSize(icon, programIcon256Png, programIcon256PngSize);
    return icon;
}
