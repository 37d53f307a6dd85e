#include "platform/platform.h"
#include "platform/test_hooks.h"
#include "platform/widget_lookup.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <gtest/gtest.h>
#include <string>

namespace {

class WindowsTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetTestHooks(); }
    void TearDown() override {
        CloseAllWindows();
        ResetTestHooks();
    }
};

int OpenMainLikeWindow() {
    const int window = OpenWindow({"Quillmorph 0.20", 710, 420, WindowPlacement::CentreOfScreen, 0, 0, 0,
                                   WindowFrame::TitleBarWithCloseMinimise});
    const int bar = CreateMenuBar(window);
    for (const char* title : {"&File", "&Edit", "&Image", "&View", "&Options", "&Help"}) {
        AddMenuItem(AddSubmenu(bar, title), 99, "x");
    }
    return window;
}

TEST_F(WindowsTest, MenuBarTakesItsHeightFromTheClientArea) {
    const int window = OpenMainLikeWindow();
    ASSERT_NE(window, 0);
    auto* widget = Named<QWidget>(WindowObjectName(window));
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->size(), QSize(710, 420));
    const PixelSize client = WindowClientSize(window);
    EXPECT_EQ(client.width, 710);
    EXPECT_LT(client.height, 420);
    // The lowest controls of the main window end at y = 395.
    EXPECT_GE(client.height, 395);
    // Fixed size, minimise but no maximise.
    EXPECT_EQ(widget->minimumSize(), widget->maximumSize());
    EXPECT_TRUE(widget->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(widget->windowFlags() & Qt::WindowMaximizeButtonHint);
}

TEST_F(WindowsTest, CreatedHiddenShownOnRequestAndClosedWithOwnedWindows) {
    const int main = OpenMainLikeWindow();
    EXPECT_FALSE(WindowVisible(main));
    ShowWindow(main);
    EXPECT_TRUE(WindowVisible(main));
    EXPECT_EQ(WindowTitle(main), "Quillmorph 0.20");
    SetWindowTitle(main, "Other");
    EXPECT_EQ(WindowTitle(main), "Other");

    const int owned = OpenWindow({"Quillmorph - Histogram", 275, 430, WindowPlacement::CentreOfOwner, 0, 0,
                                  main, WindowFrame::TitleBarWithClose});
    const int button = AddPushButton(owned, 10, 10, 80, 20, "OK");
    ShowWindow(owned);
    // Every window carries the program's icon, in the sizes a window manager asks for.
    for (const int window : {main, owned}) {
        const QIcon icon = Named<QWidget>(WindowObjectName(window))->windowIcon();
        EXPECT_EQ(icon.availableSizes(), (QList<QSize>{{16, 16}, {32, 32}, {48, 48}, {256, 256}}));
    }
    // Owned windows are not children: disabling the owner leaves them usable.
    SetWindowEnabled(main, false);
    EXPECT_FALSE(WindowEnabled(main));
    EXPECT_TRUE(WindowEnabled(owned));
    EXPECT_TRUE(Named<QWidget>(ControlObjectName(button))->isEnabled());

    CloseWindow(main);
    EXPECT_FALSE(WindowExists(main));
    EXPECT_FALSE(WindowExists(owned));
    EXPECT_FALSE(ControlExists(button));
    EXPECT_FALSE(WindowEnabled(main));
}

TEST_F(WindowsTest, PlacementsAndTheDisplay) {
    const PixelSize display = DisplaySize();
    const QSize screen = QGuiApplication::primaryScreen()->size();
    EXPECT_EQ(display.width, screen.width());
    EXPECT_EQ(display.height, screen.height());

    const int popup = OpenWindow(
        {"", display.width, display.height, WindowPlacement::At, 0, 0, 0, WindowFrame::Borderless});
    ShowWindow(popup);
    const ScreenPoint corner = WindowClientPosition(popup);
    EXPECT_EQ(corner.x, 0);
    EXPECT_EQ(corner.y, 0);
    EXPECT_TRUE(Named<QWidget>(WindowObjectName(popup))->windowFlags() & Qt::FramelessWindowHint);

    const int centred = OpenWindow({"About", 415, 290});
    ShowWindow(centred);
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const ScreenPoint topLeft = WindowClientPosition(centred);
    EXPECT_NEAR(topLeft.x + 415 / 2, area.center().x(), 1);
    EXPECT_NEAR(topLeft.y + 290 / 2, area.center().y(), 1);

    EXPECT_EQ(OpenWindow({"none", 0, 10}), 0);
}

TEST_F(WindowsTest, FixedControlIdentifiersAreExclusive) {
    const int window = OpenWindow({"w", 300, 100});
    EXPECT_EQ(AddPictureFrame(window, 0, 0, 25, 25, true, 43), 43);
    EXPECT_EQ(AddPictureFrame(window, 30, 0, 25, 25, true, 43), 0);
    const int automatic = AddStaticText(window, 0, 40, 50, 15, "x", TextAlign::Left);
    EXPECT_GE(automatic, 100);
    EXPECT_EQ(ControlWindow(43), window);
    EXPECT_EQ(AddStaticText(window + 1000, 0, 0, 10, 10, "x", TextAlign::Left), 0);
    CloseWindow(window);
    // Closing the window frees its fixed identifiers for the next one.
    const int again = OpenWindow({"w", 300, 100});
    EXPECT_EQ(AddPictureFrame(again, 0, 0, 25, 25, true, 43), 43);
}

// Every text of the main window must fit the box the layout gives it, in the font the
// platform picks for controls.
TEST_F(WindowsTest, MainWindowTextsFitTheirBoxes) {
    const int window = OpenMainLikeWindow();
    ShowWindow(window);
    struct Box {
        const char* text;
        int width;
        int height;
    };
    const QFontMetrics metrics(QApplication::font());
    EXPECT_LE(metrics.height(), 15);

    for (const Box& box :
         {Box{"Strength:", 45, 15}, Box{"Method:", 50, 15}, Box{"Screen Mode:", 70, 15}, Box{"100%", 35, 15},
          Box{"RGB Channel:", 70, 15}, Box{"Brightness:", 60, 15}, Box{"-100%", 30, 15}}) {
        const int id = AddStaticText(window, 0, 100, box.width, box.height, box.text, TextAlign::Left);
        auto* label = Named<QLabel>(ControlObjectName(id));
        EXPECT_LE(label->sizeHint().width(), box.width) << box.text;
        EXPECT_EQ(TextWidth(id, box.text), metrics.horizontalAdvance(QString::fromUtf8(box.text)));
    }
    for (const Box& box : {Box{"Use Serpentine Method", 170, 15}, Box{"Smooth Image Scaling", 125, 15},
                           Box{"Stretch Image", 125, 15}}) {
        const int id = AddCheckBox(window, 0, 120, box.width, box.height, box.text);
        auto* check = Named<QCheckBox>(ControlObjectName(id));
        EXPECT_LE(check->sizeHint().width(), box.width) << box.text;
    }
    for (const Box& box : {Box{"Auto Palette", 115, 20}, Box{"Reset Palette", 115, 20}}) {
        const int id = AddPushButton(window, 0, 140, box.width, box.height, box.text);
        auto* button = Named<QPushButton>(ControlObjectName(id));
        EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()) + 8, box.width) << box.text;
        EXPECT_LE(button->fontMetrics().height() + 4, box.height) << box.text;
    }
    for (const Box& box :
         {Box{"Image Options", 190, 80}, Box{"Palette Options", 260, 80}, Box{"Dither Options", 240, 80},
          Box{"Preview Image (640 x 256 pixels)", 345, 285}}) {
        const int id = AddGroupBox(window, 0, 160, box.width, box.height, box.text);
        auto* group = Named<QGroupBox>(ControlObjectName(id));
        QStyleOptionGroupBox option;
        option.initFrom(group);
        option.text = group->title();
        option.subControls = QStyle::SC_GroupBoxLabel;
        const QRect label =
            group->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, group);
        EXPECT_LE(label.right(), box.width - 1) << box.text;
    }
    // The drop-down lists must show their longest entries.
    const int methods = AddDropDownList(window, 525, 330, 170, 200);
    AddListItem(methods, "Floyd-Steinberg (Fan Modified)");
    const int modes = AddDropDownList(window, 85, 330, 100, 200);
    AddListItem(modes, "Mode 0");
    for (const int id : {methods, modes}) {
        auto* list = Named<QComboBox>(ControlObjectName(id));
        EXPECT_LE(list->sizeHint().width(), list->width()) << ListItemText(id, 0);
        // Closed, a list must leave the row below it (25 pixels down) free.
        EXPECT_LE(list->height(), 25);
    }
}

} // namespace
