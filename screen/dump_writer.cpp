#include "screen/dump_writer.h"

#include "imaging/atomic_file.h"
#include "imaging/file_name_part.h"
#include "imaging/picture.h"
#include "imaging/picture_writer.h"
#include "platform/platform.h"
#include "screen/screen_modes.h"
#include "state/app_state.h"
#include "state/error_message.h"

#include <array>
#include <cstdio>
#include <new>

namespace {

constexpr int kInfNameColumns = 10;
constexpr std::size_t kInfNameCharacters = 7;

std::string InvalidModeReason(int modeNumber) {
    return "Invalid screen mode parameter passed (" + std::to_string(modeNumber) + ") in SaveBBCScreen().";
}

// One character of a UTF-8 text as a byte of the 8-bit character set: code points up
// to U+00FF are themselves, anything else (or a malformed sequence) is "_". Advances
// `at` past what it read.
char NextEightBitCharacter(std::string_view text, std::size_t& at) {
    const auto lead = static_cast<unsigned char>(text[at++]);
    if (lead < 0x80) {
        return static_cast<char>(lead);
    }
    int continuation = 0;
    char32_t code = 0;
    char32_t smallest = 0;
    if ((lead & 0xE0) == 0xC0) {
        continuation = 1, code = lead & 0x1F, smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        continuation = 2, code = lead & 0x0F, smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        continuation = 3, code = lead & 0x07, smallest = 0x10000;
    } else {
        return '_';
    }
    std::size_t next = at;
    for (int i = 0; i < continuation; ++i, ++next) {
        if (next >= text.size() || (static_cast<unsigned char>(text[next]) & 0xC0) != 0x80) {
            return '_'; // the lead byte alone is the malformed character
        }
        code = (code << 6) | (static_cast<unsigned char>(text[next]) & 0x3F);
    }
    at = next;
    if (code < smallest || code > 0xFF) {
        return '_';
    }
    return static_cast<char>(static_cast<unsigned char>(code));
}

// a-z become A-Z and E0-FF move down by 20 hex, as the machine's file names expect.
char UpperCase(char character) {
    const auto code = static_cast<unsigned char>(character);
    if ((code >= 'a' && code <= 'z') || code >= 0xE0) {
        return static_cast<char>(code - 0x20);
    }
    return character;
}

std::string HexWithoutLeadingZeros(ColourValue value) {
    char text[16];
    std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(value));
    return text;
}

} // namespace

std::optional<ForeignPixel> FindForeignPixel(int picture) {
    const Picture* found = FindPicture(picture);
    if (found == nullptr) {
        return std::nullopt;
    }
    for (int y = 0; y < found->height; ++y) {
        for (int x = 0; x < found->width; ++x) {
            const ColourValue colour =
                SwapRedBlue(found->pixels[std::size_t(y) * std::size_t(found->width) + std::size_t(x)]);
            if (!IsPhysicalColour(colour)) {
                return ForeignPixel{x, y, colour};
            }
        }
    }
    return std::nullopt;
}

std::string VerificationMessage(const ForeignPixel& pixel) {
    return "Palette verification failure! Pixel at " + std::to_string(pixel.x) + ":" +
           std::to_string(pixel.y) + " = $" + HexWithoutLeadingZeros(pixel.colour) + ".";
}

int LogicalColourOf(ColourValue colour, int modeNumber) {
    const ScreenMode* mode = ScreenModeByNumber(modeNumber);
    if (mode == nullptr) {
        return 0;
    }
    for (int logical = 0; logical < mode->colourCount; ++logical) {
        if (PaletteEntry(modeNumber, logical) == colour) {
            return logical;
        }
    }
    return 0;
}

std::optional<std::vector<std::uint8_t>> EncodeScreenMemory(int picture, int modeNumber) {
    const ScreenMode* mode = ScreenModeByNumber(modeNumber);
    if (mode == nullptr || !PictureExists(picture)) {
        return std::nullopt;
    }
    const int bits = mode->bitsPerPixel;
    const int perByte = mode->pixelsPerByte;
    const int characterRows = (PictureHeight(picture) + 7) / 8;
    const int cells = mode->bytesPerLine;

    // Each pixel's logical colour once, row by row, so the cell walk below only packs. The
    // mode's palette row is read once: LogicalColourOf for every pixel, without its look-ups.
    std::array<ColourValue, kPaletteColumns> entries{};
    const auto entryCount = static_cast<std::size_t>(mode->colourCount);
    for (std::size_t k = 0; k < entryCount; ++k) {
        entries[k] = PaletteEntry(modeNumber, static_cast<int>(k));
    }
    const auto logicalOf = [&](ColourValue colour) {
        for (std::size_t k = 0; k < entryCount; ++k) {
            if (entries[k] == colour) {
                return static_cast<std::uint8_t>(k);
            }
        }
        return std::uint8_t{0};
    };
    const Picture* source = FindPicture(picture);
    std::vector<std::uint8_t> logical(std::size_t(mode->width) * std::size_t(characterRows) * 8, 0);
    for (int y = 0; y < characterRows * 8; ++y) {
        for (int x = 0; x < mode->width; ++x) {
            const bool inside = x < source->width && y < source->height;
            const ColourValue colour =
                inside ? SwapRedBlue(
                             source->pixels[std::size_t(y) * std::size_t(source->width) + std::size_t(x)])
                       : 0;
            logical[std::size_t(y) * std::size_t(mode->width) + std::size_t(x)] = logicalOf(colour);
        }
    }

    std::vector<std::uint8_t> dump;
    dump.reserve(std::size_t(characterRows) * std::size_t(mode->bytesPerCharacterRow));
    for (int row = 0; row < characterRows; ++row) {
        for (int cell = 0; cell < cells; ++cell) {
            for (int line = 0; line < 8; ++line) {
                const int y = row * 8 + line;
                unsigned byte = 0;
                for (int k = 0; k < perByte; ++k) {
                    const unsigned colour =
                        logical[std::size_t(y) * std::size_t(mode->width) + std::size_t(cell * perByte + k)];
                    // Bit j of the logical colour goes to bit (7 - k) - (bits - 1 - j) * perByte.
                    for (int j = 0; j < bits; ++j) {
                        if ((colour >> j) & 1u) {
                            byte |= 1u << ((7 - k) - (bits - 1 - j) * perByte);
                        }
                    }
                }
                dump.push_back(static_cast<std::uint8_t>(byte));
            }
        }
    }
    return dump;
}

std::string FormatInfLine(std::string_view dumpPath, int modeNumber) {
    const ScreenMode* mode = ScreenModeByNumber(modeNumber);
    if (mode == nullptr) {
        return {};
    }
    const std::string_view fileName = FileNamePart(dumpPath);
    std::string name;
    for (std::size_t at = 0; at < fileName.size() && name.size() < kInfNameCharacters;) {
        const char character = NextEightBitCharacter(fileName, at);
        if (character != ' ') {
            name += UpperCase(character);
        }
    }
    std::string line = "$." + name;
    line.resize(kInfNameColumns, ' ');
    line += mode->loadAddress;
    line += " 000000 ";
    line += mode->lengthField;
    return line;
}

std::optional<ExportSize> ExportedPictureSize(int modeNumber, int height) {
    const ScreenMode* mode = ScreenModeByNumber(modeNumber);
    if (mode == nullptr) {
        return std::nullopt;
    }
    return ExportSize{mode->exportWidth, mode->exportHeight != 0 ? mode->exportHeight : height};
}

std::string OutputPathFor(std::string_view typedPath, ScreenOutputKind kind) {
    std::string path(typedPath);
    switch (kind) {
    case ScreenOutputKind::Dump:
        break;
    case ScreenOutputKind::Jpeg:
        path += ".jpg";
        break;
    case ScreenOutputKind::Png:
        path += ".png";
        break;
    case ScreenOutputKind::Bmp:
        path += ".bmp";
        break;
    }
    return path;
}

bool WriteScreenDump(int picture, int modeNumber, std::string_view dumpPath, std::string& reason) {
    if (ScreenModeByNumber(modeNumber) == nullptr) {
        reason = InvalidModeReason(modeNumber);
        return false;
    }
    std::optional<std::vector<std::uint8_t>> dump;
    try {
        dump = EncodeScreenMemory(picture, modeNumber);
    } catch (const std::bad_alloc&) {
        dump.reset();
    }
    if (!dump) {
        reason = "Unable to encode the screen for the file '" + std::string(dumpPath) + "'.";
        return false;
    }
    if (!WriteFileAtomically(dumpPath, *dump, reason)) {
        return false;
    }
    const std::string line = FormatInfLine(dumpPath, modeNumber);
    const std::string sidecarPath = std::string(dumpPath) + ".inf";
    return WriteFileAtomically(
        sidecarPath, std::span(reinterpret_cast<const std::uint8_t*>(line.data()), line.size()), reason);
}

bool WriteScreenPicture(int picture, int modeNumber, std::string_view path, ScreenOutputKind kind,
                        std::string& reason) {
    if (kind == ScreenOutputKind::Dump) {
        return WriteScreenDump(picture, modeNumber, path, reason);
    }
    const Picture* source = FindPicture(picture);
    const std::optional<ExportSize> size =
        ExportedPictureSize(modeNumber, source != nullptr ? source->height : 0);
    if (!size) {
        reason = InvalidModeReason(modeNumber);
        return false;
    }
    if (source == nullptr) {
        reason = "There is no converted picture to write to the file '" + std::string(path) + "'.";
        return false;
    }
    Picture exported;
    try {
        exported = ScalePicture(*source, size->width, size->height, ScaleMode::Raw);
    } catch (const std::bad_alloc&) {
        reason = "Not enough memory to write the file '" + std::string(path) + "'.";
        return false;
    }
    switch (kind) {
    case ScreenOutputKind::Jpeg:
        return WriteJpegFile(exported, path, reason);
    case ScreenOutputKind::Png:
        return WritePngFile(exported, path, reason);
    case ScreenOutputKind::Bmp:
        return WriteBmpFile(exported, path, reason);
    case ScreenOutputKind::Dump:
        break;
    }
    return false;
}

void SaveBBCScreen(int picture, int modeNumber) {
    if (!PictureExists(picture)) {
        return;
    }
    if (const std::optional<ForeignPixel> foreign = FindForeignPixel(picture)) {
        ErrorMessage(VerificationMessage(*foreign));
        return;
    }
    const FileDialogResult chosen = SaveFileDialog("Save Image File", "", kSavePattern, 0);
    if (chosen.path.empty()) {
        return;
    }
    const auto kind = chosen.patternIndex >= 1 && chosen.patternIndex <= 3
                          ? static_cast<ScreenOutputKind>(chosen.patternIndex)
                          : ScreenOutputKind::Dump;
    std::string reason;
    const bool written =
        kind == ScreenOutputKind::Dump
            ? WriteScreenDump(picture, modeNumber, chosen.path, reason)
            : WriteScreenPicture(picture, modeNumber, OutputPathFor(chosen.path, kind), kind, reason);
    if (!written) {
        ErrorMessage(reason);
    }
}
