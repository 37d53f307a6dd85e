// Windows metafiles (.wmf) through libwmf and enhanced metafiles (.emf) through
// libemf2svg and Qt SVG, rendered on white as 24-bit colour in the metafile helper
// process (metafile_sandbox.h), at their natural size at 96 dots per inch reduced to
// what the program keeps of a loaded picture (640 pixels wide, 512 high).
//
// Natural size: a placeable WMF's bounding box in its units per inch; a WMF without
// the placeable header, whatever libwmf measures; an EMF's frame (hundredths of a
// millimetre), or its bounds in device pixels when the frame is empty. A non-empty
// extent smaller than a pixel gives one pixel; an empty one gives a size of zero, which
// the reader chain refuses. Not handled: EMF+ records (the plain EMF records that
// dual files carry are drawn instead), WMF files that libwmf cannot play.
#pragma once

#include "imaging/picture_reader.h"

#include <string>

ReaderCheck CheckWmf(std::span<const std::uint8_t> file);
std::optional<Picture> DecodeWmf(std::span<const std::uint8_t> file);

ReaderCheck CheckEmf(std::span<const std::uint8_t> file);
std::optional<Picture> DecodeEmf(std::span<const std::uint8_t> file);
// The EMF as SVG at its natural size, converted in this process, for the fuzz target,
// which must see the converter's own faults.
std::optional<std::string> ConvertEmfHere(std::span<const std::uint8_t> file);

// The work itself, done in this process: only the metafile helper calls these. A WMF's
// natural size (placeable header or libwmf's measure), and either metafile rendered at
// width x height on white.
ReaderCheck MeasureWmfHere(std::span<const std::uint8_t> file);
std::optional<Picture> RenderWmfHere(std::span<const std::uint8_t> file, int width, int height);
std::optional<Picture> RenderEmfHere(std::span<const std::uint8_t> file, int width, int height);

PictureReader WmfPictureReader();
PictureReader EmfPictureReader();
