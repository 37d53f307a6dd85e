#include "platform/event_queue.h"
#include "platform/object_names.h"
#include "platform/platform.h"
#include "platform/widget_registry.h"

#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QSignalBlocker>

namespace {

QString MenuName(int menu) {
    return QStringLiteral("menu:%1").arg(menu);
}

QWidget* FindMenu(int menu) {
    return menu ? FindInWindows<QWidget>(MenuName(menu)) : nullptr;
}

QAction* FindMenuItem(int command) {
    return FindInWindows<QAction>(QString::fromStdString(CommandObjectName(command)));
}

int NextMenuNumber() {
    static int next = 1;
    return next++;
}

// The bar takes its height from the client area, which keeps the window's inner size.
void FitClientBelow(QMenuBar& bar) {
    QWidget* window = bar.parentWidget();
    auto* client = window->findChild<QWidget*>(QStringLiteral("client"), Qt::FindDirectChildrenOnly);
    const int height = bar.sizeHint().height();
    bar.setGeometry(0, 0, window->width(), height);
    if (client) {
        client->setGeometry(0, height, window->width(), window->height() - height);
    }
}

} // namespace

int CreateMenuBar(int window) {
    QWidget* top = FindWindowWidget(window);
    if (!top) {
        return 0;
    }
    if (auto* existing = top->findChild<QMenuBar*>(QString(), Qt::FindDirectChildrenOnly)) {
        return existing->property("quillmorphMenu").toInt();
    }
    const int menu = NextMenuNumber();
    auto* bar = new QMenuBar(top);
    bar->setNativeMenuBar(false);
    bar->setObjectName(MenuName(menu));
    bar->setProperty("quillmorphMenu", menu);
    bar->setProperty(kWindowProperty, window);
    FitClientBelow(*bar);
    bar->show();
    return menu;
}

int AddSubmenu(int menu, std::string_view title) {
    QWidget* parent = FindMenu(menu);
    if (!parent) {
        return 0;
    }
    const int number = NextMenuNumber();
    auto* submenu = new QMenu(ToQString(title), parent);
    submenu->setObjectName(MenuName(number));
    submenu->setProperty(kWindowProperty, parent->property(kWindowProperty));
    if (auto* bar = qobject_cast<QMenuBar*>(parent)) {
        bar->addMenu(submenu);
        FitClientBelow(*bar);
    } else if (auto* owner = qobject_cast<QMenu*>(parent)) {
        owner->addMenu(submenu);
    }
    return number;
}

void AddMenuItem(int menu, int command, std::string_view text) {
    QWidget* parent = FindMenu(menu);
    if (!parent) {
        return;
    }
    // A "\t" in the text shows what follows at the right, as the shortcut's text.
    auto* item = new QAction(ToQString(text), parent);
    item->setObjectName(QString::fromStdString(CommandObjectName(command)));
    const int window = parent->property(kWindowProperty).toInt();
    QObject::connect(item, &QAction::triggered, item, [item, window, command] {
        if (item->isCheckable()) {
            // The program sets check marks itself; undo Qt's own toggle.
            const QSignalBlocker quiet(item);
            item->setChecked(!item->isChecked());
        }
        PostEvent({EventKind::Command, window, command, 0, 0});
    });
    parent->addAction(item);
}

void AddMenuSeparator(int menu) {
    if (auto* parent = qobject_cast<QMenu*>(FindMenu(menu))) {
        parent->addSeparator();
    }
}

void SetMenuItemEnabled(int command, bool enabled) {
    if (QAction* item = FindMenuItem(command)) {
        item->setEnabled(enabled);
    }
}

bool MenuItemEnabled(int command) {
    const QAction* item = FindMenuItem(command);
    return item && item->isEnabled();
}

void SetMenuItemChecked(int command, bool checked) {
    if (QAction* item = FindMenuItem(command)) {
        const QSignalBlocker quiet(item);
        item->setCheckable(true);
        item->setChecked(checked);
    }
}

bool MenuItemChecked(int command) {
    const QAction* item = FindMenuItem(command);
    return item && item->isChecked();
}

std::string MenuItemText(int command) {
    const QAction* item = FindMenuItem(command);
    return item ? item->text().toStdString() : std::string();
}

void AddShortcut(int window, std::string_view keys, int command) {
    QWidget* top = FindWindowWidget(window);
    const QKeySequence sequence = QKeySequence::fromString(ToQString(keys), QKeySequence::PortableText);
    if (!top || sequence.isEmpty()) {
        return;
    }
    auto* shortcut = new QShortcut(sequence, top);
    shortcut->setObjectName(QStringLiteral("shortcut:%1").arg(command));
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, top, [top, window, command] {
        if (top->isEnabled()) {
            PostEvent({EventKind::Command, window, command, 0, 0});
        }
    });
}
