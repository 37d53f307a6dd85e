// Message boxes and file dialogs: answered from the test queue, recorded, and a missing
// answer fails at once. Two tests drive the real Qt dialogs.
#include "platform/platform.h"
#include "platform/test_hooks.h"
#include "state/app_state.h"
#include "state/error_message.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>

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
    EXPECT_EQ(
        box.text,
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
    const FileDialogResult saved =
        SaveFileDialog("Save Image File", "", "Dump (*.*)|*.*|PNG (*.png)|*.png", 0);
    EXPECT_EQ(saved.path, "/tmp/out.png");
    EXPECT_EQ(saved.patternIndex, 2);
    EXPECT_TRUE(OpenFileDialog("Open Image File", "", openPattern, 0).path.empty());
    ASSERT_EQ(ShownFileDialogs().size(), 2u);
    EXPECT_TRUE(ShownFileDialogs()[0].save);
    EXPECT_EQ(ShownFileDialogs()[1].title, "Open Image File");
    EXPECT_THROW(OpenFileDialog("Open BBC Screen Dump File", "", "Dump (*.*)|*.*", 0), PlatformTestFailure);
}

// Finds the modal dialog Qt is showing and hands it to `act` once; after five seconds it
// rejects whatever modal window is still open, so a broken test fails instead of hanging.
// The returned timer keeps watching until the test drops it.
template <class Dialog, class Act> std::unique_ptr<QTimer> WhenShown(Act act) {
    auto poll = std::make_unique<QTimer>();
    QElapsedTimer clock;
    clock.start();
    QObject::connect(poll.get(), &QTimer::timeout, [clock, act, acted = false]() mutable {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dialog = qobject_cast<Dialog*>(modal); dialog && !acted) {
            acted = true;
            act(dialog);
        } else if (modal && clock.elapsed() > 5000) {
            QMetaObject::invokeMethod(modal, "reject");
        }
    });
    poll->start(20);
    return poll;
}

TEST_F(DialogsTest, RealMessageBoxShowsTheTextAndReturnsTheButton) {
    EnableTestMode(false);
    QString seen;
    const auto watch = WhenShown<QMessageBox>([&seen](QMessageBox* box) {
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
    const auto watch = WhenShown<QFileDialog>([&filters, &folder](QFileDialog* dialog) {
        filters = dialog->nameFilters();
        dialog->selectNameFilter(filters.value(1));
        // Typed as a user would; selectFile skips the name field while it has the focus.
        if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
            name->setText(QString::fromStdString((folder / "SCREEN").string()));
        }
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

// A name that is not UTF-8 (Latin-1 "caf\xE9"): Qt shows it with a replacement character,
// and the dialogs hand the program the file system's own bytes, to open and to save over.
TEST_F(DialogsTest, RealDialogsReturnNamesThatAreNotUtf8AsTheirBytes) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "quillmorph_dialog_latin1";
    std::filesystem::create_directories(folder);
    const std::string name = "caf\xE9.png";
    std::ofstream(folder / name) << "x";
    EnableTestMode(false);
    for (const bool save : {false, true}) {
        const auto watch = WhenShown<QFileDialog>([&](QFileDialog* dialog) {
            if (auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
                edit->setText(QFile::decodeName(QByteArray::fromStdString(name)));
            }
            dialog->setOption(QFileDialog::DontConfirmOverwrite);
            // Queued: a refusal's warning box must not block the watch that rejects it.
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        });
        const FileDialogResult result =
            save ? SaveFileDialog("Save Image File", folder.string(), "All|*.*", 0)
                 : OpenFileDialog("Open Image File", folder.string(), "All|*.*", 0);
        EXPECT_EQ(result.path, (folder / name).string()) << save;
    }
    std::filesystem::remove_all(folder);
}

} // namespace
