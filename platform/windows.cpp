#include "platform/event_queue.h"
#include "platform/native_paths.h"
#include "platform/object_names.h"
#include "platform/platform.h"
#include "platform/test_mode.h"
#include "platform/widget_registry.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEvent>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QUrl>
#include <QWidget>
#include <QWindow>
#include <map>
#include <memory>
#include <qdrawutil.h>
#include <vector>

namespace {

// A top-level window: the close box and drops become events; the program decides what
// happens to the window.
class WindowWidget : public QWidget {
  public:
    WindowWidget(int id, int owner, int frameWidth) : id_(id), owner_(owner), frameWidth_(frameWidth) {}

    int Id() const { return id_; }
    int Owner() const { return owner_; }
    bool takesInput = true;

  protected:
    void paintEvent(QPaintEvent* event) override {
        QWidget::paintEvent(event);
        if (frameWidth_ > 0) {
            QPainter painter(this);
            qDrawWinPanel(&painter, rect(), palette(), false, &palette().brush(QPalette::Window));
        }
    }

    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        // A disabled window takes no input, its close box included.
        if (isEnabled()) {
            PostEvent({EventKind::CloseRequest, id_, 0, 0, 0});
        }
    }

    void dragEnterEvent(QDragEnterEvent* event) override {
        if (acceptDrops() && isEnabled() && takesInput && event->mimeData()->hasUrls()) {
            event->acceptProposedAction();
        }
    }

    void dragMoveEvent(QDragMoveEvent* event) override {
        if (acceptDrops() && isEnabled() && takesInput && event->mimeData()->hasUrls()) {
            event->acceptProposedAction();
        }
    }

    void dropEvent(QDropEvent* event) override {
        if (!acceptDrops() || !isEnabled() || !takesInput) {
            return;
        }
        std::vector<std::string> paths;
        for (const QUrl& url : event->mimeData()->urls()) {
            if (std::string path = NativePathOf(url); !path.empty()) {
                paths.push_back(std::move(path));
            }
        }
        if (paths.empty()) {
            return;
        }
        event->acceptProposedAction();
        PostEvent({EventKind::FilesDropped, id_, 0, 0, StoreDrop(std::move(paths))});
    }

  private:
    int id_;
    int owner_;
    int frameWidth_;
};

// The width of a thin dialog frame: a two-pixel raised edge and one pixel of face.
constexpr int kThinFrameWidth = 3;

struct Windows {
    std::map<int, std::unique_ptr<WindowWidget>> open;
    int next = 1;
};

Windows& AllWindows() {
    static Windows windows;
    return windows;
}

WindowWidget* FindWindow(int window) {
    const auto found = AllWindows().open.find(window);
    return found == AllWindows().open.end() ? nullptr : found->second.get();
}

Qt::WindowFlags FlagsFor(WindowFrame frame) {
    const Qt::WindowFlags titled = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    switch (frame) {
    case WindowFrame::TitleBar:
        return titled;
    case WindowFrame::TitleBarWithClose:
        return titled | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    case WindowFrame::TitleBarWithCloseMinimise:
        return titled | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint;
    case WindowFrame::Borderless:
    case WindowFrame::ThinFramePopup:
        return Qt::Window | Qt::FramelessWindowHint;
    }
    return titled;
}

void Place(QWidget& widget, const WindowSpec& layout, QWidget* owner) {
    const QSize size = widget.size();
    if (layout.placement == WindowPlacement::At) {
        widget.move(layout.x, layout.y);
        return;
    }
    QRect area;
    if (layout.placement == WindowPlacement::CentreOfOwner && owner) {
        area = owner->geometry();
    } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        area = screen->availableGeometry();
    }
    QRect client(QPoint(0, 0), size);
    client.moveCenter(area.center());
    widget.setGeometry(client);
}

bool IsUserInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TabletPress:
        return true;
    default:
        return false;
    }
}

// Swallows the user's input to every window that takes none, before Qt hands it to the
// control, menu bar or shortcut it was meant for, so nothing there changes on screen.
class InputFilter : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* receiver, QEvent* event) override {
        if (!IsUserInput(event->type())) {
            return false;
        }
        QObject* object = receiver;
        while (object && !object->isWidgetType()) {
            object = object->parent(); // a shortcut or an action belongs to a widget
        }
        const auto* window =
            object ? dynamic_cast<const WindowWidget*>(qobject_cast<QWidget*>(object)->window()) : nullptr;
        return window && !window->takesInput;
    }
};

void InstallInputFilter() {
    static InputFilter* filter = nullptr;
    if (!filter) {
        // Owned by the application and gone with it; the platform may start again later.
        filter = new InputFilter(QCoreApplication::instance());
        QCoreApplication::instance()->installEventFilter(filter);
        QObject::connect(filter, &QObject::destroyed, [] { filter = nullptr; });
    }
}

} // namespace

QWidget* FindWindowWidget(int window) {
    return FindWindow(window);
}

QWidget* FindClientWidget(int window) {
    QWidget* top = FindWindow(window);
    return top ? top->findChild<QWidget*>(QStringLiteral("client"), Qt::FindDirectChildrenOnly) : nullptr;
}

int OpenWindow(const WindowSpec& layout) {
    if (!PlatformActive() || layout.width < 1 || layout.height < 1) {
        return 0;
    }
    WindowWidget* owner = FindWindow(layout.owner);
    const int id = AllWindows().next++;
    const int frame = layout.frame == WindowFrame::ThinFramePopup ? kThinFrameWidth : 0;
    auto widget = std::make_unique<WindowWidget>(id, owner ? layout.owner : 0, frame);
    widget->setObjectName(QString::fromStdString(WindowObjectName(id)));
    widget->setWindowFlags(FlagsFor(layout.frame));
    widget->setWindowTitle(ToQString(layout.title));
    widget->setFixedSize(layout.width + 2 * frame, layout.height + 2 * frame);
    auto* client = new QWidget(widget.get());
    client->setObjectName(QStringLiteral("client"));
    client->setGeometry(frame, frame, layout.width, layout.height);
    Place(*widget, layout, owner);
    if (owner) {
        // Owned, not a child: a child window would be disabled with its owner.
        owner->winId();
        widget->winId();
        if (widget->windowHandle() && owner->windowHandle()) {
            widget->windowHandle()->setTransientParent(owner->windowHandle());
        }
    }
    AllWindows().open.emplace(id, std::move(widget));
    return id;
}

void ShowWindow(int window) {
    if (WindowWidget* widget = FindWindow(window)) {
        widget->show();
        if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
            widget->raise();
        }
        widget->activateWindow();
    }
}

// Recursion is bounded by the chain of owners, each an open window.
void CloseWindow(int window) { // NOLINT(misc-no-recursion)
    if (!FindWindow(window)) {
        return;
    }
    std::vector<int> owned;
    for (const auto& [id, widget] : AllWindows().open) {
        if (widget->Owner() == window) {
            owned.push_back(id);
        }
    }
    for (const int id : owned) {
        CloseWindow(id);
    }
    const auto found = AllWindows().open.find(window);
    std::unique_ptr<WindowWidget> widget = std::move(found->second);
    AllWindows().open.erase(found);
    widget->hide();
}

void CloseAllWindows() {
    while (!AllWindows().open.empty()) {
        CloseWindow(AllWindows().open.begin()->first);
    }
}

bool WindowExists(int window) {
    return FindWindow(window) != nullptr;
}

bool WindowVisible(int window) {
    const WindowWidget* widget = FindWindow(window);
    return widget && widget->isVisible();
}

void SetWindowTitle(int window, std::string_view title) {
    if (WindowWidget* widget = FindWindow(window)) {
        widget->setWindowTitle(ToQString(title));
    }
}

std::string WindowTitle(int window) {
    const WindowWidget* widget = FindWindow(window);
    return widget ? widget->windowTitle().toStdString() : std::string();
}

PixelSize WindowClientSize(int window) {
    const QWidget* client = FindClientWidget(window);
    return client ? PixelSize{client->width(), client->height()} : PixelSize{};
}

ScreenPoint WindowClientPosition(int window) {
    const QWidget* client = FindClientWidget(window);
    if (!client) {
        return {};
    }
    const QPoint corner = client->mapToGlobal(QPoint(0, 0));
    return {corner.x(), corner.y()};
}

void SetWindowBackground(int window, ColourValue colour) {
    if (WindowWidget* widget = FindWindow(window)) {
        QPalette palette = widget->palette();
        palette.setColor(QPalette::Window,
                         QColor(static_cast<int>(RedOf(colour)), static_cast<int>(GreenOf(colour)),
                                static_cast<int>(BlueOf(colour))));
        widget->setPalette(palette);
        widget->setAutoFillBackground(true);
    }
}

void SetWindowAcceptsDrops(int window, bool accepts) {
    if (WindowWidget* widget = FindWindow(window)) {
        widget->setAcceptDrops(accepts);
    }
}

void SetWindowTakesInput(int window, bool takes) {
    if (WindowWidget* widget = FindWindow(window)) {
        widget->takesInput = takes;
        InstallInputFilter();
    }
}

bool WindowTakesInput(int window) {
    const WindowWidget* widget = FindWindow(window);
    return widget && widget->takesInput;
}

void SetWindowEnabled(int window, bool enabled) {
    if (WindowWidget* widget = FindWindow(window)) {
        widget->setEnabled(enabled);
    }
}

bool WindowEnabled(int window) {
    const WindowWidget* widget = FindWindow(window);
    return widget && widget->isEnabled();
}

PixelSize DisplaySize() {
    const QScreen* screen = PlatformActive() ? QGuiApplication::primaryScreen() : nullptr;
    return screen ? PixelSize{screen->size().width(), screen->size().height()} : PixelSize{};
}

ScreenPoint MousePosition() {
    if (const auto simulated = SimulatedMousePosition()) {
        return *simulated;
    }
    if (!PlatformActive()) {
        return {};
    }
    const QPoint position = QCursor::pos();
    return {position.x(), position.y()};
}

bool LeftMouseButtonDown() {
    if (const auto simulated = SimulatedLeftButton()) {
        return *simulated;
    }
    return PlatformActive() && (QGuiApplication::mouseButtons() & Qt::LeftButton);
}
