#include "platform/qt_picture_loader.h"

#include "imaging/bmp_header.h"
#include "imaging/gif_layout.h"
#include "imaging/icon_directory.h"
#include "imaging/reader_support.h"
#include "platform/quiet_output.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <QtGlobal>
#include <algorithm>
#include <array>
#include <optional>

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
constexpr int kAllocationLimitMiB = 700;

// Qt's allocation limit is one setting for the whole process: it is raised for one
// decode and given back afterwards, so no other picture the program handles meets it.
struct ScopedAllocationLimit {
    int previous = QImageReader::allocationLimit();
    explicit ScopedAllocationLimit(int limitMiB) { QImageReader::setAllocationLimit(limitMiB); }
    ~ScopedAllocationLimit() { QImageReader::setAllocationLimit(previous); }
    ScopedAllocationLimit(const ScopedAllocationLimit&) = delete;
    ScopedAllocationLimit& operator=(const ScopedAllocationLimit&) = delete;
    ScopedAllocationLimit(ScopedAllocationLimit&&) = delete;
    ScopedAllocationLimit& operator=(ScopedAllocationLimit&&) = delete;
};

// Qt gives a top-down BMP's height as negative.
QSize HeaderSize(QImageReader& reader) {
    const QSize size = reader.size();
    return size.isValid() || size.width() == -1 ? size : QSize(qAbs(size.width()), qAbs(size.height()));
}

bool IsOneOf(const QByteArray& format, FormatList formats) {
    return std::ranges::any_of(formats, [&format](const char* own) { return format == own; });
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
    OpenReader(OpenReader&&) = delete;
    OpenReader& operator=(OpenReader&&) = delete;
    ~OpenReader() = default;

    QByteArray format; // as recognised: the reader forgets it once it has moved or read

    bool Recognised() {
        format = reader.canRead() ? reader.format() : QByteArray();
        return IsOneOf(format, formats);
    }
    bool IsIcon() const { return format == "ico" || format == "cur"; }

    int chosen = 0; // the icon's directory entry being read

    // Icons and cursors hold several images; the one with the most pixels is taken.
    void ChooseImage() {
        if (!IsIcon()) {
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
        chosen = best;
    }
};

ReaderCheck CheckWithQt(std::span<const std::uint8_t> file, FormatList formats) {
    const QuietMessages quiet;
    OpenReader open(file, formats);
    if (!open.Recognised() || (open.IsIcon() && !LooksLikeIconDirectory(file))) {
        return {};
    }
    open.ChooseImage();
    const QSize size = HeaderSize(open.reader);
    if (!size.isValid()) {
        return {};
    }
    ReaderCheck check{true, size.width(), size.height()};
    bool fillable = open.reader.format() != "bmp" || BmpCanHoldPixels(file);
    if (open.reader.format() == "gif") {
        const std::optional<GifLayout> layout = ReadGifLayout(file);
        if (!layout) {
            return {};
        }
        check.width = layout->screenWidth;
        check.height = layout->screenHeight;
        fillable = GifCanHoldPicture(*layout, file.size());
    }
    if (!fillable) {
        check.refusal = FileTooShortRefusal(check.width, check.height);
    }
    return check;
}

// Qt widens a 16-bit bitmap's 5- and 6-bit fields by shifting alone, so that white
// comes out as 248; repeating a field's top bits into the low ones gives the full range,
// as other decoders do.
unsigned WidenField(unsigned channel, int bits) {
    if (bits <= 0 || bits >= 8) {
        return channel;
    }
    const unsigned value = channel >> (8 - bits);
    unsigned widened = 0;
    for (int shift = 8 - bits; shift > -bits; shift -= bits) {
        widened |= shift >= 0 ? value << shift : value >> -shift;
    }
    return widened & 0xFFu;
}

void WidenSixteenBitFields(QImage& image, const std::array<int, 3>& widths) {
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = row[x];
            row[x] = qRgba(static_cast<int>(WidenField(static_cast<unsigned>(qRed(pixel)), widths[0])),
                           static_cast<int>(WidenField(static_cast<unsigned>(qGreen(pixel)), widths[1])),
                           static_cast<int>(WidenField(static_cast<unsigned>(qBlue(pixel)), widths[2])),
                           qAlpha(pixel));
        }
    }
}

// A GIF is shown at its logical screen's size, its first frame placed at the frame's
// offset on black. Qt draws the frame on the screen, filling the rest with the file's
// background colour, when the frame fits there, and gives the frame alone otherwise;
// either way only the frame's own rectangle is taken.
QImage OnLogicalScreen(QImage image, const GifLayout& layout) {
    const bool wholeScreen = image.width() == layout.screenWidth && image.height() == layout.screenHeight;
    const bool frameAlone = image.width() == layout.frameWidth && image.height() == layout.frameHeight;
    if (!wholeScreen && !frameAlone) {
        return image;
    }
    QImage screen(layout.screenWidth, layout.screenHeight, QImage::Format_ARGB32_Premultiplied);
    if (screen.isNull()) {
        return screen;
    }
    screen.fill(0xFF000000u);
    const int left = std::min(layout.frameLeft, layout.screenWidth);
    const int top = std::min(layout.frameTop, layout.screenHeight);
    const int width = std::min({layout.frameWidth, layout.screenWidth - left, image.width()});
    const int height = std::min({layout.frameHeight, layout.screenHeight - top, image.height()});
    const int fromX = wholeScreen ? left : 0;
    const int fromY = wholeScreen ? top : 0;
    for (int y = 0; width > 0 && y < height; ++y) {
        const auto* from = reinterpret_cast<const QRgb*>(image.constScanLine(fromY + y)) + fromX;
        auto* to = reinterpret_cast<QRgb*>(screen.scanLine(top + y)) + left;
        std::copy(from, from + width, to);
    }
    return screen;
}

std::optional<Picture> DecodeWithQt(std::span<const std::uint8_t> file, FormatList formats) {
    const QuietMessages quiet;
    OpenReader open(file, formats);
    if (!open.Recognised() || (open.IsIcon() && !LooksLikeIconDirectory(file))) {
        return std::nullopt;
    }
    open.ChooseImage();
    const QSize size = HeaderSize(open.reader);
    if (!size.isValid() || !IsAcceptablePictureSize(size.width(), size.height()) ||
        (open.reader.format() == "bmp" && !BmpCanHoldPixels(file))) {
        return std::nullopt;
    }
    // The reader forgets the format once it has read.
    const bool gif = open.reader.format() == "gif";
    const bool bmp = open.reader.format() == "bmp";
    const bool icon = open.IsIcon();
    const int chosen = open.chosen;
    const std::optional<GifLayout> layout = gif ? ReadGifLayout(file) : std::nullopt;
    if (gif && (!layout || !IsAcceptablePictureSize(layout->screenWidth, layout->screenHeight) ||
                !GifCanHoldPicture(*layout, file.size()))) {
        return std::nullopt;
    }
    QImage image;
    {
        const ScopedAllocationLimit limit(kAllocationLimitMiB);
        image = open.reader.read();
    }
    if (image.isNull() || !IsAcceptablePictureSize(image.width(), image.height())) {
        return std::nullopt;
    }
    if (bmp) {
        // A bitmap stored without bit fields has no alpha, whatever masks a version 4 or 5
        // header lists; Qt takes the alpha mask all the same.
        const std::optional<BmpHeader> header = ReadBmpHeader(file);
        if (header && header->compression == 0 && image.hasAlphaChannel()) {
            image.convertTo(QImage::Format_RGB32);
        }
        if (const std::optional<std::array<int, 3>> widths = BmpSixteenBitFieldWidths(file)) {
            image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
            WidenSixteenBitFields(image, *widths);
        }
    }
    // Premultiplying is exactly compositing over black.
    image.convertTo(QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        return std::nullopt;
    }
    // Qt shows the colours of a bitmap icon below 32 bits without its AND mask, where
    // the mask makes the icon transparent (black here).
    if (icon) {
        if (const auto mask = IconTransparencyMask(file, chosen, image.width(), image.height())) {
            for (int y = 0; y < image.height(); ++y) {
                auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
                for (int x = 0; x < image.width(); ++x) {
                    if ((*mask)[std::size_t(y) * std::size_t(image.width()) + std::size_t(x)] != 0) {
                        row[x] = 0;
                    }
                }
            }
        }
    }
    if (gif) {
        image = OnLogicalScreen(std::move(image), *layout);
        if (image.isNull()) {
            return std::nullopt;
        }
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
            [formats](std::span<const std::uint8_t> file, std::string_view) {
                return CheckWithQt(file, formats);
            },
            [formats](std::span<const std::uint8_t> file, std::string_view) {
                return DecodeWithQt(file, formats);
            }};
}

} // namespace

PictureReader QtBitmapReader() {
    return MakeQtReader("bitmap loader", kBitmapFormats);
}
PictureReader QtIconReader() {
    return MakeQtReader("icon loader", kIconFormats);
}
PictureReader QtPictureReader() {
    return MakeQtReader("platform loader", kPictureFormats);
}
