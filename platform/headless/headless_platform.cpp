// The platform calls of platform.h for a program without a display, such as the
// command-line converter: no window or control ever exists, so every call does what the
// desktop implementation does for one that does not exist, and no toolkit is loaded.
#include "platform/platform.h"

bool InitPlatform() {
    return false;
}
void ShutdownPlatform() {}
bool PlatformActive() {
    return false;
}

// Without a display nobody can answer: a question is declined, anything else acknowledged.
MessageAnswer ShowMessageBox(std::string_view, std::string_view, MessageIcon, MessageButtons buttons) {
    return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
}

FileDialogResult OpenFileDialog(std::string_view, std::string_view, std::string_view, int) {
    return {};
}
FileDialogResult SaveFileDialog(std::string_view, std::string_view, std::string_view, int) {
    return {};
}

void SetWindowEnabled(int, bool) {}
bool WindowEnabled(int) {
    return false;
}
void SetControlText(int, std::string_view) {}
std::string ControlText(int) {
    return {};
}
void ShowPictureInControl(int, int) {}
void RepaintControl(int) {}
void SetClickReporting(int, bool) {}
int TrackBarPosition(int) {
    return 0;
}
int TextWidth(int, std::string_view) {
    return 0;
}
