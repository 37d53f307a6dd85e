#include "imaging/picture_writer.h"

#include "imaging/atomic_file.h"

namespace {

using Encoder = std::optional<std::vector<std::uint8_t>> (*)(const Picture&);

bool EncodeAndWrite(Encoder encode, const Picture& picture, std::string_view path, std::string& reason) {
    const std::optional<std::vector<std::uint8_t>> bytes = encode(picture);
    if (!bytes) {
        reason = "Unable to encode the picture for the file '" + std::string(path) + "'.";
        return false;
    }
    return WriteFileAtomically(path, *bytes, reason);
}

} // namespace

bool WritePngFile(const Picture& picture, std::string_view path, std::string& reason) {
    return EncodeAndWrite(EncodePng, picture, path, reason);
}

bool WriteJpegFile(const Picture& picture, std::string_view path, std::string& reason) {
    return EncodeAndWrite(EncodeJpeg, picture, path, reason);
}

bool WriteBmpFile(const Picture& picture, std::string_view path, std::string& reason) {
    return EncodeAndWrite(EncodeBmp, picture, path, reason);
}
