// The converter's edits end to end: the built quillmorph-cli run on a real photograph,
// against the desktop program's own commands on the same file.
#include "imaging/picture.h"
#include "imaging/picture_reader.h"
#include "pipeline/picture_readers.h"
#include "platform/controls.h"
#include "platform/events.h"
#include "platform/platform.h"
#include "platform/test_hooks.h"
#include "platform/window.h"
#include "shell/commands.h"
#include "shell/dispatch.h"
#include "shell/startup.h"
#include "state/app_state.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

const std::filesystem::path kPhoto =
    std::filesystem::path(QUILLMORPH_CORPUS) / "jpeg/image-rs-progressive/cat.jpg";

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// Runs the converter and returns its exit status (-1 when it did not exit normally).
int RunConverter(const std::vector<std::string>& arguments) {
    std::string command = Quoted(QUILLMORPH_CLI);
    for (const std::string& argument : arguments) {
        command.append(" ").append(Quoted(argument));
    }
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string FileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class CliEditsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::filesystem::exists(kPhoto)) {
            GTEST_SKIP() << "the shared picture corpus is not beside this clone (" << kPhoto << ")";
        }
        ResetTestHooks();
        folder = std::filesystem::temp_directory_path() /
                 ("quillmorph-cli-edits-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder / "cli");
        std::filesystem::create_directories(folder / "desktop");
        ASSERT_TRUE(StartUp());
    }
    void TearDown() override {
        CloseAllWindows();
        DiscardAllPictures();
        ResetTestHooks();
        std::filesystem::remove_all(folder);
    }

    // The desktop program handles every queued event, as its main loop would.
    static void Dispatch() {
        while (QueuedEventCount() > 0) {
            ASSERT_TRUE(DispatchEvent(WaitEvent()));
        }
    }
    static void Command(int command) {
        QueueCommandEvent(mainWindow, command);
        Dispatch();
    }

    std::filesystem::path folder;
};

TEST_F(CliEditsTest, ReadWithEditsGivesTheDesktopsWorkingPicture) {
    const std::filesystem::path output = folder / "cli" / "edited.png";
    ASSERT_EQ(RunConverter({"read", kPhoto.string(), output.string(), "--rotate-left", "--greyscale"}), 0);

    QueueDropEvent(mainWindow, {kPhoto.string()});
    Dispatch();
    ASSERT_EQ(PictureWidth(workingPicture), 320);
    Command(kCommandRotateLeft);
    Command(kCommandGreyscale);

    const DecodeResult written = DecodePictureFile(output.string());
    ASSERT_TRUE(written.picture.has_value()) << written.reason;
    EXPECT_EQ(written.picture->width, 240);
    EXPECT_EQ(written.picture->height, 320);
    EXPECT_EQ(written.picture->pixels, FindPicture(workingPicture)->pixels);
    // The edits did something: a grey picture that is not flat.
    EXPECT_EQ(ReadPixel(workingPicture, 100, 100) & 0xFFu,
              (ReadPixel(workingPicture, 100, 100) >> 8) & 0xFFu);
    EXPECT_NE(ReadPixel(workingPicture, 100, 100), ReadPixel(workingPicture, 20, 300));
}

TEST_F(CliEditsTest, ConvertWithEditsWritesTheDesktopsSavedDump) {
    const std::filesystem::path cliDump = folder / "cli" / "CAT";
    ASSERT_EQ(RunConverter({"convert",
                            kPhoto.string(),
                            cliDump.string(),
                            "--mode",
                            "1",
                            "--method",
                            "1",
                            "--strength",
                            "75",
                            "--serpentine",
                            "--rotate-right",
                            "--invert",
                            "--brightness",
                            "20",
                            "--contrast",
                            "30",
                            "--gamma",
                            "1.5",
                            "--level",
                            "--flip-horizontal"}),
              0);

    QueueDropEvent(mainWindow, {kPhoto.string()});
    SelectListItem(screenModeCombo, 1); // Mode 1
    QueueControlEvent(screenModeCombo);
    SelectListItem(methodCombo, 1);
    QueueControlEvent(methodCombo);
    SetTrackBarPosition(strengthTrackBar, 75);
    QueueControlEvent(strengthTrackBar);
    SetControlChecked(serpentineCheckBox, true);
    QueueControlEvent(serpentineCheckBox);
    Dispatch();
    Command(kCommandRotateRight);
    Command(kCommandInvert);
    // Brightness +20, contrast +30 and gamma 1.50 through the window's sliders, then OK.
    int step = 0;
    SetTestIdleHook([&step] {
        const std::vector<int> windows = OpenWindows();
        const int window = windows.back();
        const std::vector<int> controls = WindowControls(window);
        for (const int control : controls) {
            const int position = TrackBarPosition(control);
            if (step == 0 && (position == 128 || position == 256 || position == 100)) {
                SetTrackBarPosition(control, position == 128 ? 148 : position == 256 ? 286 : 150);
                QueueControlEvent(control);
            } else if (step == 1 && ControlText(control) == "OK") {
                QueueControlEvent(control);
                SetTestIdleHook(nullptr);
            }
        }
        ++step;
    });
    Command(kCommandBrightnessContrast);
    Command(kCommandAutoLevel);
    Command(kCommandFlipHorizontally);
    const std::filesystem::path desktopDump = folder / "desktop" / "CAT";
    QueueFileDialogAnswer(desktopDump.string(), 0);
    Command(kCommandSaveAs);

    ASSERT_TRUE(std::filesystem::exists(desktopDump));
    EXPECT_EQ(std::filesystem::file_size(cliDump), 20480u);
    EXPECT_TRUE(FileBytes(cliDump) == FileBytes(desktopDump)) << "the dumps differ";
    EXPECT_EQ(FileBytes(cliDump.string() + ".inf"), FileBytes(desktopDump.string() + ".inf"));
    // Without the edits the converter writes another dump, so the edits were applied.
    const std::filesystem::path plainDump = folder / "cli" / "PLAIN";
    ASSERT_EQ(RunConverter({"convert", kPhoto.string(), plainDump.string(), "--mode", "1", "--method", "1",
                            "--strength", "75", "--serpentine"}),
              0);
    EXPECT_FALSE(FileBytes(plainDump) == FileBytes(cliDump));
}

} // namespace
