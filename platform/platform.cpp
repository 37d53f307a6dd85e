#include "platform/platform.h"

#include <QApplication>
#include <QMessageBox>

#include <memory>

namespace {

std::unique_ptr<QApplication>& Application() {
    static std::unique_ptr<QApplication> application;
    return application;
}

QString ToQString(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

} // namespace

bool InitPlatform() {
    if (Application()) {
        return true;
    }
    static int argc = 1;
    static char name[] = "quillmorph";
    static char* argv[] = {name, nullptr};
    Application() = std::make_unique<QApplication>(argc, argv);
    return true;
}

void ShutdownPlatform() { Application().reset(); }

bool PlatformActive() { return static_cast<bool>(Application()); }

MessageAnswer ShowMessageBox(std::string_view title, std::string_view text, MessageIcon icon, MessageButtons buttons) {
    if (!PlatformActive()) {
        return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
    }
    QMessageBox box;
    box.setWindowTitle(ToQString(title));
    box.setText(ToQString(text));
    switch (icon) {
    case MessageIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case MessageIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MessageIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case MessageIcon::Error: box.setIcon(QMessageBox::Critical); break;
    case MessageIcon::Question: box.setIcon(QMessageBox::Question); break;
    }
    if (buttons == MessageButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return MessageAnswer::Ok;
}

// Until the window and control registry exists no window or control does, so each of
// these finds nothing to act on.
FileDialogResult OpenFileDialog(std::string_view, std::string_view, std::string_view, int) { return {}; }
FileDialogResult SaveFileDialog(std::string_view, std::string_view, std::string_view, int) { return {}; }
void SetWindowEnabled(int, bool) {}
bool WindowEnabled(int) { return false; }
void SetControlText(int, std::string_view) {}
std::string ControlText(int) { return {}; }
void ShowPictureInControl(int, int) {}
void RepaintControl(int) {}
void SetClickReporting(int, bool) {}
int TrackBarPosition(int) { return 0; }
int TextWidth(int, std::string_view) { return 0; }
