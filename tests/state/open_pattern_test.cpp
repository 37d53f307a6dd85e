#include "state/open_pattern.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

TEST(OpenPatternTest, HasThirteenEntriesFirstWithoutCursors) {
    const std::string pattern = BuildOpenPattern();
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t bar; (bar = pattern.find('|', start)) != std::string::npos; start = bar + 1) {
        fields.push_back(pattern.substr(start, bar - start));
    }
    fields.push_back(pattern.substr(start));
    ASSERT_EQ(fields.size(), 26u);
    EXPECT_EQ(fields[0], "All Supported Image Files");
    EXPECT_EQ(fields[1].find("*.cur"), std::string::npos);
    EXPECT_EQ(fields[20], "Windows Cursor File (*.cur)");
    EXPECT_EQ(fields[25], "*.wmf");
    EXPECT_EQ(pattern.rfind("All Supported Image Files|*.bmp;*.emf;*.gif;", 0), 0u);
}

} // namespace
