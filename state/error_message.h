// The error box that every layer reports failures through.
#pragma once

#include <functional>
#include <string>
#include <string_view>

// Shows "Unfortunately an error has occurred.\n\nReason: " + reason in a modal box
// titled "Error Message" with the error icon and an OK button, through the current
// error reporter.
void ErrorMessage(std::string_view reason);
// The full text of that box.
std::string ErrorMessageText(std::string_view reason);
// Where ErrorMessage sends its text: the desktop program shows a message box (the
// default), the command-line converter prints to standard error.
using ErrorReporter = std::function<void(std::string_view title, std::string_view text)>;
void SetErrorReporter(ErrorReporter reporter);
