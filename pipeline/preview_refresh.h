// The conversion pipeline run from start to end, and the main window's view of it.
#pragma once

#include <optional>
#include <string>

// How far a run of the picture work got; what it produced is shown, the rest is left.
struct PipelineResult {
    bool sourcePreview = false;    // picture 5 holds the prepared source at 320 x previewHeight
    bool convertedPreview = false; // pictures 7 and 6 hold the new conversion
};

// From picture 4 and the current settings: picture 8 padded and adjusted, picture 5
// (source preview), picture 7 (converted) and picture 6 (converted preview), with
// dither strength `strength` per cent. Shows nothing; without picture 4 does nothing.
PipelineResult RunConversionPipeline(int strength);

// The same conversion into picture 7 without the previews, for a program that only
// writes the result: picture 4 is moved into picture 8 rather than copied, and is gone
// afterwards. Picture 7 is byte for byte what RunConversionPipeline makes. False when
// there is no picture 4 or the conversion failed.
bool ConvertWorkingPicture(int strength);

// "Preview Image (<mode width> x <lines> pixels)"; nothing for a mode number outside the table.
std::optional<std::string> PreviewCaption(int mode, int lines);

// Fills swatch pictures 10-17 with mode `mode`'s palette, a checkerboard for the logical
// colours the mode does not have, and switches their clicks on or off to match.
void DrawPaletteSwatches(int mode);

// Runs the pipeline with the strength track bar's position and updates the previews,
// the frames' captions and the swatches.
void RefreshPreview();
