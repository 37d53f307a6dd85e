// A bootable picture disc: screen dumps of one mode on a DFS disc image with a !BOOT
// loader that shows them in turn. Also the naming rules that put a dump on the disc: the
// sidecar's name and addresses when there is one, the sidecar rule's name otherwise.
#pragma once

#include "disc/dfs_image.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct DiscPicture {
    DfsFile file;             // name, addresses and the dump's bytes
    std::vector<int> palette; // physical colours (0-7) of logical colours 0, 1, 2...
};

// The name a sidecar gives a file name: blanks removed, the first 7 characters, upper
// case (the path is UTF-8; what the 8-bit set cannot show becomes "_").
std::string SidecarName(std::string_view fileName);

// The name, directory and addresses of a sidecar line "$.NAME LOAD EXEC [LENGTH ...]",
// or nothing with the reason. The name is taken as written, to be checked on its own.
std::optional<DfsFile> ParseSidecar(std::string_view text, std::string& reason);

// A picture's file as this program's dumps are saved: the mode's screen address, no
// execution address.
DfsFile DumpFile(std::string name, int modeNumber, std::vector<std::uint8_t> dump);

// Why a picture cannot go on a disc of the mode, or nothing: its length must be a whole
// screen of 256, 240 or 200 lines and it must load at the mode's screen address.
std::optional<std::string> PictureProblem(const DiscPicture& picture, int modeNumber);

// Why the pictures' names cannot stand on one disc beside its !BOOT, or nothing.
std::optional<std::string> NameProblem(const std::vector<DiscPicture>& pictures);

// How many pictures, from the first, fit on one disc with their loader.
std::size_t PicturesThatFit(int modeNumber, const std::vector<DiscPicture>& pictures);

// The whole disc image, titled, or nothing with the reason (the pictures do not fit, or
// a problem above).
std::optional<std::vector<std::uint8_t>> BuildPictureDisc(std::string_view title, int modeNumber,
                                                          const std::vector<DiscPicture>& pictures,
                                                          std::string& reason);
