// Acorn DFS single-sided disc images (.ssd): 80 tracks of 10 sectors of 256 bytes, the
// catalogue in sectors 0 and 1, each file in consecutive sectors from sector 2 on.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr int kDfsSectorBytes = 256;
inline constexpr int kDfsSectors = 800;
inline constexpr int kDfsCatalogueSectors = 2;
inline constexpr std::size_t kDfsMaxFiles = 31;
inline constexpr std::size_t kDfsNameCharacters = 7;

// What the machine does on SHIFT+BREAK.
enum class DfsBootOption { None = 0, Load = 1, Run = 2, Exec = 3 };

struct DfsFile {
    char directory = '$';
    std::string name;       // 1 to 7 characters of the DFS set
    std::uint32_t load = 0; // 18 bits are kept, as the catalogue stores them
    std::uint32_t exec = 0;
    std::vector<std::uint8_t> data;
};

// Why a character cannot be part of a DFS file or directory name, or nothing when it can:
// the printable characters except those the filing system gives a meaning (". : * # \" |"
// and the blank).
std::optional<std::string> DfsCharacterProblem(char character);

// Why `name` cannot be a DFS file name, or nothing when it can.
std::optional<std::string> DfsNameProblem(std::string_view name);

// Why the files cannot stand together on one disc by their names (a bad name, or two
// files of one name: the filing system ignores case), or nothing.
std::optional<std::string> DfsNamesProblem(const std::vector<DfsFile>& files);

// Sectors a file of `bytes` bytes occupies.
std::size_t DfsSectorsFor(std::size_t bytes);

// The whole 800-sector image with the files in the order given, or nothing with the
// reason: a problem with the names, more than 31 files, or more data than the disc holds. The title keeps its
// first 12 characters.
std::optional<std::vector<std::uint8_t>> BuildDfsImage(std::string_view title, DfsBootOption boot,
                                                       const std::vector<DfsFile>& files,
                                                       std::string& reason);
