// Finding the program's Qt widgets by their object names, for tests that click them.
#pragma once

#include <QApplication>
#include <QWidget>
#include <string>

template <class Widget> Widget* Named(const std::string& name) {
    const QString wanted = QString::fromStdString(name);
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->objectName() == wanted) {
            return qobject_cast<Widget*>(top);
        }
        if (auto* widget = top->findChild<Widget*>(wanted)) {
            return widget;
        }
    }
    return nullptr;
}
