#include "disc/dfs_image.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <numeric>

namespace {

constexpr std::size_t kTitleCharacters = 12;
constexpr std::size_t kEntryBytes = 8;

char Upper(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

bool SameName(const DfsFile& a, const DfsFile& b) {
    return Upper(a.directory) == Upper(b.directory) && a.name.size() == b.name.size() &&
           std::equal(a.name.begin(), a.name.end(), b.name.begin(),
                      [](char x, char y) { return Upper(x) == Upper(y); });
}

std::string Quoted(const DfsFile& file) {
    return std::string("'").append(1, file.directory).append(".").append(file.name).append("'");
}

std::optional<std::string> FileProblem(const DfsFile& file) {
    if (const auto problem = DfsCharacterProblem(file.directory)) {
        return "the directory of " + Quoted(file) + " is not a DFS directory: " + *problem;
    }
    if (const auto problem = DfsNameProblem(file.name)) {
        return Quoted(file) + " is not a DFS file name: " + *problem;
    }
    return std::nullopt;
}

// The catalogue entry: name and directory in sector 0, addresses, length and start in sector 1.
void WriteEntry(std::vector<std::uint8_t>& image, std::size_t slot, const DfsFile& file, int start) {
    std::uint8_t* names = image.data() + kEntryBytes + slot * kEntryBytes;
    std::memset(names, ' ', kDfsNameCharacters);
    // Catalogue names are padded with spaces, never terminated.
    std::memcpy(names, file.name.data(), file.name.size()); // NOLINT(bugprone-not-null-terminated-result)
    names[7] = static_cast<std::uint8_t>(file.directory);
    const auto length = static_cast<std::uint32_t>(file.data.size());
    const auto high = [](std::uint32_t value) { return (value >> 16) & 3u; };
    const auto at = static_cast<std::uint32_t>(start);
    std::uint8_t* details = image.data() + kDfsSectorBytes + kEntryBytes + slot * kEntryBytes;
    details[0] = static_cast<std::uint8_t>(file.load);
    details[1] = static_cast<std::uint8_t>(file.load >> 8);
    details[2] = static_cast<std::uint8_t>(file.exec);
    details[3] = static_cast<std::uint8_t>(file.exec >> 8);
    details[4] = static_cast<std::uint8_t>(length);
    details[5] = static_cast<std::uint8_t>(length >> 8);
    details[6] = static_cast<std::uint8_t>(high(file.exec) << 6 | high(length) << 4 | high(file.load) << 2 |
                                           (at >> 8));
    details[7] = static_cast<std::uint8_t>(at);
}

void WriteTitleAndCounts(std::vector<std::uint8_t>& image, std::string_view title, DfsBootOption boot,
                         std::size_t files) {
    std::string printable;
    for (const char c : title) {
        if (c >= 0x20 && c < 0x7F && printable.size() < kTitleCharacters) {
            printable += c;
        }
    }
    printable.resize(kTitleCharacters, ' ');
    std::memcpy(image.data(), printable.data(), 8);
    std::memcpy(image.data() + kDfsSectorBytes, printable.data() + 8, 4);
    image[kDfsSectorBytes + 4] = 0; // the count of catalogue writes
    image[kDfsSectorBytes + 5] = static_cast<std::uint8_t>(files * kEntryBytes);
    image[kDfsSectorBytes + 6] = static_cast<std::uint8_t>(static_cast<int>(boot) << 4 | (kDfsSectors >> 8));
    image[kDfsSectorBytes + 7] = static_cast<std::uint8_t>(kDfsSectors & 0xFF);
}

} // namespace

std::optional<std::string> DfsCharacterProblem(char character) {
    const auto code = static_cast<unsigned char>(character);
    if (code <= 0x20 || code >= 0x7F) {
        return code == 0x20 ? std::string("it holds a blank")
                            : std::string("it holds a character outside printable ASCII");
    }
    if (std::strchr(".:*#\"|", character) != nullptr) {
        return std::string("'") + character + "' has a meaning of its own in DFS names";
    }
    return std::nullopt;
}

std::optional<std::string> DfsNameProblem(std::string_view name) {
    if (name.empty()) {
        return std::string("it is empty");
    }
    if (name.size() > kDfsNameCharacters) {
        return "it has " + std::to_string(name.size()) + " characters, DFS holds at most 7";
    }
    for (const char c : name) {
        if (auto problem = DfsCharacterProblem(c)) {
            return problem;
        }
    }
    return std::nullopt;
}

std::optional<std::string> DfsNamesProblem(const std::vector<DfsFile>& files) {
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (auto problem = FileProblem(files[i])) {
            return problem;
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (SameName(files[i], files[j])) {
                return "two files would both be named " + Quoted(files[i]) + " on the disc";
            }
        }
    }
    return std::nullopt;
}

std::size_t DfsSectorsFor(std::size_t bytes) {
    return bytes / kDfsSectorBytes + (bytes % kDfsSectorBytes != 0 ? 1 : 0);
}

std::optional<std::vector<std::uint8_t>> BuildDfsImage(std::string_view title, DfsBootOption boot,
                                                       const std::vector<DfsFile>& files,
                                                       std::string& reason) {
    if (files.size() > kDfsMaxFiles) {
        reason = "a DFS disc holds at most 31 files, not " + std::to_string(files.size());
        return std::nullopt;
    }
    if (auto problem = DfsNamesProblem(files)) {
        reason = *problem;
        return std::nullopt;
    }
    std::size_t sectors = kDfsCatalogueSectors;
    for (const DfsFile& file : files) {
        sectors += DfsSectorsFor(file.data.size());
    }
    if (sectors > std::size_t(kDfsSectors)) {
        reason = "the files need " + std::to_string(sectors) + " sectors, the disc holds " +
                 std::to_string(kDfsSectors);
        return std::nullopt;
    }
    std::vector<std::uint8_t> image(std::size_t(kDfsSectors) * kDfsSectorBytes, 0);
    WriteTitleAndCounts(image, title, boot, files.size());
    // The catalogue lists files from the highest start sector down, as DFS keeps it.
    std::size_t start = kDfsCatalogueSectors;
    for (std::size_t i = 0; i < files.size(); ++i) {
        WriteEntry(image, files.size() - 1 - i, files[i], static_cast<int>(start));
        std::copy(files[i].data.begin(), files[i].data.end(),
                  image.begin() + static_cast<std::ptrdiff_t>(start * kDfsSectorBytes));
        start += DfsSectorsFor(files[i].data.size());
    }
    return image;
}
