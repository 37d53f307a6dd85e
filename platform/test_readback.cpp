// What a test can read back of the windows and controls that are open.
#include "platform/test_hooks.h"
#include "platform/widget_registry.h"

#include <QApplication>
#include <QWidget>
#include <algorithm>

namespace {

QWidget* FindByName(const std::string& name) {
    const QString objectName = QString::fromStdString(name);
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->objectName() == objectName) {
            return top;
        }
        if (auto* child = top->findChild<QWidget*>(objectName)) {
            return child;
        }
    }
    return nullptr;
}

int NumberAfterColon(const QString& name) {
    return name.section(QLatin1Char(':'), 1).toInt();
}

} // namespace

std::vector<int> OpenWindows() {
    std::vector<int> windows;
    if (QApplication::instance() == nullptr) {
        return windows;
    }
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->objectName().startsWith(QStringLiteral("window:"))) {
            windows.push_back(NumberAfterColon(top->objectName()));
        }
    }
    std::sort(windows.begin(), windows.end());
    return windows;
}

std::vector<int> WindowControls(int window) {
    std::vector<int> controls;
    QWidget* widget = QApplication::instance() ? FindByName(WindowObjectName(window)) : nullptr;
    if (widget == nullptr) {
        return controls;
    }
    for (QWidget* child : widget->findChildren<QWidget*>()) {
        const QVariant id = child->property(kControlProperty);
        if (id.isValid()) {
            controls.push_back(id.toInt());
        }
    }
    std::sort(controls.begin(), controls.end());
    return controls;
}

ControlRect ControlGeometry(int control) {
    const QWidget* widget = QApplication::instance() ? FindByName(ControlObjectName(control)) : nullptr;
    if (widget == nullptr) {
        return {};
    }
    const QRect r = widget->geometry();
    return {r.x(), r.y(), r.width(), r.height()};
}
