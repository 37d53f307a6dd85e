#include "platform/event_queue.h"
#include "platform/platform.h"
#include "platform/program_icon.h"
#include "program_identity.h"

#include <QApplication>
#include <QFont>
#include <QProxyStyle>
#include <QStyleFactory>
#include <algorithm>
#include <cstdlib>
#include <initializer_list>
#include <memory>

namespace {

std::unique_ptr<QApplication>& Application() {
    static std::unique_ptr<QApplication> application;
    return application;
}

// Without any display to talk to, Qt would end the process; report it instead.
bool DisplayAvailable() {
    return std::ranges::any_of(
        std::initializer_list<const char*>{"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"},
        [](const char* name) {
            const char* value = std::getenv(name);
            return value != nullptr && *value != '\0';
        });
}

// The controls' boxes were sized for a narrow 8-point dialog font. DejaVu Sans
// Condensed at 10 pixels fits every text of the windows into its box (the platform
// tests measure it); plain DejaVu Sans is the fallback.
QFont ControlFont() {
    QFont font;
    font.setFamilies({QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(10);
    return font;
}

// Fusion, with the small gap between a check box and its text that the layout's
// narrow check boxes ("Smooth Image Scaling" in 125 pixels) were made for.
class ControlStyle : public QProxyStyle {
  public:
    using QProxyStyle::QProxyStyle;
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        if (metric == PM_CheckBoxLabelSpacing || metric == PM_RadioButtonLabelSpacing) {
            return 3;
        }
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

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
    // The application takes the style and deletes it.
    // NOLINTBEGIN(clang-analyzer-cplusplus.NewDeleteLeaks)
    QApplication::setStyle(new ControlStyle(QStyleFactory::create(QStringLiteral("Fusion"))));
    QApplication::setFont(ControlFont());
    // NOLINTEND(clang-analyzer-cplusplus.NewDeleteLeaks)
    // Every window takes the application's icon; the desktop entry's name lets a
    // Wayland compositor or a task bar match the windows to the installed entry.
    QApplication::setWindowIcon(ProgramIcon());
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kApplicationId));
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

bool PlatformActive() {
    return static_cast<bool>(Application());
}
