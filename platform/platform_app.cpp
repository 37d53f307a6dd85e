#include "platform/event_queue.h"
#include "platform/platform.h"

#include <QApplication>
#include <QFont>
#include <QStyleFactory>

#include <cstdlib>
#include <memory>

namespace {

std::unique_ptr<QApplication>& Application() {
    static std::unique_ptr<QApplication> application;
    return application;
}

// Without any display to talk to, Qt would end the process; report it instead.
bool DisplayAvailable() {
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value && *value) {
            return true;
        }
    }
    return false;
}

// The controls' boxes were sized for an 8-point dialog font; DejaVu Sans at 11 pixels
// fits every text of the main window into its box (the platform tests measure it).
QFont ControlFont() {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}

} // namespace

bool InitPlatform() {
    if (Application()) {
        return true;
    }
    if (!DisplayAvailable()) {
        return false;
    }
    static int argc = 1;
    static char name[] = "quillmorph";
    static char* argv[] = {name, nullptr};
    Application() = std::make_unique<QApplication>(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    if (QStyle* style = QStyleFactory::create(QStringLiteral("Fusion"))) {
        QApplication::setStyle(style);
    }
    QApplication::setFont(ControlFont());
    return true;
}

void ShutdownPlatform() {
    if (!Application()) {
        return;
    }
    CloseAllWindows();
    ClearEvents();
    Application().reset();
}

bool PlatformActive() { return static_cast<bool>(Application()); }
