#include "disc/picture_disc.h"

#include "disc/picture_loader.h"
#include "screen/dump_writer.h"
#include "screen/screen_modes.h"

#include <cctype>
#include <charconv>

namespace {

constexpr std::array<int, 3> kLineCounts{256, 240, 200};
constexpr std::string_view kBootName = "!BOOT";

std::uint32_t ScreenAddress(const ScreenMode& mode) {
    std::uint32_t address = 0;
    std::from_chars(mode.loadAddress.data(), mode.loadAddress.data() + mode.loadAddress.size(), address, 16);
    return address;
}

std::string Reference(const DfsFile& file) {
    return std::string(1, file.directory) + "." + file.name;
}

std::vector<std::string_view> Fields(std::string_view text) {
    std::vector<std::string_view> fields;
    std::size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) {
            ++at;
        }
        std::size_t end = at;
        while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end]))) {
            ++end;
        }
        if (end > at) {
            fields.push_back(text.substr(at, end - at));
        }
        at = end;
    }
    return fields;
}

std::optional<std::uint32_t> HexAddress(std::string_view text) {
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (text.empty() || text.size() > 8 || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::vector<DfsFile> DiscFiles(int modeNumber, const std::vector<DiscPicture>& pictures, std::size_t count) {
    const ScreenMode& mode = *ScreenModeByNumber(modeNumber);
    std::vector<LoaderPicture> shown;
    for (std::size_t i = 0; i < count; ++i) {
        const DfsFile& file = pictures[i].file;
        const auto end = static_cast<std::uint32_t>((file.load & 0xFFFF) + file.data.size());
        shown.push_back({Reference(file), end, pictures[i].palette});
    }
    const std::string loader = BuildPictureLoader(mode.number, shown);
    std::vector<DfsFile> files{{'$', std::string(kBootName), 0, 0, {loader.begin(), loader.end()}}};
    for (std::size_t i = 0; i < count; ++i) {
        files.push_back(pictures[i].file);
    }
    return files;
}

} // namespace

std::string SidecarName(std::string_view fileName) {
    // The sidecar line holds the name in its columns 3 to 10.
    const std::string line = FormatInfLine(fileName, 0);
    const std::string name = line.substr(2, 8);
    return name.substr(0, name.find(' '));
}

std::optional<DfsFile> ParseSidecar(std::string_view text, std::string& reason) {
    const std::vector<std::string_view> fields = Fields(text);
    if (fields.size() < 2) {
        reason = "it needs a name and a load address";
        return std::nullopt;
    }
    DfsFile file;
    std::string_view name = fields[0];
    if (name.size() > 2 && name[1] == '.') {
        file.directory = name[0];
        name.remove_prefix(2);
    }
    file.name = std::string(name);
    const auto load = HexAddress(fields[1]);
    const auto exec = fields.size() > 2 ? HexAddress(fields[2]) : std::optional<std::uint32_t>(0);
    if (!load || !exec) {
        reason = "its addresses are not hexadecimal numbers of up to 8 digits";
        return std::nullopt;
    }
    file.load = *load;
    file.exec = *exec;
    return file;
}

DfsFile DumpFile(std::string name, int modeNumber, std::vector<std::uint8_t> dump) {
    return {'$', std::move(name), ScreenAddress(*ScreenModeByNumber(modeNumber)), 0, std::move(dump)};
}

std::optional<std::string> PictureProblem(const DiscPicture& picture, int modeNumber) {
    const ScreenMode& mode = *ScreenModeByNumber(modeNumber);
    const std::size_t length = picture.file.data.size();
    bool fits = false;
    for (const int lines : kLineCounts) {
        fits = fits || length == std::size_t(lines) * std::size_t(mode.bytesPerLine);
    }
    if (!fits) {
        return std::to_string(length) + " bytes is no " + std::string(mode.label) +
               " screen of 256, 240 or 200 lines (" + std::to_string(256 * mode.bytesPerLine) + ", " +
               std::to_string(240 * mode.bytesPerLine) + " or " + std::to_string(200 * mode.bytesPerLine) +
               " bytes)";
    }
    if ((picture.file.load & 0xFFFF) != ScreenAddress(mode)) {
        char address[16];
        std::snprintf(address, sizeof address, "%X", static_cast<unsigned>(picture.file.load));
        return "it loads at &" + std::string(address) + ", not at the screen of " + std::string(mode.label) +
               " (&" + std::string(mode.loadAddress.substr(2)) + ")";
    }
    return std::nullopt;
}

std::optional<std::string> NameProblem(const std::vector<DiscPicture>& pictures) {
    std::vector<DfsFile> names{{'$', std::string(kBootName), 0, 0, {}}};
    for (const DiscPicture& picture : pictures) {
        names.push_back({picture.file.directory, picture.file.name, 0, 0, {}});
    }
    return DfsNamesProblem(names);
}

std::size_t PicturesThatFit(int modeNumber, const std::vector<DiscPicture>& pictures) {
    for (std::size_t count = std::min(pictures.size(), kDfsMaxFiles - 1); count > 0; --count) {
        std::size_t sectors = kDfsCatalogueSectors;
        for (const DfsFile& file : DiscFiles(modeNumber, pictures, count)) {
            sectors += DfsSectorsFor(file.data.size());
        }
        if (sectors <= std::size_t(kDfsSectors)) {
            return count;
        }
    }
    return 0;
}

std::optional<std::vector<std::uint8_t>> BuildPictureDisc(std::string_view title, int modeNumber,
                                                          const std::vector<DiscPicture>& pictures,
                                                          std::string& reason) {
    if (ScreenModeByNumber(modeNumber) == nullptr || pictures.empty()) {
        reason = "there is no picture for the disc";
        return std::nullopt;
    }
    for (const DiscPicture& picture : pictures) {
        if (auto problem = PictureProblem(picture, modeNumber)) {
            reason = std::string("'").append(Reference(picture.file)).append("': ").append(*problem);
            return std::nullopt;
        }
    }
    if (auto problem = NameProblem(pictures)) {
        reason = *problem;
        return std::nullopt;
    }
    if (const std::size_t fit = PicturesThatFit(modeNumber, pictures); fit < pictures.size()) {
        reason = std::to_string(pictures.size()) + " pictures do not fit on one disc; " +
                 std::to_string(fit) + (fit == 1 ? " does" : " do");
        return std::nullopt;
    }
    return BuildDfsImage(title, DfsBootOption::Exec, DiscFiles(modeNumber, pictures, pictures.size()),
                         reason);
}
