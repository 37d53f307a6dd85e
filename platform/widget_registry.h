// Inside the platform: how the Qt side finds the widgets behind the program's numbers,
// and how text crosses into Qt.
#pragma once

#include "platform/platform.h"

#include <QApplication>
#include <QString>
#include <QWidget>
#include <string_view>

// Properties that tie a control's widget to its numbers, read when it reports an event.
inline constexpr char kWindowProperty[] = "quillmorphWindow";
inline constexpr char kControlProperty[] = "quillmorphControl";

inline QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The top-level widget of an open window, or nullptr (windows.cpp keeps the open windows).
QWidget* FindWindowWidget(int window);
// The widget that holds a window's controls, tool bar and menu bar, or nullptr.
QWidget* FindClientWidget(int window);

// The first object called `name` inside any open window: controls, menus and actions
// live in their window's object tree, so they are gone once Qt has deleted the window.
template <class Object> Object* FindInWindows(const QString& name) {
    if (!PlatformActive()) {
        return nullptr;
    }
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->objectName().startsWith(QStringLiteral("window:"))) {
            if (auto* object = top->findChild<Object*>(name)) {
                return object;
            }
        }
    }
    return nullptr;
}
