#include "pipeline/source_loading.h"

#include "imaging/file_name_part.h"
#include "imaging/picture.h"
#include "imaging/picture_reader.h"
#include "pipeline/preview_refresh.h"
#include "platform/platform.h"
#include "state/app_state.h"
#include "state/error_message.h"
#include "state/file_exists.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace {

constexpr int kCaptionLimit = 325; // pixels; the source frame's caption must stay narrower
constexpr int kLimitWidth = 640;
constexpr int kLimitHeight = 512;

std::string CaptionWith(std::string_view name, int width, int height) {
    return "Source Image: " + std::string(name) + " (" + std::to_string(width) + " x " +
           std::to_string(height) + " pixels)";
}

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0u) == 0x80u;
}

// The conversion goes with its picture: a refresh without a working picture only empties
// the frames, and Save As and the previews must not offer what the frames no longer show.
void DiscardAndRefresh() {
    for (const int stage : {workingPicture, sourcePreviewPicture, convertedPreviewPicture, convertedPicture,
                            conversionWorkingCopy}) {
        FreePicture(stage);
    }
    RefreshPreview();
}

} // namespace

std::string SourceCaption(std::string_view path, int width, int height,
                          const std::function<int(std::string_view)>& measure) {
    std::string caption = CaptionWith(FileNamePart(path), width, height);
    if (measure(caption) < kCaptionLimit) {
        return caption;
    }
    // Shorten from the end of the path, one character at a time, but no further than the
    // start of the file name: past it the caption would show a folder's name as the file's.
    const std::size_t nameStart = path.size() - FileNamePart(path).size();
    for (std::size_t keep = path.size(); keep > nameStart;) {
        --keep;
        if (keep > nameStart && IsContinuationByte(path[keep])) {
            continue; // not a character boundary
        }
        const std::string candidate = std::string(path.substr(0, keep)) + "...";
        caption = CaptionWith(FileNamePart(candidate), width, height);
        if (measure(caption) < kCaptionLimit) {
            break;
        }
    }
    return caption;
}

PictureSize LimitedSourceSize(int width, int height) {
    const std::int64_t w = width;
    const std::int64_t h = height;
    if (w >= h && w > kLimitWidth) {
        return {kLimitWidth, static_cast<int>(std::max<std::int64_t>(1, h * kLimitWidth / w))};
    }
    if (w < h && h > kLimitHeight) {
        return {static_cast<int>(std::max<std::int64_t>(1, w * kLimitHeight / h)), kLimitHeight};
    }
    return {width, height};
}

SourceRead ReadSourcePicture(std::string_view path) {
    const std::string name(FileNamePart(path));
    if (FileExists(path) == 0) {
        FreePicture(workingPicture);
        return {0, "The file '" + name + "' does not exist.", 0, 0};
    }
    // A reader that can decode smaller (JPEG) decodes at least the size the picture is
    // reduced to below; the reduction then starts from that.
    DecodeResult decoded = DecodePictureFile(path, [](DecodeSize full) {
        const PictureSize limited =
            LimitedSourceSize(static_cast<int>(full.width), static_cast<int>(full.height));
        return DecodeSize{limited.width, limited.height};
    });
    if (decoded.tooLarge) {
        FreePicture(workingPicture);
        return {0, "The file '" + name + "' is too large. " + decoded.reason, 0, 0};
    }
    if (!decoded.picture || !IsAcceptablePictureSize(decoded.picture->width, decoded.picture->height)) {
        FreePicture(workingPicture);
        return {0, "The file '" + name + "' is not a recognised image format.", 0, 0};
    }
    // The caption and the reduction go by the file's picture, however it was decoded.
    const auto width = static_cast<int>(decoded.fullSize.width);
    const auto height = static_cast<int>(decoded.fullSize.height);
    StorePicture(workingPicture, std::move(*decoded.picture));
    const PictureSize limited = LimitedSourceSize(width, height);
    ResizePicture(workingPicture, limited.width, limited.height, ScaleMode::Smooth);
    return {1, {}, width, height};
}

int LoadSourceImage(std::string_view path) {
    if (path.empty()) {
        DiscardAndRefresh();
        return 0;
    }
    const SourceRead read = ReadSourcePicture(path);
    if (read.result == 0) {
        ErrorMessage(read.reason);
        DiscardAndRefresh();
        return 0;
    }
    // The caption keeps the size of the file's picture, before any reduction.
    SetControlText(sourceFrame, SourceCaption(path, read.width, read.height, [](std::string_view text) {
                       return TextWidth(sourceFrame, text);
                   }));
    RefreshPreview();
    return 1;
}
