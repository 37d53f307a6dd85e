#include "imaging/picture_reader.h"

#include <exception>
#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

namespace {

std::vector<PictureReader>& Readers() {
    static std::vector<PictureReader> readers;
    return readers;
}

std::string SizeRefusal(const ReaderCheck& check) {
    if (check.width < 1 || check.height < 1) {
        return "The picture's header gives an empty size of " + std::to_string(check.width) + " x " +
               std::to_string(check.height) + " pixels.";
    }
    return "The picture is " + std::to_string(check.width) + " x " + std::to_string(check.height) +
           " pixels; pictures may be at most " + std::to_string(kMaxPictureSide) + " pixels on a side and " +
           std::to_string(kMaxPicturePixels) + " pixels in all.";
}

// A decoder's picture is taken only when it is whole: an acceptable size and one word per pixel.
bool IsWholePicture(const Picture& picture) {
    return IsAcceptablePictureSize(picture.width, picture.height) &&
           picture.pixels.size() ==
               static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height);
}

// Readers must not throw, but running out of memory inside one must not end the program.
ReaderCheck SafeCheck(const PictureReader& reader, std::span<const std::uint8_t> file,
                      std::string_view path) {
    try {
        return reader.check ? reader.check(file, path) : ReaderCheck{};
    } catch (const std::exception&) {
        return {};
    }
}

std::optional<Picture> SafeDecode(const PictureReader& reader, std::span<const std::uint8_t> file,
                                  std::string_view path, const ReaderCheck& check, const SizeNeeded& needed,
                                  bool& reduced) {
    try {
        if (needed && reader.decodeReduced) {
            const DecodeSize need = needed({check.width, check.height});
            if (need.width < check.width || need.height < check.height) {
                reduced = true;
                return reader.decodeReduced(file, need);
            }
        }
        return reader.decode ? reader.decode(file, path) : std::nullopt;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace

void RegisterPictureReader(PictureReader reader) {
    Readers().push_back(std::move(reader));
}

void ClearPictureReaders() {
    Readers().clear();
}

std::vector<std::string> RegisteredPictureReaderNames() {
    std::vector<std::string> names;
    for (const PictureReader& reader : Readers()) {
        names.push_back(reader.name);
    }
    return names;
}

DecodeResult DecodePictureBytes(std::span<const std::uint8_t> file, std::string_view path,
                                const SizeNeeded& needed) {
    DecodeResult result;
    for (const PictureReader& reader : Readers()) {
        const ReaderCheck check = SafeCheck(reader, file, path);
        if (!check.accepted) {
            continue;
        }
        result.readerName = reader.name;
        if (!IsAcceptablePictureSize(check.width, check.height)) {
            result.reason = SizeRefusal(check);
            result.tooLarge = check.width >= 1 && check.height >= 1;
            return result;
        }
        if (!check.refusal.empty()) {
            result.reason = check.refusal;
            return result;
        }
        bool reduced = false;
        std::optional<Picture> picture = SafeDecode(reader, file, path, check, needed, reduced);
        if (picture && IsWholePicture(*picture)) {
            result.fullSize =
                reduced ? DecodeSize{check.width, check.height} : DecodeSize{picture->width, picture->height};
            result.picture = std::move(picture);
        } else {
            result.reason =
                "The file is damaged or unsupported (the " + reader.name + " reader could not decode it).";
        }
        return result;
    }
    result.reason = "No reader recognises the file.";
    return result;
}

DecodeResult DecodePictureFile(std::string_view path, const SizeNeeded& needed) {
    DecodeResult result;
    const std::filesystem::path name(path);
    std::error_code error;
    if (!std::filesystem::is_regular_file(name, error)) {
        result.reason = std::filesystem::exists(name, error) ? "The path is not a regular file."
                                                             : "The file does not exist.";
        return result;
    }
    const std::uintmax_t size = std::filesystem::file_size(name, error);
    if (error) {
        result.reason = "The file cannot be read.";
        return result;
    }
    if (size > kMaxPictureFileBytes) {
        result.reason = "The file is larger than " +
                        std::to_string(kMaxPictureFileBytes / (std::size_t{1024} * 1024)) + " MiB.";
        return result;
    }
    std::vector<std::uint8_t> bytes;
    try {
        bytes.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        result.reason = "Not enough memory to read the file.";
        return result;
    }
    std::ifstream in(name, std::ios::binary);
    if (!in || !in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())) ||
        in.peek() != std::ifstream::traits_type::eof()) {
        result.reason = "The file cannot be read.";
        return result;
    }
    return DecodePictureBytes(bytes, path, needed);
}
