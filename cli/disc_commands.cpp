#include "cli/disc_commands.h"

#include "cli/cli_steps.h"
#include "disc/picture_disc.h"
#include "imaging/atomic_file.h"
#include "imaging/file_name_part.h"
#include "screen/dump_reader.h"
#include "screen/dump_writer.h"
#include "screen/screen_modes.h"
#include "state/app_state.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace {

constexpr std::size_t kMaxSidecarBytes = 4096;

// The file name without its last extension: a picture "photo.jpg" becomes "PHOTO".
std::string Stem(const std::string& path) {
    const std::string name(FileNamePart(path));
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// The physical colours of the mode's palette as the shared settings hold it now.
std::vector<int> CurrentPalette(int modeNumber) {
    std::vector<int> palette;
    for (int logical = 0; logical < ScreenModeByNumber(modeNumber)->colourCount; ++logical) {
        const auto* const found =
            std::find(kPhysicalColours.begin(), kPhysicalColours.end(), PaletteEntry(modeNumber, logical));
        palette.push_back(
            found == kPhysicalColours.end() ? 0 : static_cast<int>(found - kPhysicalColours.begin()));
    }
    return palette;
}

// Up to `limit` + 1 bytes of a regular file, or nothing with the reason.
std::optional<std::vector<std::uint8_t>> ReadSmallFile(const std::string& path, std::size_t limit,
                                                       std::string& reason) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        reason = "'" + path + "' is not a file that can be read";
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes(limit + 1);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (in.bad() || (!in && !in.eof())) {
        reason = "'" + path + "' could not be read";
        return std::nullopt;
    }
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

// The dump as it goes on the disc: its sidecar's name and addresses when it has one.
std::optional<DfsFile> ReadDump(const std::string& path, std::string& reason) {
    auto dump = ReadSmallFile(path, kMaxDumpBytes, reason);
    if (!dump) {
        return std::nullopt;
    }
    if (dump->size() > kMaxDumpBytes) {
        reason = "'" + path + "' is longer than any screen (" + std::to_string(kMaxDumpBytes) + " bytes)";
        return std::nullopt;
    }
    const std::string sidecarPath = path + ".inf";
    std::error_code error;
    if (!std::filesystem::exists(sidecarPath, error)) {
        return DumpFile(SidecarName(FileNamePart(path)), screenMode, std::move(*dump));
    }
    const auto sidecar = ReadSmallFile(sidecarPath, kMaxSidecarBytes, reason);
    if (!sidecar) {
        return std::nullopt;
    }
    std::optional<DfsFile> file = ParseSidecar(std::string(sidecar->begin(), sidecar->end()), reason);
    if (!file) {
        reason = "the sidecar '" + sidecarPath + "' is not one line of name and addresses: " + reason;
        return std::nullopt;
    }
    file->data = std::move(*dump);
    return file;
}

// Names and count first, so a disc that cannot be made is refused before any work.
int CheckNamesAndCount(const std::vector<DiscPicture>& pictures, const std::string& whereNamesComeFrom) {
    if (const auto problem = NameProblem(pictures)) {
        return UsageError(*problem + " (" + whereNamesComeFrom + ")");
    }
    if (const std::size_t fit = PicturesThatFit(screenMode, pictures); fit < pictures.size()) {
        return UsageError(std::to_string(pictures.size()) + " pictures do not fit on one disc: " +
                          std::to_string(fit) + (fit == 1 ? " does" : " do"));
    }
    return 0;
}

int WriteDisc(const ConvertOptions& o, const std::vector<DiscPicture>& pictures) {
    std::string reason;
    const auto image = BuildPictureDisc(Stem(o.output), screenMode, pictures, reason);
    if (!image) {
        return UsageError(reason);
    }
    return WriteFileAtomically(o.output, *image, reason) ? 0 : Fail(reason);
}

} // namespace

int ConvertToDisc(const ConvertOptions& o) {
    std::string reason;
    if (!ApplySettings(o, reason)) {
        return UsageError(reason);
    }
    const ScreenMode& mode = *ScreenModeByNumber(screenMode);
    std::vector<DiscPicture> pictures;
    for (const std::string& input : o.inputs) {
        const std::vector<std::uint8_t> sized(std::size_t(o.lines) * std::size_t(mode.bytesPerLine));
        pictures.push_back(
            {DumpFile(SidecarName(Stem(input)), mode.number, sized), CurrentPalette(mode.number)});
    }
    if (const int status =
            CheckNamesAndCount(pictures, "a picture's name is its file name without the extension")) {
        return status;
    }
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        ApplySettings(o, reason); // each picture starts from the palette given, whatever the last one chose
        if (!ConvertPicture(o, o.inputs[i], reason)) {
            return Fail(o.inputs[i] + ": " + reason);
        }
        auto dump = EncodeScreenMemory(convertedPicture, screenMode);
        if (!dump) {
            return Fail(o.inputs[i] + ": the screen could not be encoded");
        }
        pictures[i].file.data = std::move(*dump);
        pictures[i].palette = CurrentPalette(screenMode);
    }
    return WriteDisc(o, pictures);
}

int MakeDisc(const ConvertOptions& o) {
    std::string reason;
    if (!ApplySettings(o, reason)) {
        return UsageError(reason);
    }
    std::vector<DiscPicture> pictures;
    for (const std::string& path : o.inputs) {
        std::optional<DfsFile> file = ReadDump(path, reason);
        if (!file) {
            return Fail(reason);
        }
        pictures.push_back({std::move(*file), CurrentPalette(screenMode)});
        if (const auto problem = PictureProblem(pictures.back(), screenMode)) {
            return Fail("'" + path + "': " + *problem);
        }
    }
    if (const int status =
            CheckNamesAndCount(pictures, "names come from the sidecar, or from the dump's file name")) {
        return status;
    }
    return WriteDisc(o, pictures);
}
