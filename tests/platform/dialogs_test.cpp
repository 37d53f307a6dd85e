// Message boxes and file dialogs: answered from the test queue, recorded, and a missing
// answer fails at once. Two tests drive the real Qt dialogs.
#include "platform/platform.h"
#include "platform/test_hooks.h"
#include "shell/state/app_state.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

class DialogsTest : public ::testing::Test {
protected:
    void SetUp() override { ResetTestHooks(); }
    void TearDown() override {
        EnableTestMode(true);
        CloseAllWindows();
        ResetTestHooks();
    }
};

TEST_F(DialogsTest, MessageBoxWithoutAnswerFailsAtOnceNamingIt) {
    QElapsedTimer clock;
    clock.start();
    try {
        ShowMessageBox("Overwrite?", "The file exists.", MessageIcon::Question, MessageButtons::YesNo);
        FAIL() << "no failure";
    } catch (const PlatformTestFailure& failure) {
        EXPECT_NE(std::string(failure.what()).find("\"Overwrite?\""), std::string::npos) << failure.what();
    }
    EXPECT_LT(clock.elapsed(), 500);
    EXPECT_TRUE(ShownMessageBoxes().empty());
}

TEST_F(DialogsTest, ErrorMessageShowsTheExactTextAndTitle) {
    QueueMessageBoxAnswer(MessageAnswer::Ok);
    ErrorMessage("Unable to create image in CorrectAspectRatio().");
    ASSERT_EQ(ShownMessageBoxes().size(), 1u);
    const MessageBoxRecord& box = ShownMessageBoxes()[0];
    EXPECT_EQ(box.title, "Error Message");
    EXPECT_EQ(box.text,
              "Unfortunately an error has occurred.\n\nReason: Unable to create image in CorrectAspectRatio().");
    EXPECT_EQ(box.icon, MessageIcon::Error);
    EXPECT_EQ(box.buttons, MessageButtons::Ok);
    EXPECT_THROW(ErrorMessage("again"), PlatformTestFailure);
}

TEST_F(DialogsTest, YesNoAnswersAndFileDialogAnswersAreTakenInOrder) {
    QueueMessageBoxAnswer(MessageAnswer::Yes);
    QueueMessageBoxAnswer(MessageAnswer::No);
    EXPECT_EQ(ShowMessageBox("A", "a", MessageIcon::Warning, MessageButtons::YesNo), MessageAnswer::Yes);
    EXPECT_EQ(ShowMessageBox("B", "b", MessageIcon::Warning, MessageButtons::YesNo), MessageAnswer::No);

    QueueFileDialogAnswer("/tmp/out.png", 2);
    QueueFileDialogCancel();
    const FileDialogResult saved = SaveFileDialog("Save Image File", "", "Dump (*.*)|*.*|PNG (*.png)|*.png", 0);
    EXPECT_EQ(saved.path, "/tmp/out.png");
    EXPECT_EQ(saved.patternIndex, 2);
    EXPECT_TRUE(OpenFileDialog("Open Image File", "", openPattern, 0).path.empty());
    ASSERT_EQ(ShownFileDialogs().size(), 2u);
    EXPECT_TRUE(ShownFileDialogs()[0].save);
    EXPECT_EQ(ShownFileDialogs()[1].title, "Open Image File");
    EXPECT_THROW(OpenFileDialog("Open BBC Screen Dump File", "", "Dump (*.*)|*.*", 0), PlatformTestFailure);
}

// Finds the modal dialog Qt is showing and hands it to `act`; gives up after a while so a
// broken test cannot hang.
template <class Dialog, class Act> void WhenShown(Act act) {
    auto* poll = new QTimer(qApp);
    auto* give_up = new QElapsedTimer;
    give_up->start();
    QObject::connect(poll, &QTimer::timeout, poll, [poll, give_up, act] {
        if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
            act(dialog);
        } else if (give_up->elapsed() < 5000) {
            return;
        } else if (QWidget* other = QApplication::activeModalWidget()) {
            other->close();
        }
        poll->deleteLater();
        delete give_up;
    });
    poll->start(20);
}

TEST_F(DialogsTest, RealMessageBoxShowsTheTextAndReturnsTheButton) {
    EnableTestMode(false);
    QString seen;
    WhenShown<QMessageBox>([&seen](QMessageBox* box) {
        seen = box->windowTitle() + "|" + box->text() + "|" + QString::number(box->icon());
        box->button(QMessageBox::Yes)->click();
    });
    EXPECT_EQ(ShowMessageBox("Question", "Really?", MessageIcon::Question, MessageButtons::YesNo),
              MessageAnswer::Yes);
    EXPECT_EQ(seen.toStdString(), "Question|Really?|" + std::to_string(QMessageBox::Question));
}

TEST_F(DialogsTest, RealOpenDialogUsesTheProgramsPatternList) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "quillmorph_dialog_test";
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "SCREEN") << "x";
    EnableTestMode(false);
    QStringList filters;
    WhenShown<QFileDialog>([&filters, &folder](QFileDialog* dialog) {
        filters = dialog->nameFilters();
        dialog->selectNameFilter(filters.value(1));
        dialog->selectFile(QString::fromStdString((folder / "SCREEN").string()));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    const FileDialogResult result = OpenFileDialog(
        "Open BBC Screen Dump File", folder.string(),
        "BBC Micro Screen Dump (*.*)|*.*|JPEG File Interchange Format (*.jpg; *.jpeg)|*.jpg;*.jpeg", 0);
    // "*.*" stands for every file, also one without a dot in its name.
    EXPECT_EQ(filters, QStringList({"BBC Micro Screen Dump (*.*) (*)",
                                    "JPEG File Interchange Format (*.jpg; *.jpeg) (*.jpg *.jpeg)"}));
    EXPECT_EQ(result.path, (folder / "SCREEN").string());
    EXPECT_EQ(result.patternIndex, 1);
    std::filesystem::remove_all(folder);
}

} // namespace
