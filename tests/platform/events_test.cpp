// The blocking wait: it sleeps until a user action arrives, nests inside a handler, and
// in test mode never hangs.
#include "platform/platform.h"
#include "platform/test_hooks.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

QPushButton* Button(int control) {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (auto* button = top->findChild<QPushButton*>(QString::fromStdString(ControlObjectName(control)))) {
            return button;
        }
    }
    return nullptr;
}

// Clicks the button later, from inside the wait.
void ClickSoon(int control, int milliseconds) {
    QTimer::singleShot(milliseconds, [control] { QTest::mouseClick(Button(control), Qt::LeftButton); });
}

class EventsTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetTestHooks(); }
    void TearDown() override {
        CloseAllWindows();
        ResetTestHooks();
    }
};

TEST_F(EventsTest, WaitSleepsUntilAUserActionArrives) {
    const int window = OpenWindow({"Main", 300, 200});
    const int button = AddPushButton(window, 10, 10, 80, 20, "Go");
    ShowWindow(window);
    QElapsedTimer clock;
    clock.start();
    ClickSoon(button, 100);
    const Event event = WaitEvent();
    EXPECT_GE(clock.elapsed(), 90);
    EXPECT_EQ(event.kind, EventKind::Control);
    EXPECT_EQ(event.control, button);
}

// A handler opens a window of its own and waits for it; afterwards the outer loop goes
// on, also with what arrived for the main window meanwhile.
TEST_F(EventsTest, NestedWaitInsideAHandlerThenTheOuterWaitResumes) {
    const int main = OpenWindow({"Main", 300, 200});
    const int open = AddPushButton(main, 10, 10, 80, 20, "Open");
    const int other = AddPushButton(main, 10, 40, 80, 20, "Other");
    ShowWindow(main);
    ClickSoon(open, 10);

    std::vector<std::string> log;
    bool done = false;
    while (!done) {
        const Event event = WaitEvent();
        if (event.control == open) {
            log.push_back("open");
            const int inner = OpenWindow({"Inner", 200, 100, WindowPlacement::CentreOfOwner, 0, 0, main});
            const int okay = AddPushButton(inner, 10, 10, 80, 20, "Okay");
            ShowWindow(inner);
            ClickSoon(other, 10);
            ClickSoon(okay, 30);
            for (;;) {
                const Event nested = WaitEvent();
                if (nested.control == okay) {
                    log.push_back("okay");
                    break;
                }
                log.push_back(nested.control == other ? "other discarded" : "unexpected");
            }
            CloseWindow(inner);
            ClickSoon(other, 10);
        } else if (event.control == other) {
            log.push_back("other");
            done = true;
        }
    }
    EXPECT_EQ(log, (std::vector<std::string>{"open", "other discarded", "okay", "other"}));
}

TEST_F(EventsTest, TestModeWaitFailsInsteadOfHanging) {
    SetTestWaitLimit(100);
    QElapsedTimer clock;
    clock.start();
    EXPECT_THROW(WaitEvent(), PlatformTestFailure);
    EXPECT_LT(clock.elapsed(), 1000);
}

TEST_F(EventsTest, QueuedEventsComeOutInOrderWithTheirNumbers) {
    const int window = OpenWindow({"Main", 300, 200});
    const int check = AddCheckBox(window, 10, 10, 100, 15, "x");
    QueueCommandEvent(window, 2);
    QueueControlEvent(check);
    QueueDropEvent(window, {"/a.png", "/b.png"});
    QueueCloseRequest(window);
    EXPECT_EQ(QueuedEventCount(), 4);

    Event event = WaitEvent();
    EXPECT_EQ(event.kind, EventKind::Command);
    EXPECT_EQ(event.command, 2);
    event = WaitEvent();
    EXPECT_EQ(event.kind, EventKind::Control);
    EXPECT_EQ(event.control, check);
    EXPECT_EQ(event.window, window);
    event = WaitEvent();
    EXPECT_EQ(event.kind, EventKind::FilesDropped);
    EXPECT_EQ(DroppedFilePath(event.drop, 1), "/b.png");
    event = WaitEvent();
    EXPECT_EQ(event.kind, EventKind::CloseRequest);
    EXPECT_EQ(event.window, window);
    EXPECT_FALSE(PollEvent(event));
}

TEST_F(EventsTest, PointerCanBeSimulated) {
    EXPECT_FALSE(LeftMouseButtonDown());
    SimulateLeftButton(true);
    SimulateMousePosition({123, 45});
    EXPECT_TRUE(LeftMouseButtonDown());
    EXPECT_EQ(MousePosition().x, 123);
    EXPECT_EQ(MousePosition().y, 45);
    ClearPointerSimulation();
    EXPECT_FALSE(LeftMouseButtonDown());
}

} // namespace
