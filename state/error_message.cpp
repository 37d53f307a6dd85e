#include "state/error_message.h"

#include "platform/platform.h"

#include <utility>

namespace {

void ShowErrorBox(std::string_view title, std::string_view text) {
    ShowMessageBox(title, text, MessageIcon::Error, MessageButtons::Ok);
}

ErrorReporter& CurrentReporter() {
    static ErrorReporter reporter = ShowErrorBox;
    return reporter;
}

} // namespace

std::string ErrorMessageText(std::string_view reason) {
    std::string text = "Unfortunately an error has occurred.\n\nReason: ";
    text += reason;
    return text;
}

void ErrorMessage(std::string_view reason) {
    if (CurrentReporter()) {
        CurrentReporter()("Error Message", ErrorMessageText(reason));
    }
}

void SetErrorReporter(ErrorReporter reporter) {
    CurrentReporter() = reporter ? std::move(reporter) : ErrorReporter(ShowErrorBox);
}
