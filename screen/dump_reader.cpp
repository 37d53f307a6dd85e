#include "screen/dump_reader.h"

#include "imaging/file_name_part.h"
#include "platform/platform.h"
#include "screen/screen_modes.h"
#include "state/error_message.h"
#include "state/file_exists.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>

namespace {

// Logical colour of pixel k of a byte, the inverse of the writer's packing.
int PixelValue(std::uint8_t byte, int k, int bitsPerPixel) {
    const auto bit = [byte](int n) { return (byte >> n) & 1; };
    switch (bitsPerPixel) {
    case 1:
        return bit(7 - k);
    case 2:
        return 2 * bit(7 - k) + bit(3 - k);
    default:
        return 8 * bit(7 - k) + 4 * bit(5 - k) + 2 * bit(3 - k) + bit(1 - k);
    }
}

} // namespace

DecodedDump DecodeScreenBytes(std::span<const std::uint8_t> data, int width, int bitsPerPixel) {
    if (bitsPerPixel != 1 && bitsPerPixel != 2 && bitsPerPixel != 4) {
        return {std::nullopt, "An invalid BBC Micro image depth parameter (" + std::to_string(bitsPerPixel) +
                                  ") was passed during conversion."};
    }
    const int pixelsPerByte = 8 / bitsPerPixel;
    const std::uint64_t height64 = width > 0 ? static_cast<std::uint64_t>(data.size()) *
                                                   static_cast<std::uint64_t>(pixelsPerByte) /
                                                   static_cast<std::uint64_t>(width)
                                             : 0;
    if (width % pixelsPerByte != 0 || !IsAcceptablePictureSize(width, static_cast<std::int64_t>(height64))) {
        return {std::nullopt, "Failed to create image during conversion."};
    }
    const int height = static_cast<int>(height64);
    Picture picture{width, height, std::vector<BufferWord>(static_cast<std::size_t>(width) * height, 0)};

    // Lookup of each logical colour's buffer word, so the walk does no colour conversion.
    std::array<BufferWord, 16> words{};
    for (int v = 0; v < 16; ++v) {
        words[static_cast<std::size_t>(v)] = SwapRedBlue(DefaultLogicalColour(v, bitsPerPixel));
    }

    std::size_t next = 0;
    for (int rowTop = 0; rowTop < height && next < data.size(); rowTop += 8) {
        for (int cellLeft = 0; cellLeft < width && next < data.size(); cellLeft += pixelsPerByte) {
            for (int line = 0; line < 8 && next < data.size(); ++line) {
                const std::uint8_t byte = data[next++];
                const int y = rowTop + line;
                if (y >= height) {
                    continue; // the data reaches below the last whole line
                }
                BufferWord* out = &picture.pixels[static_cast<std::size_t>(y) * width + cellLeft];
                for (int k = 0; k < pixelsPerByte; ++k) {
                    out[k] = words[static_cast<std::size_t>(PixelValue(byte, k, bitsPerPixel))];
                }
            }
        }
    }
    return {std::move(picture), {}};
}

int DecodeScreenMemory(std::span<const std::uint8_t> data, int width, int bitsPerPixel) {
    DecodedDump decoded = DecodeScreenBytes(data, width, bitsPerPixel);
    if (!decoded.picture) {
        ErrorMessage(decoded.reason);
        return 0;
    }
    return StoreAutomaticPicture(std::move(*decoded.picture));
}

int ConvertBBCScreen(std::span<const std::uint8_t> data, int modeNumber) {
    const ScreenMode* mode = ScreenModeByNumber(modeNumber);
    if (mode == nullptr) {
        ErrorMessage("An invalid BBC Micro screen mode parameter (" + std::to_string(modeNumber) +
                     ") was passed during conversion.");
        return 0;
    }
    return DecodeScreenMemory(data, mode->width, mode->bitsPerPixel);
}

bool ConfirmDumpSize(std::uint64_t fileLength) {
    if (fileLength <= kMaxDumpBytes) {
        return true;
    }
    const MessageAnswer answer =
        ShowMessageBox("Quillmorph",
                       "This file is larger than the size expected of a standard BBC Micro image file.\n\n"
                       "Do you wish to proceed (file will be truncated)?",
                       MessageIcon::Question, MessageButtons::YesNo);
    if (answer == MessageAnswer::Yes) {
        return true;
    }
    ShowMessageBox("Quillmorph", "Operation cancelled by user.", MessageIcon::Information,
                   MessageButtons::Ok);
    return false;
}

std::optional<std::vector<std::uint8_t>>
ReadScreenDumpFile(std::string_view path, const std::function<bool(std::uint64_t fileLength)>& acceptLength) {
    if (FileExists(path) == 0) {
        ErrorMessage("The file '" + std::string(FileNamePart(path)) + "' was not found.");
        return std::nullopt;
    }
    const std::filesystem::path filePath(path);
    std::error_code error;
    std::ifstream in;
    // Only plain files: a folder cannot be read, and opening a pipe or a device would
    // wait for a writer or never end.
    if (std::filesystem::is_regular_file(filePath, error)) {
        in.open(filePath, std::ios::binary);
    }
    const std::uint64_t length = in.is_open() ? std::filesystem::file_size(filePath, error) : 0;
    if (!in.is_open() || error) {
        ErrorMessage("Failed to open requested file.");
        return std::nullopt;
    }
    if (length > kMaxDumpBytes && !acceptLength(length)) {
        return std::nullopt;
    }
    // An empty file is a read that delivered nothing, not a memory failure.
    if (length == 0) {
        ErrorMessage("Failed to read requested file.");
        return std::nullopt;
    }
    std::vector<std::uint8_t> data(static_cast<std::size_t>(std::min<std::uint64_t>(length, kMaxDumpBytes)),
                                   0);
    in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()));
    if (in.gcount() <= 0) {
        ErrorMessage("Failed to read requested file.");
        return std::nullopt;
    }
    return data;
}
