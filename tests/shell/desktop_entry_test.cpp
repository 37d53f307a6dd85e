#include "state/open_pattern.h"

#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sstream>
#include <string>

namespace {

// The MIME types the desktop entry claims, from its MimeType= line.
std::set<std::string> ClaimedTypes() {
    std::ifstream entry(QUILLMORPH_DESKTOP_ENTRY);
    std::string line;
    std::set<std::string> types;
    while (std::getline(entry, line)) {
        if (line.starts_with("MimeType=")) {
            std::istringstream list(line.substr(9));
            for (std::string type; std::getline(list, type, ';');) {
                types.insert(type);
            }
        }
    }
    return types;
}

// "*.ext" patterns of shared-mime-info's glob list and the type each names.
std::map<std::string, std::string> KnownGlobs() {
    std::ifstream globs("/usr/share/mime/globs2");
    std::map<std::string, std::string> types;
    for (std::string line; std::getline(globs, line);) {
        const auto first = line.find(':');
        const auto second = line.find(':', first + 1);
        if (line.starts_with("#") || second == std::string::npos) {
            continue;
        }
        types.emplace(line.substr(second + 1, line.find(':', second + 1) - second - 1),
                      line.substr(first + 1, second - first - 1));
    }
    return types;
}

// "Open with" offers the program for every format the open dialog lists.
TEST(DesktopEntryTest, ClaimsTheTypeOfEveryFormatTheOpenDialogLists) {
    const auto globs = KnownGlobs();
    if (globs.empty()) {
        GTEST_SKIP() << "shared-mime-info's /usr/share/mime/globs2 is not installed";
    }
    const std::set<std::string> claimed = ClaimedTypes();
    ASSERT_FALSE(claimed.empty()) << QUILLMORPH_DESKTOP_ENTRY;
    const std::string all = BuildOpenPattern();
    const std::string patterns =
        all.substr(all.find('|') + 1, all.find('|', all.find('|') + 1) - all.find('|') - 1);
    int known = 0;
    std::istringstream list(patterns);
    for (std::string pattern; std::getline(list, pattern, ';');) {
        const auto type = globs.find(pattern);
        if (type != globs.end()) {
            ++known;
            EXPECT_TRUE(claimed.contains(type->second)) << pattern << " is " << type->second;
        }
    }
    EXPECT_GE(known, 15); // all but the extensions shared-mime-info does not know
}

} // namespace
