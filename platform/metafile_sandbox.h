// Metafiles are played by C libraries that meet untrusted files, so all of a metafile's
// work (measuring, converting, rendering) runs in a helper process of its own, started
// with posix_spawn, under one time limit and a memory limit; the pixels come back over a
// pipe. A helper that crashes, hangs or exceeds its limits makes the read fail and
// leaves no process or file behind.
#pragma once

#include "imaging/picture.h"
#include "imaging/picture_reader.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

enum class MetafileKind { Wmf, Emf };

// The helper's file name; it is looked for beside the code that starts it, then in the
// program's installed private folder.
constexpr const char* kMetafileHelperFile = "quillmorph-metafile-helper";

// The natural size of a WMF without a placeable header, which only playing it tells.
ReaderCheck MeasureMetafileInHelper(MetafileKind kind, std::span<const std::uint8_t> file);
// The metafile rendered at width x height, or nothing.
std::optional<Picture> RenderMetafileInHelper(MetafileKind kind, std::span<const std::uint8_t> file,
                                              int width, int height);

// The size a metafile of this natural size is rendered at: the program keeps at most 640
// pixels of width (512 of height for a tall picture) of what it loads, so a metafile is
// rendered no larger, keeping its proportions, integer division as the load does.
ReaderCheck MetafileRenderSize(const ReaderCheck& natural);

// For tests, whose programs do not sit beside the helper; an empty path restores the search.
void SetMetafileHelperPath(std::string path);

// What the helper writes back: a 32-bit width and height (little-endian, zero for no
// picture), then, for a render, one buffer word a pixel, top row first.
struct MetafileReply {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};
