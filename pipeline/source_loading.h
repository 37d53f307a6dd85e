// Loading the source picture (picture 4) from a file.
#pragma once

#include <functional>
#include <string>
#include <string_view>

// "Source Image: <name> (<width> x <height> pixels)", the name shortened with "..." from
// its end until `measure` of the caption is below 325 pixels. Cuts fall only between
// whole UTF-8 characters and never reach into the folders; if nothing fits, the name
// is "..." alone.
std::string SourceCaption(std::string_view path, int width, int height,
                          const std::function<int(std::string_view)>& measure);

// The size a decoded picture is reduced to: at most 640 wide when it is at least as
// wide as high, otherwise at most 512 high; never below one pixel.
struct PictureSize {
    int width;
    int height;
};
PictureSize LimitedSourceSize(int width, int height);

// Reads `path` into picture 4 and limits its size, reporting nothing: the common core of
// LoadSourceImage and the command-line converter. `width` and `height` are those of the
// file's picture before the reduction; on failure picture 4 is discarded and `reason`
// holds the message.
struct SourceRead {
    int result = 0;
    std::string reason;
    int width = 0;
    int height = 0;
};
SourceRead ReadSourcePicture(std::string_view path);

// Reads `path` into picture 4, captions the source frame, limits the size and refreshes
// the previews. Returns 1 on success; 0 (picture 4 discarded, previews refreshed) when
// the path is empty, names nothing, or is not a picture the readers recognise.
int LoadSourceImage(std::string_view path);
