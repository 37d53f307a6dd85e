// Draws the About window's banner (415 x 72): the program's name over a Mode 2 style
// backdrop, a blue-to-magenta-to-red sweep dithered into the BBC Micro's eight colours
// with chunky double-width pixels. Run once; the PNG it writes is kept in resources/.
#include "tools/artwork_dither.h"

#include <QApplication>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <array>
#include <cstdio>

namespace {

constexpr int kWidth = 415;
constexpr int kHeight = 72;

QRgb Backdrop(int x, int y) {
    // Mode 2 pixels are twice as wide as high; dither on that grid.
    const int column = x / 2;
    const double t = static_cast<double>(x) / (kWidth - 1);
    const double fade = 0.25 + 0.35 * static_cast<double>(y) / (kHeight - 1);
    const int red = static_cast<int>(255 * fade * t);
    const int green = static_cast<int>(40 * fade * (1.0 - t));
    const int blue = static_cast<int>(255 * fade * (1.0 - t * 0.6));
    return qRgb(ArtworkThreshold(red, column, y), ArtworkThreshold(green, column, y),
                ArtworkThreshold(blue, column, y));
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const char* output = argc > 1 ? argv[1] : "about_banner.png";

    QImage banner(kWidth, kHeight, QImage::Format_RGB32);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            banner.setPixel(x, y, Backdrop(x, y));
        }
    }

    QPainter painter(&banner);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    // A strip of the eight physical colours near the bottom edge, clear of the version
    // line that the About window lays over the banner's last two rows.
    const std::array<QRgb, 8> colours{qRgb(0, 0, 0),     qRgb(255, 0, 0),    qRgb(0, 255, 0),
                                      qRgb(255, 255, 0), qRgb(0, 0, 255),    qRgb(255, 0, 255),
                                      qRgb(0, 255, 255), qRgb(255, 255, 255)};
    for (int k = 0; k < 8; ++k) {
        const int left = k * kWidth / 8;
        painter.fillRect(left, kHeight - 9, (k + 1) * kWidth / 8 - left, 6,
                         QColor::fromRgb(colours[static_cast<std::size_t>(k)]));
    }

    QFont title("DejaVu Sans", 1, QFont::Black);
    title.setPixelSize(40);
    title.setLetterSpacing(QFont::AbsoluteSpacing, 1);
    QPainterPath text;
    text.addText(18, 42, title, "Quillmorph");
    painter.translate(3, 3);
    painter.fillPath(text, Qt::black);
    painter.translate(-3, -3);
    painter.fillPath(text, Qt::white);

    QFont subtitle("DejaVu Sans Mono", 1, QFont::Bold);
    subtitle.setPixelSize(13);
    painter.setFont(subtitle);
    painter.setPen(Qt::black);
    painter.drawText(21, 59, "pictures into BBC Micro screens");
    painter.setPen(QColor(255, 255, 0));
    painter.drawText(20, 58, "pictures into BBC Micro screens");
    painter.end();

    if (!banner.convertToFormat(QImage::Format_RGB888).save(output, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", output);
        return 1;
    }
    return 0;
}
