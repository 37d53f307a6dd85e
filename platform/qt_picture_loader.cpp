#include "platform/qt_picture_loader.h"

#include "platform/quiet_output.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <QtGlobal>
#include <array>

namespace {

// The formats the program reads through Qt, in three loaders as the chain tries them;
// other formats Qt may know (its own PNG, PBM, XPM, SVG...) are left to the program's
// readers or declined.
using FormatList = std::span<const char* const>;
constexpr std::array<const char*, 1> kBitmapFormats = {"bmp"};
constexpr std::array<const char*, 2> kIconFormats = {"ico", "cur"};
constexpr std::array<const char*, 2> kPictureFormats = {"jpeg", "gif"};

// Room for the largest picture the program accepts, as 32-bit pixels, plus headroom
// for the decoder's own buffers.
constexpr int kAllocationLimitMiB = 1024;

// Qt gives a top-down BMP's height as negative.
QSize HeaderSize(QImageReader& reader) {
    const QSize size = reader.size();
    return size.isValid() || size.width() == -1 ? size : QSize(qAbs(size.width()), qAbs(size.height()));
}

bool IsOneOf(const QByteArray& format, FormatList formats) {
    for (const char* own : formats) {
        if (format == own) {
            return true;
        }
    }
    return false;
}

// A reader over the file's bytes, positioned on the image to decode. The bytes are
// not copied: QByteArray::fromRawData only points at them.
struct OpenReader {
    FormatList formats;
    QByteArray bytes;
    QBuffer buffer;
    QImageReader reader;

    OpenReader(std::span<const std::uint8_t> file, FormatList formats)
        : formats(formats), bytes(QByteArray::fromRawData(reinterpret_cast<const char*>(file.data()),
                                        static_cast<qsizetype>(file.size()))) {
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        reader.setDevice(&buffer);
        reader.setDecideFormatFromContent(true);
        // A JPEG's EXIF orientation is applied, so a photograph stands the right way up.
        reader.setAutoTransform(true);
    }
    OpenReader(const OpenReader&) = delete;
    OpenReader& operator=(const OpenReader&) = delete;

    bool Recognised() { return reader.canRead() && IsOneOf(reader.format(), formats); }

    // Icons and cursors hold several images; the one with the most pixels is taken.
    void ChooseImage() {
        const QByteArray format = reader.format();
        if (format != "ico" && format != "cur") {
            return;
        }
        const int count = reader.imageCount();
        int best = 0;
        qint64 bestArea = -1;
        for (int i = 0; i < count; ++i) {
            if (!reader.jumpToImage(i)) {
                continue;
            }
            const QSize size = HeaderSize(reader);
            const qint64 area = qint64(size.width()) * size.height();
            if (area > bestArea) {
                bestArea = area;
                best = i;
            }
        }
        reader.jumpToImage(best);
    }
};

ReaderCheck CheckWithQt(std::span<const std::uint8_t> file, FormatList formats) {
    const QuietMessages quiet;
    OpenReader open(file, formats);
    if (!open.Recognised()) {
        return {};
    }
    open.ChooseImage();
    const QSize size = HeaderSize(open.reader);
    if (!size.isValid()) {
        return {};
    }
    return {true, size.width(), size.height()};
}

std::optional<Picture> DecodeWithQt(std::span<const std::uint8_t> file, FormatList formats) {
    const QuietMessages quiet;
    OpenReader open(file, formats);
    if (!open.Recognised()) {
        return std::nullopt;
    }
    open.ChooseImage();
    const QSize size = HeaderSize(open.reader);
    if (!size.isValid() || !IsAcceptablePictureSize(size.width(), size.height())) {
        return std::nullopt;
    }
    open.reader.setAllocationLimit(kAllocationLimitMiB);
    QImage image = open.reader.read();
    if (image.isNull() || !IsAcceptablePictureSize(image.width(), image.height())) {
        return std::nullopt;
    }
    // Premultiplying is exactly compositing over black.
    image.convertTo(QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        return std::nullopt;
    }
    Picture picture;
    picture.width = image.width();
    picture.height = image.height();
    picture.pixels.resize(std::size_t(picture.width) * std::size_t(picture.height));
    for (int y = 0; y < picture.height; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        BufferWord* out = picture.pixels.data() + std::size_t(y) * std::size_t(picture.width);
        for (int x = 0; x < picture.width; ++x) {
            out[x] = row[x] & 0xFFFFFFu; // 0xAARRGGBB: blue already in the low byte
        }
    }
    return picture;
}

PictureReader MakeQtReader(std::string name, FormatList formats) {
    return {std::move(name),
            [formats](std::span<const std::uint8_t> file, std::string_view) { return CheckWithQt(file, formats); },
            [formats](std::span<const std::uint8_t> file, std::string_view) { return DecodeWithQt(file, formats); }};
}

} // namespace

PictureReader QtBitmapReader() { return MakeQtReader("bitmap loader", kBitmapFormats); }
PictureReader QtIconReader() { return MakeQtReader("icon loader", kIconFormats); }
PictureReader QtPictureReader() { return MakeQtReader("platform loader", kPictureFormats); }
