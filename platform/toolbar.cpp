#include "platform/event_queue.h"
#include "platform/object_names.h"
#include "platform/platform.h"
#include "platform/widget_registry.h"

#include <QAction>
#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QToolBar>

namespace {

constexpr int kToolBarHeight = 25; // the controls start just below, at y = 25

QToolBar* ToolBarOf(int window) {
    QWidget* client = FindClientWidget(window);
    if (!client) {
        return nullptr;
    }
    if (auto* existing = client->findChild<QToolBar*>(QString(), Qt::FindDirectChildrenOnly)) {
        return existing;
    }
    auto* bar = new QToolBar(client);
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(16, 16));
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    bar->setContentsMargins(0, 0, 0, 0);
    bar->setGeometry(0, 0, client->width(), kToolBarHeight);
    bar->show();
    return bar;
}

// Our own 16 x 16 pictures, for desktops (and the headless tests) without an icon theme.
QPixmap DrawOpenPicture() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(QColor(128, 96, 0));
    painter.setBrush(QColor(230, 190, 60));
    painter.drawRect(1, 3, 12, 10); // back of the folder
    painter.drawRect(1, 2, 5, 1);   // its tab
    QPainterPath front;
    front.moveTo(3.5, 7.5);
    front.lineTo(15.5, 7.5);
    front.lineTo(13.5, 13.5);
    front.lineTo(1.5, 13.5);
    front.closeSubpath();
    painter.setBrush(QColor(255, 225, 120));
    painter.drawPath(front);
    return pixmap;
}

QPixmap DrawSavePicture() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(QColor(20, 30, 90));
    painter.setBrush(QColor(50, 80, 170));
    painter.drawRect(1, 1, 13, 13); // the disk
    painter.setBrush(Qt::white);
    painter.drawRect(4, 1, 7, 5); // label
    painter.setBrush(QColor(190, 190, 190));
    painter.drawRect(5, 10, 5, 4); // shutter
    return pixmap;
}

QPixmap DrawFindPicture() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(60, 40, 20), 3, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(10.5, 10.5), QPointF(14.5, 14.5)); // handle
    painter.setPen(QPen(QColor(40, 40, 40), 1.5));
    painter.setBrush(QColor(170, 215, 255));
    painter.drawEllipse(QPointF(6.5, 6.5), 4.5, 4.5); // lens
    return pixmap;
}

QIcon PictureIcon(ToolPicture picture) {
    QString themeName;
    QPixmap own;
    switch (picture) {
    case ToolPicture::Open:
        themeName = QStringLiteral("document-open");
        own = DrawOpenPicture();
        break;
    case ToolPicture::Save:
        themeName = QStringLiteral("document-save");
        own = DrawSavePicture();
        break;
    case ToolPicture::Find:
        themeName = QStringLiteral("edit-find");
        own = DrawFindPicture();
        break;
    }
    return QIcon::hasThemeIcon(themeName) ? QIcon::fromTheme(themeName) : QIcon(own);
}

} // namespace

void AddToolButton(int window, int command, ToolPicture picture, std::string_view tip) {
    QToolBar* bar = ToolBarOf(window);
    if (!bar) {
        return;
    }
    QAction* button = bar->addAction(PictureIcon(picture), ToQString(tip));
    button->setObjectName(QString::fromStdString(ToolObjectName(command)));
    button->setToolTip(ToQString(tip));
    QObject::connect(button, &QAction::triggered, button, [window, command] {
        PostEvent({EventKind::Command, window, command, 0, 0});
    });
}

void AddToolSeparator(int window) {
    if (QToolBar* bar = ToolBarOf(window)) {
        bar->addSeparator();
    }
}
