// Real clicks and keys on real widgets must come out of the blocking wait as the
// program's events, with the right numbers; the program's own changes must not.
#include "imaging/picture.h"
#include "platform/platform.h"
#include "platform/test_hooks.h"
#include "platform/widget_lookup.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSlider>
#include <QStyleOptionSlider>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <gtest/gtest.h>
#include <string>

namespace {

QAction* Action(const std::string& name) {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (auto* action = top->findChild<QAction*>(QString::fromStdString(name))) {
            return action;
        }
    }
    return nullptr;
}

void ExpectControl(int window, int control) {
    const Event event = WaitEvent();
    EXPECT_EQ(event.kind, EventKind::Control);
    EXPECT_EQ(event.window, window);
    EXPECT_EQ(event.control, control);
}

void ExpectCommand(int window, int command) {
    const Event event = WaitEvent();
    EXPECT_EQ(event.kind, EventKind::Command);
    EXPECT_EQ(event.window, window);
    EXPECT_EQ(event.command, command);
}

bool NothingQueued() {
    QApplication::processEvents();
    Event event;
    return !PollEvent(event);
}

class WidgetsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetTestHooks();
        window = OpenWindow({"Widgets", 710, 420, WindowPlacement::CentreOfScreen, 0, 0, 0,
                             WindowFrame::TitleBarWithCloseMinimise});
        button = AddPushButton(window, 210, 365, 115, 20, "Auto Palette");
        check = AddCheckBox(window, 475, 375, 170, 15, "Use Serpentine Method");
        list = AddDropDownList(window, 85, 330, 100, 200);
        for (const char* mode : {"Mode 0", "Mode 1", "Mode 2"}) {
            AddListItem(list, mode);
        }
        SelectListItem(list, 1);
        slider = AddTrackBar(window, 520, 355, 140, 20, 0, 100);
        SetTrackBarPosition(slider, 50);
        ShowWindow(window);
        QApplication::setActiveWindow(Named<QWidget>(WindowObjectName(window)));
    }
    void TearDown() override {
        CloseAllWindows();
        ResetTestHooks();
    }
    int window = 0;
    int button = 0;
    int check = 0;
    int list = 0;
    int slider = 0;
};

TEST_F(WidgetsTest, ClicksChoicesAndMovesBecomeControlEvents) {
    QTest::mouseClick(Named<QPushButton>(ControlObjectName(button)), Qt::LeftButton);
    ExpectControl(window, button);

    auto* box = Named<QCheckBox>(ControlObjectName(check));
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
    ExpectControl(window, check);
    EXPECT_TRUE(ControlChecked(check));

    auto* combo = Named<QComboBox>(ControlObjectName(list));
    QTest::keyClick(combo, Qt::Key_Down);
    ExpectControl(window, list);
    EXPECT_EQ(ListSelection(list), 2);
    // Choosing the entry already selected is reported too.
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      view->visualRect(view->model()->index(2, 0)).center());
    ExpectControl(window, list);
    EXPECT_EQ(ListSelection(list), 2);

    auto* track = Named<QSlider>(ControlObjectName(slider));
    QTest::keyClick(track, Qt::Key_Right);
    ExpectControl(window, slider);
    EXPECT_EQ(TrackBarPosition(slider), 51);

    // Letting go of the thumb is reported once more, without a change of position.
    QStyleOptionSlider option;
    option.initFrom(track);
    option.orientation = Qt::Horizontal;
    option.minimum = track->minimum();
    option.maximum = track->maximum();
    option.sliderPosition = track->value();
    option.sliderValue = track->value();
    const QPoint thumb =
        track->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, track).center();
    QTest::mousePress(track, Qt::LeftButton, {}, thumb);
    EXPECT_TRUE(NothingQueued());
    QTest::mouseRelease(track, Qt::LeftButton, {}, thumb);
    ExpectControl(window, slider);
    EXPECT_EQ(TrackBarPosition(slider), 51);
    EXPECT_TRUE(NothingQueued());

    // A press on the groove moves the value while the button is down; its release is
    // reported as well.
    const QPoint groove(track->width() - 3, track->height() / 2);
    QTest::mousePress(track, Qt::LeftButton, {}, groove);
    ExpectControl(window, slider);
    EXPECT_GT(TrackBarPosition(slider), 51);
    QTest::mouseRelease(track, Qt::LeftButton, {}, groove);
    ExpectControl(window, slider);
    EXPECT_TRUE(NothingQueued());
}

TEST_F(WidgetsTest, ProgrammaticChangesRaiseNoEvents) {
    SetControlChecked(check, true);
    SelectListItem(list, 0);
    AddListItem(list, "Mode 8");
    SetTrackBarPosition(slider, 75);
    SetControlText(button, "Reset Palette");
    MoveControl(button, 335, 365, 115, 20);
    EXPECT_TRUE(NothingQueued());
    EXPECT_TRUE(ControlChecked(check));
    EXPECT_EQ(ListSelection(list), 0);
    EXPECT_EQ(ListItemCount(list), 4);
    EXPECT_EQ(TrackBarPosition(slider), 75);
    EXPECT_EQ(ControlText(button), "Reset Palette");
    EXPECT_EQ(Named<QWidget>(ControlObjectName(button))->geometry(), QRect(335, 365, 115, 20));
}

TEST_F(WidgetsTest, DisabledWindowTakesNoInput) {
    AddShortcut(window, "Ctrl+O", 2);
    SetWindowEnabled(window, false);
    QTest::mouseClick(Named<QPushButton>(ControlObjectName(button)), Qt::LeftButton);
    auto* box = Named<QCheckBox>(ControlObjectName(check));
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
    QTest::keyClick(Named<QSlider>(ControlObjectName(slider)), Qt::Key_Right);
    QTest::keyClick(Named<QWidget>(WindowObjectName(window)), Qt::Key_O, Qt::ControlModifier);
    Named<QWidget>(WindowObjectName(window))->close();
    EXPECT_TRUE(NothingQueued());
    EXPECT_FALSE(ControlChecked(check));
    EXPECT_EQ(TrackBarPosition(slider), 50);
    EXPECT_TRUE(WindowExists(window));

    SetWindowEnabled(window, true);
    QTest::mouseClick(Named<QPushButton>(ControlObjectName(button)), Qt::LeftButton);
    ExpectControl(window, button);
}

TEST_F(WidgetsTest, WindowTakingNoInputLooksEnabledAndChangesNothing) {
    AddShortcut(window, "Ctrl+O", 2);
    SetWindowAcceptsDrops(window, true);
    SetWindowTakesInput(window, false);
    auto* top = Named<QWidget>(WindowObjectName(window));
    QTest::mouseClick(Named<QPushButton>(ControlObjectName(button)), Qt::LeftButton);
    auto* box = Named<QCheckBox>(ControlObjectName(check));
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
    QTest::keyClick(Named<QSlider>(ControlObjectName(slider)), Qt::Key_Right);
    QTest::keyClick(top, Qt::Key_O, Qt::ControlModifier);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/tmp/refused.png")});
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(top, &enter);
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(top, &drop);
    EXPECT_TRUE(NothingQueued());
    EXPECT_FALSE(ControlChecked(check));
    EXPECT_EQ(TrackBarPosition(slider), 50);
    EXPECT_TRUE(WindowEnabled(window));
    EXPECT_TRUE(box->isEnabled()); // drawn as usual

    // The close box still asks; with input back, a click counts again.
    top->close();
    EXPECT_EQ(WaitEvent().kind, EventKind::CloseRequest);
    SetWindowTakesInput(window, true);
    QTest::mouseClick(Named<QPushButton>(ControlObjectName(button)), Qt::LeftButton);
    ExpectControl(window, button);
}

TEST_F(WidgetsTest, MenuItemsShortcutsAndToolButtonsBecomeCommands) {
    const int bar = CreateMenuBar(window);
    const int file = AddSubmenu(bar, "&File");
    AddMenuItem(file, 2, "&Open...\tCtrl+O");
    AddMenuSeparator(file);
    AddMenuItem(file, 5, "E&xit\tCtrl+Q");
    const int options = AddSubmenu(bar, "&Options");
    AddMenuItem(options, 27, "Use NTSC Resolution");
    SetMenuItemChecked(27, false);
    const int image = AddSubmenu(bar, "&Image");
    const int effects = AddSubmenu(image, "Effects");
    AddMenuItem(effects, 15, "Greyscale");
    AddMenuItem(image, 12, "Adjust Level...");
    SetMenuItemEnabled(12, false);
    AddShortcut(window, "Ctrl+O", 2);
    AddToolButton(window, 32, ToolPicture::Open, "Open");
    AddToolSeparator(window);
    AddToolButton(window, 34, ToolPicture::Find, "Zoomed Preview");
    EXPECT_TRUE(NothingQueued());

    // The access letter picks the item in the open menu.
    auto* fileMenu = qobject_cast<QMenu*>(Action(CommandObjectName(2))->parent());
    ASSERT_NE(fileMenu, nullptr);
    fileMenu->popup(QPoint(100, 100));
    QTest::keyClick(fileMenu, Qt::Key_O);
    ExpectCommand(window, 2);
    EXPECT_EQ(MenuItemText(2), "&Open...\tCtrl+O");

    Action(CommandObjectName(15))->trigger();
    ExpectCommand(window, 15);

    // Choosing a check-mark item leaves the mark to the program.
    Action(CommandObjectName(27))->trigger();
    ExpectCommand(window, 27);
    EXPECT_FALSE(MenuItemChecked(27));
    SetMenuItemChecked(27, true);
    EXPECT_TRUE(MenuItemChecked(27));
    EXPECT_TRUE(NothingQueued());

    Action(CommandObjectName(12))->trigger();
    EXPECT_TRUE(NothingQueued());
    EXPECT_FALSE(MenuItemEnabled(12));

    auto* top = Named<QWidget>(WindowObjectName(window));
    // The closed menu popup may still count as the active window offscreen.
    QApplication::setActiveWindow(top);
    ASSERT_EQ(QApplication::activeWindow(), top);
    QTest::keyClick(top, Qt::Key_O, Qt::ControlModifier);
    ExpectCommand(window, 2);

    auto* tools = top->findChild<QToolBar*>();
    ASSERT_NE(tools, nullptr);
    EXPECT_EQ(tools->geometry().bottom(), 24);
    QAction* zoom = Action(ToolObjectName(34));
    EXPECT_EQ(zoom->toolTip(), "Zoomed Preview");
    EXPECT_FALSE(zoom->icon().isNull());
    QTest::mouseClick(tools->widgetForAction(zoom), Qt::LeftButton);
    ExpectCommand(window, 34);
}

TEST_F(WidgetsTest, DroppedFilesArriveInOrder) {
    auto* top = Named<QWidget>(WindowObjectName(window));
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/tmp/first picture.png"), QUrl::fromLocalFile("/tmp/second.tga")});
    QDropEvent refused(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(top, &refused);
    EXPECT_TRUE(NothingQueued());

    SetWindowAcceptsDrops(window, true);
    // Qt delivers a drop only to the widget that took the drag in.
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(top, &enter);
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(top, &drop);
    const Event event = WaitEvent();
    ASSERT_EQ(event.kind, EventKind::FilesDropped);
    EXPECT_EQ(event.window, window);
    ASSERT_EQ(DroppedFileCount(event.drop), 2);
    EXPECT_EQ(DroppedFilePath(event.drop, 0), "/tmp/first picture.png");
    EXPECT_EQ(DroppedFilePath(event.drop, 1), "/tmp/second.tga");
    EXPECT_EQ(DroppedFilePath(event.drop, 2), "");
    FinishDrop(event.drop);
    EXPECT_EQ(DroppedFileCount(event.drop), 0);
}

TEST_F(WidgetsTest, CloseBoxAsksAndLeavesTheWindowOpen) {
    Named<QWidget>(WindowObjectName(window))->close();
    const Event event = WaitEvent();
    EXPECT_EQ(event.kind, EventKind::CloseRequest);
    EXPECT_EQ(event.window, window);
    EXPECT_TRUE(WindowVisible(window));
}

TEST_F(WidgetsTest, PictureFramesShowRepaintAndReportClicksWhenAsked) {
    ASSERT_TRUE(CreatePicture(10, 24, 24));
    FillBox(10, 0, 0, 24, 24, MakeColour(255, 0, 0));
    const int swatch = AddPictureFrame(window, 210, 330, 24, 24, true, 35);
    const int plain = AddPictureFrame(window, 0, 30, 24, 24, false);
    ShowPictureInControl(swatch, 10);
    ShowPictureInControl(plain, 10);
    EXPECT_EQ(ControlPicture(swatch), 10);
    auto* frame = Named<QWidget>(ControlObjectName(swatch));
    auto* bare = Named<QWidget>(ControlObjectName(plain));
    EXPECT_EQ(bare->grab().toImage().pixelColor(0, 0), QColor(255, 0, 0));
    EXPECT_EQ(frame->grab().toImage().pixelColor(12, 12), QColor(255, 0, 0));
    EXPECT_NE(frame->grab().toImage().pixelColor(0, 0), QColor(255, 0, 0)); // the sunken border

    // A changed picture shows once the program asks for a repaint.
    FillBox(10, 0, 0, 24, 24, MakeColour(0, 0, 255));
    EXPECT_EQ(bare->grab().toImage().pixelColor(5, 5), QColor(255, 0, 0));
    RepaintControl(plain);
    EXPECT_EQ(bare->grab().toImage().pixelColor(5, 5), QColor(0, 0, 255));

    QTest::mouseClick(frame, Qt::LeftButton);
    EXPECT_TRUE(NothingQueued());
    SetClickReporting(swatch, true);
    EXPECT_TRUE(ClickReporting(swatch));
    QTest::mouseClick(frame, Qt::LeftButton);
    ExpectControl(window, 35);

    ShowPictureInControl(swatch, 0);
    EXPECT_EQ(ControlPicture(swatch), 0);
    DiscardPicture(10);
}

TEST_F(WidgetsTest, ControlsInsideAContainerAndGroupBoxesLetClicksThrough) {
    const int panel = AddContainer(window, 0, 245, 415, 45);
    const int okay = AddPushButton(window, 325, 10, 80, 25, "Okay");
    PutControlInContainer(okay, panel);
    EXPECT_EQ(Named<QWidget>(ControlObjectName(okay))
                  ->mapTo(Named<QWidget>(WindowObjectName(window)), QPoint(0, 0)),
              QPoint(325, 255));
    EXPECT_EQ(ControlWindow(okay), window);
    QTest::mouseClick(Named<QPushButton>(ControlObjectName(okay)), Qt::LeftButton);
    ExpectControl(window, okay);

    // A group box made after the button it frames must not catch the button's clicks.
    const int group = AddGroupBox(window, 200, 315, 260, 80, "Palette Options");
    EXPECT_EQ(ControlText(group), "Palette Options");
    auto* client = Named<QWidget>(WindowObjectName(window))->findChild<QWidget*>("client");
    EXPECT_EQ(client->childAt(220, 370), Named<QWidget>(ControlObjectName(button)));
}

} // namespace
