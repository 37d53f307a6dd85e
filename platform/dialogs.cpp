#include "platform/native_paths.h"
#include "platform/platform.h"
#include "platform/test_mode.h"
#include "platform/widget_registry.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>
#include <filesystem>
#include <system_error>

namespace {

QMessageBox::Icon BoxIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::None:
        return QMessageBox::NoIcon;
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Error:
        return QMessageBox::Critical;
    case MessageIcon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

// "description|*.a;*.b|..." as Qt name filters. The appended "(*.a *.b)" is what Qt
// matches; the dialog hides it and shows the description as the program wrote it. The
// program's "*.*" means every file, dot or not.
QStringList NameFilters(std::string_view patterns) {
    const QStringList fields = ToQString(patterns).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < fields.size(); i += 2) {
        QStringList globs;
        for (QString glob : fields[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            glob = glob.trimmed();
            globs << (glob == QLatin1String("*.*") ? QStringLiteral("*") : glob);
        }
        filters << fields[i] + QStringLiteral(" (") + globs.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return filters;
}

// With the details hidden, Qt may report the filter as shown, without the part we added.
int FilterIndex(const QStringList& filters, const QString& selected) {
    for (qsizetype i = 0; i < filters.size(); ++i) {
        if (filters[i] == selected || filters[i].startsWith(selected + QStringLiteral(" ("))) {
            return static_cast<int>(i);
        }
    }
    return 0;
}

// Qt's dialog looks for an opened file by its text, which misses a file whose name is
// not UTF-8; such a file is taken when the file system has it under its own bytes.
class FileDialog : public QFileDialog {
  public:
    using QFileDialog::QFileDialog;

  protected:
    void accept() override {
        const QStringList files = selectedFiles();
        if (fileMode() == QFileDialog::ExistingFile && files.size() == 1 &&
            !QFileInfo::exists(files.front())) {
            std::error_code error;
            if (std::filesystem::is_regular_file(std::filesystem::path(NativePathOf(files.front())), error)) {
                // Past QFileDialog's own check, which cannot see this name.
                QDialog::accept(); // NOLINT(bugprone-parent-virtual-call)
                return;
            }
        }
        QFileDialog::accept();
    }
};

FileDialogResult RunFileDialog(bool save, std::string_view title, std::string_view initialPath,
                               std::string_view patterns, int selected) {
    if (TestModeActive()) {
        return AnswerFileDialogInTest(
            {save, std::string(title), std::string(initialPath), std::string(patterns), selected});
    }
    if (!PlatformActive()) {
        return {};
    }
    FileDialog dialog(QApplication::activeWindow(), ToQString(title));
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    const QStringList filters = NameFilters(patterns);
    dialog.setNameFilters(filters);
    if (selected >= 0 && selected < filters.size()) {
        dialog.selectNameFilter(filters[selected]);
    }
    if (!initialPath.empty()) {
        const QFileInfo initial(QtPathOf(initialPath));
        if (initial.isDir()) {
            dialog.setDirectory(initial.absoluteFilePath());
        } else {
            dialog.selectFile(initial.filePath());
        }
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return {NativePathOf(dialog.selectedFiles().constFirst()),
            FilterIndex(filters, dialog.selectedNameFilter())};
}

} // namespace

MessageAnswer ShowMessageBox(std::string_view title, std::string_view text, MessageIcon icon,
                             MessageButtons buttons) {
    if (TestModeActive()) {
        return AnswerMessageBoxInTest(
            {std::string(title), std::string(text), icon, buttons, MessageAnswer::Ok});
    }
    if (!PlatformActive()) {
        return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
    }
    // Owned by the program's foreground window and modal to all of its windows.
    QMessageBox box(BoxIcon(icon), ToQString(title), ToQString(text), QMessageBox::NoButton,
                    QApplication::activeWindow());
    box.setWindowModality(Qt::ApplicationModal);
    box.setTextFormat(Qt::PlainText);
    if (buttons == MessageButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return MessageAnswer::Ok;
}

FileDialogResult OpenFileDialog(std::string_view title, std::string_view initialPath,
                                std::string_view patterns, int selected) {
    return RunFileDialog(false, title, initialPath, patterns, selected);
}

FileDialogResult SaveFileDialog(std::string_view title, std::string_view initialPath,
                                std::string_view patterns, int selected) {
    return RunFileDialog(true, title, initialPath, patterns, selected);
}
