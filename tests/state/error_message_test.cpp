#include "state/error_message.h"

#include <gtest/gtest.h>
#include <string>

namespace {

TEST(ErrorMessageTest, TextAndTitle) {
    std::string title;
    std::string text;
    SetErrorReporter([&](std::string_view t, std::string_view m) {
        title = t;
        text = m;
    });
    ErrorMessage("Unable to create image in CorrectAspectRatio().");
    SetErrorReporter(nullptr);
    EXPECT_EQ(title, "Error Message");
    EXPECT_EQ(
        text,
        "Unfortunately an error has occurred.\n\nReason: Unable to create image in CorrectAspectRatio().");
}

} // namespace
