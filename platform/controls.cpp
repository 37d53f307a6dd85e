#include "imaging/picture.h"
#include "platform/event_queue.h"
#include "platform/object_names.h"
#include "platform/platform.h"
#include "platform/widget_registry.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <algorithm>

namespace {

constexpr int kFirstAutomaticControl = 100;

QColor ToQColor(ColourValue colour) {
    return {static_cast<int>(RedOf(colour)), static_cast<int>(GreenOf(colour)),
            static_cast<int>(BlueOf(colour))};
}

QWidget* FindControl(int control) {
    return control == 0 ? nullptr
                        : FindInWindows<QWidget>(QString::fromStdString(ControlObjectName(control)));
}

template <class Widget> Widget* Find(int control) {
    return qobject_cast<Widget*>(FindControl(control));
}

void PostControlEvent(const QWidget* widget) {
    PostEvent({EventKind::Control, widget->property(kWindowProperty).toInt(), 0,
               widget->property(kControlProperty).toInt(), 0});
}

// The picture's pixels are buffer words, which is Qt's 32-bit RGB layout once the unused
// top byte reads as opaque.
QImage ImageOfPicture(int number) {
    const Picture* picture = number ? FindPicture(number) : nullptr;
    if (!picture || picture->width < 1 || picture->height < 1) {
        return {};
    }
    QImage image(picture->width, picture->height, QImage::Format_RGB32);
    if (image.isNull()) {
        return {};
    }
    const auto width = static_cast<std::size_t>(picture->width);
    for (int y = 0; y < picture->height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
        const BufferWord* source = picture->pixels.data() + static_cast<std::size_t>(y) * width;
        std::transform(source, source + width, row, [](BufferWord word) { return word | 0xFF000000u; });
    }
    return image;
}

// Shows a copy of a numbered picture, taken when shown or asked to repaint, so a picture
// changed in the store appears only when the program says so.
class PictureFrame : public QFrame {
  public:
    explicit PictureFrame(QWidget* parent) : QFrame(parent) {}

    void Show(int picture) {
        picture_ = picture;
        Reload();
    }
    void Reload() {
        image_ = ImageOfPicture(picture_);
        update();
    }
    int Picture() const { return picture_; }
    bool reportsClicks = false;

  protected:
    void paintEvent(QPaintEvent* event) override {
        QFrame::paintEvent(event);
        if (!image_.isNull()) {
            QPainter painter(this);
            painter.setClipRect(contentsRect());
            painter.drawImage(contentsRect().topLeft(), image_);
        }
    }
    void mousePressEvent(QMouseEvent* event) override { pressed_ = event->button() == Qt::LeftButton; }
    void mouseReleaseEvent(QMouseEvent* event) override {
        const bool click =
            pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
        pressed_ = false;
        if (click && reportsClicks) {
            PostControlEvent(this);
        }
    }

  private:
    int picture_ = 0;
    QImage image_;
    bool pressed_ = false;
};

// A track bar reports one more change when the mouse button is let go after any press on
// it, thumb or groove: a press on the groove moves the value while the button is still
// down, and the program converts only at a change it sees with the button up.
class TrackBar : public QSlider {
  public:
    explicit TrackBar(QWidget* parent) : QSlider(Qt::Horizontal, parent) {}

  protected:
    void mousePressEvent(QMouseEvent* event) override {
        pressed_ = pressed_ || event->button() == Qt::LeftButton;
        QSlider::mousePressEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        QSlider::mouseReleaseEvent(event);
        if (pressed_ && event->button() == Qt::LeftButton) {
            pressed_ = false;
            PostControlEvent(this);
        }
    }

  private:
    bool pressed_ = false;
};

int NextAutomaticId() {
    static int next = kFirstAutomaticControl;
    while (FindControl(next)) {
        ++next;
    }
    return next++;
}

// Creates a control of type Widget in the window's client area, or nothing when the
// window is missing or a fixed identifier is taken.
template <class Widget> Widget* Create(int window, int x, int y, int width, int height, int& id) {
    QWidget* client = FindClientWidget(window);
    if (!client || id < 0 || (id != 0 && FindControl(id))) {
        id = 0;
        return nullptr;
    }
    if (id == 0) {
        id = NextAutomaticId();
    }
    auto* widget = new Widget(client);
    widget->setObjectName(QString::fromStdString(ControlObjectName(id)));
    widget->setProperty(kWindowProperty, window);
    widget->setProperty(kControlProperty, id);
    widget->setGeometry(x, y, std::max(width, 0), std::max(height, 0));
    widget->show();
    return widget;
}

Qt::Alignment AlignmentOf(TextAlign align) {
    switch (align) {
    case TextAlign::Left:
        return Qt::AlignLeft | Qt::AlignTop;
    case TextAlign::Centre:
        return Qt::AlignHCenter | Qt::AlignTop;
    case TextAlign::Right:
        return Qt::AlignRight | Qt::AlignTop;
    }
    return Qt::AlignLeft | Qt::AlignTop;
}

// A drop-down list keeps its closed height; the given height is that of the open list.
void PlaceDropDownList(QComboBox& list, int x, int y, int width, int openHeight) {
    const int closed = list.sizeHint().height();
    list.setGeometry(x, y, std::max(width, 0), closed);
    const int itemHeight = std::max(1, list.fontMetrics().height() + 4);
    list.setMaxVisibleItems(std::max(1, (openHeight - closed) / itemHeight));
    list.setProperty("quillmorphOpenHeight", openHeight);
}

} // namespace

int AddGroupBox(int window, int x, int y, int width, int height, std::string_view title, int id) {
    auto* box = Create<QGroupBox>(window, x, y, width, height, id);
    if (box) {
        box->setTitle(ToQString(title));
        // The frame line runs through the middle of the title, so the layout's boxes
        // hold their contents below it.
        box->setStyleSheet(
            QStringLiteral(
                "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: %1px; }"
                "QGroupBox::title { subcontrol-origin: margin; left: 7px; padding: 0 2px;"
                " background-color: palette(window); }")
                .arg(box->fontMetrics().height() / 2));
        // Group boxes are made after what they surround and only frame it.
        box->setAttribute(Qt::WA_TransparentForMouseEvents);
        box->lower();
    }
    return id;
}

int AddStaticText(int window, int x, int y, int width, int height, std::string_view text, TextAlign align,
                  int id) {
    if (auto* label = Create<QLabel>(window, x, y, width, height, id)) {
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(AlignmentOf(align));
        label->setText(ToQString(text));
    }
    return id;
}

int AddPictureFrame(int window, int x, int y, int width, int height, bool sunkenBorder, int id) {
    if (auto* frame = Create<PictureFrame>(window, x, y, width, height, id)) {
        if (sunkenBorder) {
            frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            frame->setLineWidth(1);
        } else {
            frame->setFrameStyle(QFrame::NoFrame);
        }
    }
    return id;
}

int AddTrackBar(int window, int x, int y, int width, int height, int minimum, int maximum, int id) {
    if (auto* slider = Create<TrackBar>(window, x, y, width, height, id)) {
        slider->setRange(minimum, maximum);
        // Moves from the keyboard, the wheel or the mouse report at once; the release of
        // the button reports once more (TrackBar).
        QObject::connect(slider, &QSlider::valueChanged, slider, [slider] { PostControlEvent(slider); });
    }
    return id;
}

int AddCheckBox(int window, int x, int y, int width, int height, std::string_view text, int id) {
    if (auto* box = Create<QCheckBox>(window, x, y, width, height, id)) {
        box->setText(ToQString(text));
        QObject::connect(box, &QCheckBox::clicked, box, [box] { PostControlEvent(box); });
    }
    return id;
}

int AddPushButton(int window, int x, int y, int width, int height, std::string_view text, int id) {
    if (auto* button = Create<QPushButton>(window, x, y, width, height, id)) {
        button->setText(ToQString(text));
        button->setAutoDefault(false);
        QObject::connect(button, &QPushButton::clicked, button, [button] { PostControlEvent(button); });
    }
    return id;
}

int AddDropDownList(int window, int x, int y, int width, int height, int id) {
    if (auto* list = Create<QComboBox>(window, x, y, width, height, id)) {
        list->setEditable(false);
        PlaceDropDownList(*list, x, y, width, height);
        // activated fires also when the same entry is chosen again.
        QObject::connect(list, &QComboBox::activated, list, [list] { PostControlEvent(list); });
    }
    return id;
}

int AddContainer(int window, int x, int y, int width, int height, int id) {
    if (auto* panel = Create<QWidget>(window, x, y, width, height, id)) {
        panel->setBackgroundRole(QPalette::Button);
        panel->setAutoFillBackground(true);
    }
    return id;
}

void PutControlInContainer(int control, int container) {
    QWidget* widget = FindControl(control);
    QWidget* panel = FindControl(container);
    if (!widget || !panel || widget == panel || widget->isAncestorOf(panel) ||
        widget->property(kWindowProperty) != panel->property(kWindowProperty)) {
        return;
    }
    const QRect geometry = widget->geometry();
    widget->setParent(panel);
    widget->setGeometry(geometry);
    widget->show();
}

bool ControlExists(int control) {
    return FindControl(control) != nullptr;
}

int ControlWindow(int control) {
    const QWidget* widget = FindControl(control);
    return widget ? widget->property(kWindowProperty).toInt() : 0;
}

void MoveControl(int control, int x, int y, int width, int height) {
    QWidget* widget = FindControl(control);
    if (!widget) {
        return;
    }
    if (auto* list = qobject_cast<QComboBox*>(widget)) {
        PlaceDropDownList(*list, x, y, width, height);
    } else {
        widget->setGeometry(x, y, std::max(width, 0), std::max(height, 0));
    }
}

void SetControlText(int control, std::string_view text) {
    QWidget* widget = FindControl(control);
    const QString value = ToQString(text);
    if (auto* box = qobject_cast<QGroupBox*>(widget)) {
        box->setTitle(value);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(value);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(value);
    }
}

std::string ControlText(int control) {
    const QWidget* widget = FindControl(control);
    if (const auto* box = qobject_cast<const QGroupBox*>(widget)) {
        return box->title().toStdString();
    }
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        return label->text().toStdString();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        return button->text().toStdString();
    }
    if (const auto* list = qobject_cast<const QComboBox*>(widget)) {
        return list->currentText().toStdString();
    }
    return {};
}

void SetControlChecked(int control, bool checked) {
    if (auto* box = Find<QCheckBox>(control)) {
        const QSignalBlocker quiet(box);
        box->setChecked(checked);
    }
}

bool ControlChecked(int control) {
    const auto* box = Find<QCheckBox>(control);
    return box && box->isChecked();
}

void AddListItem(int control, std::string_view text) {
    if (auto* list = Find<QComboBox>(control)) {
        const QSignalBlocker quiet(list);
        list->addItem(ToQString(text));
    }
}

int ListItemCount(int control) {
    const auto* list = Find<QComboBox>(control);
    return list ? list->count() : 0;
}

std::string ListItemText(int control, int index) {
    const auto* list = Find<QComboBox>(control);
    return list && index >= 0 && index < list->count() ? list->itemText(index).toStdString() : std::string();
}

void SelectListItem(int control, int index) {
    auto* list = Find<QComboBox>(control);
    if (list && index >= -1 && index < list->count()) {
        const QSignalBlocker quiet(list);
        list->setCurrentIndex(index);
    }
}

int ListSelection(int control) {
    const auto* list = Find<QComboBox>(control);
    return list ? list->currentIndex() : -1;
}

void SetTrackBarPosition(int control, int position) {
    if (auto* slider = Find<QSlider>(control)) {
        const QSignalBlocker quiet(slider);
        slider->setValue(position);
    }
}

int TrackBarPosition(int control) {
    const auto* slider = Find<QSlider>(control);
    return slider ? slider->value() : 0;
}

void ShowPictureInControl(int control, int picture) {
    if (auto* frame = dynamic_cast<PictureFrame*>(FindControl(control))) {
        frame->Show(picture);
    }
}

void RepaintControl(int control) {
    QWidget* widget = FindControl(control);
    if (auto* frame = dynamic_cast<PictureFrame*>(widget)) {
        frame->Reload();
    } else if (widget) {
        widget->update();
    }
}

int ControlPicture(int control) {
    const auto* frame = dynamic_cast<const PictureFrame*>(FindControl(control));
    return frame ? frame->Picture() : 0;
}

void SetClickReporting(int control, bool on) {
    if (auto* frame = dynamic_cast<PictureFrame*>(FindControl(control))) {
        frame->reportsClicks = on;
    }
}

bool ClickReporting(int control) {
    const auto* frame = dynamic_cast<const PictureFrame*>(FindControl(control));
    return frame && frame->reportsClicks;
}

void SetControlColours(int control, ColourValue text, ColourValue background) {
    if (QWidget* widget = FindControl(control)) {
        QPalette palette = widget->palette();
        palette.setColor(QPalette::WindowText, ToQColor(text));
        palette.setColor(QPalette::Window, ToQColor(background));
        widget->setPalette(palette);
        widget->setAutoFillBackground(true);
    }
}

void SetControlFont(int control, std::string_view family, int points, bool bold) {
    if (QWidget* widget = FindControl(control)) {
        QFont font = QApplication::font();
        font.setFamilies({ToQString(family), QApplication::font().family()});
        font.setPointSize(std::max(points, 1));
        font.setBold(bold);
        widget->setFont(font);
    }
}

int TextWidth(int control, std::string_view text) {
    const QWidget* widget = FindControl(control);
    return widget ? QFontMetrics(widget->font()).horizontalAdvance(ToQString(text)) : 0;
}
