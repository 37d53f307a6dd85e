#include "desktop_support.h"

#include "imaging/picture.h"
#include "imaging/picture_writer.h"
#include "platform/test_hooks.h"
#include "platform/widget_lookup.h"
#include "platform/window.h"
#include "shell/dispatch.h"
#include "shell/startup.h"
#include "state/app_state.h"

#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>
#include <unistd.h>

void DesktopTest::SetUp() {
    ResetTestHooks();
    folder = std::filesystem::temp_directory_path() /
             ("quillmorph-desktop-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder);
    ASSERT_TRUE(StartUp());
}

void DesktopTest::TearDown() {
    CloseAllWindows();
    DiscardAllPictures();
    ResetTestHooks();
    std::filesystem::remove_all(folder);
}

bool DesktopTest::DispatchQueued() {
    while (QueuedEventCount() > 0) {
        if (!DispatchEvent(WaitEvent())) {
            return false;
        }
    }
    return true;
}

std::string DesktopTest::WritePicture(const std::string& name, int width, int height, ColourValue colour) {
    return WritePicture(name, Picture{width, height,
                                      std::vector<BufferWord>(static_cast<std::size_t>(width) * height,
                                                              SwapRedBlue(colour))});
}

std::string DesktopTest::WritePicture(const std::string& name, const Picture& picture) {
    const std::string path = (folder / name).string();
    std::string reason;
    EXPECT_TRUE(WritePngFile(picture, path, reason)) << reason;
    return path;
}

bool DesktopTest::Refreshed() {
    return PictureExists(convertedPicture);
}

void DesktopTest::ForgetConversion() {
    DiscardPicture(convertedPicture);
}

void PressGroove(int trackBar, bool down) {
    auto* bar = Named<QWidget>(ControlObjectName(trackBar));
    ASSERT_NE(bar, nullptr);
    const QPoint at = bar->mapTo(bar->window(), QPoint(bar->width() - 3, bar->height() / 2));
    QWindow* window = bar->window()->windowHandle();
    if (down) {
        QTest::mousePress(window, Qt::LeftButton, {}, at);
    } else {
        QTest::mouseRelease(window, Qt::LeftButton, {}, at);
    }
}
