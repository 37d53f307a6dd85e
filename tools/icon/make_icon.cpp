// Draws the application icon in the About banner's style: a Mode 2 backdrop (a
// blue-to-magenta-to-red sweep dithered into the BBC Micro's colours with double-width
// pixels), a white "Q" with a black shadow, and a strip of the eight physical colours.
// Writes the scalable SVG and a PNG for each hicolor size; run once, the files are kept
// in resources/icons/.  Usage: make_icon OUTPUT_FOLDER
#include "tools/artwork_dither.h"

#include <QApplication>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QSvgGenerator>
#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

namespace {

// The icon is drawn on a grid of 32 x 32 cells; a backdrop pixel is 2 x 1 cells, as in Mode 2.
constexpr int kGrid = 32;
QColor Backdrop(int column, int row) {
    const double t = static_cast<double>(column) / (kGrid / 2 - 1);
    const double fade = 0.3 + 0.4 * static_cast<double>(row) / (kGrid - 1);
    const int red = static_cast<int>(255 * fade * t);
    const int green = static_cast<int>(40 * fade * (1.0 - t));
    const int blue = static_cast<int>(255 * fade * (1.0 - t * 0.6));
    return QColor(ArtworkThreshold(red, column, row), ArtworkThreshold(green, column, row),
                  ArtworkThreshold(blue, column, row));
}

// Draws the icon into a square of `size` pixels.
void DrawIcon(QPainter& painter, int size) {
    painter.setRenderHint(QPainter::Antialiasing, true);
    const double cell = static_cast<double>(size) / kGrid;
    const double margin = cell; // hicolor icons keep a little air round the artwork

    QPainterPath frame;
    frame.addRoundedRect(margin, margin, size - 2 * margin, size - 2 * margin, 3 * cell, 3 * cell);
    painter.setClipPath(frame);
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (int row = 0; row < kGrid; ++row) {
        for (int column = 0; column < kGrid / 2; ++column) {
            painter.fillRect(QRectF(column * 2 * cell, row * cell, 2 * cell, cell), Backdrop(column, row));
        }
    }
    const std::array<QColor, 8> colours{Qt::black, Qt::red,     Qt::green, Qt::yellow,
                                        Qt::blue,  Qt::magenta, Qt::cyan,  Qt::white};
    for (int k = 0; k < 8; ++k) {
        painter.fillRect(QRectF((2 + 3.5 * k) * cell, 25 * cell, 3.5 * cell, 3 * cell),
                         colours[static_cast<std::size_t>(k)]);
    }
    painter.setRenderHint(QPainter::Antialiasing, true);

    QFont face("DejaVu Sans", 1, QFont::Black);
    face.setPixelSize(static_cast<int>(26 * cell));
    QPainterPath letter;
    letter.addText(0, 0, face, "Q");
    const QRectF bounds = letter.boundingRect();
    letter.translate(size / 2.0 - bounds.center().x(), 13.5 * cell - bounds.center().y());
    painter.setClipping(false);
    painter.translate(1.2 * cell, 1.2 * cell);
    painter.fillPath(letter, Qt::black);
    painter.translate(-1.2 * cell, -1.2 * cell);
    // An outline keeps the letter readable over the busy backdrop at the smallest sizes.
    painter.strokePath(letter,
                       QPen(Qt::black, std::max(1.0, cell), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.fillPath(letter, Qt::white);
    painter.setPen(QPen(Qt::black, 0.6 * cell));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(frame);
}

bool WritePng(const std::string& folder, int size) {
    QImage icon(size, size, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    DrawIcon(painter, size);
    painter.end();
    const std::string path = folder + "/quillmorph-" + std::to_string(size) + ".png";
    return icon.save(QString::fromStdString(path), "PNG");
}

void WriteSvg(const std::string& folder) {
    constexpr int kSize = 256;
    QSvgGenerator svg;
    svg.setFileName(QString::fromStdString(folder + "/quillmorph.svg"));
    svg.setSize(QSize(kSize, kSize));
    svg.setViewBox(QRect(0, 0, kSize, kSize));
    svg.setTitle("Quillmorph");
    QPainter painter(&svg);
    DrawIcon(painter, kSize);
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const std::string folder = argc > 1 ? argv[1] : ".";
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        if (!WritePng(folder, size)) {
            std::fprintf(stderr, "cannot write the %d-pixel icon in %s\n", size, folder.c_str());
            return 1;
        }
    }
    WriteSvg(folder);
    return 0;
}
