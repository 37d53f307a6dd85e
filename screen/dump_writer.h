// The screen dump writer: the converted picture as the machine's screen memory in
// character-cell order with its one-line ".inf" sidecar, or as a JPEG, PNG or BMP
// picture of the converted screen.
//
// SaveBBCScreen is the "Save As..." command with its dialog and messages; the rest is
// the core it runs on, which needs no window and is what the command-line converter
// calls.
#pragma once

#include "imaging/colour.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct ForeignPixel {
    int x = 0;
    int y = 0;
    ColourValue colour = 0;
};

// What the save dialog's pattern entries (in this order) write.
enum class ScreenOutputKind { Dump = 0, Jpeg = 1, Png = 2, Bmp = 3 };

// The save dialog's pattern list.
inline constexpr std::string_view kSavePattern =
    "BBC Micro Screen Dump (*.*)|*.*|JPEG File Interchange Format (*.jpg; *.jpeg)|*.jpg;*.jpeg|"
    "Portable Network Graphics (*.png)|*.png|Windows Bitmap (*.bmp)|*.bmp";

// The first pixel, rows top to bottom and each row left to right, that is not one of
// the eight physical colours; nothing when every pixel is one (or there is no picture).
std::optional<ForeignPixel> FindForeignPixel(int picture);

// "Palette verification failure! Pixel at x:y = $HEX." for that pixel.
std::string VerificationMessage(const ForeignPixel& pixel);

// The logical colour the dump gives a colour value in a mode: the first entry of the
// mode's palette row equal to it, or 0.
int LogicalColourOf(ColourValue colour, int modeNumber);

// The screen memory of the picture in the mode: character rows of 8 lines top first,
// cells left first, 8 bytes per cell, bytes packed by the mode's bits per pixel.
// The mode's width of pixels is encoded (pixels beyond the picture count as black)
// and the picture's height rounded up to whole character rows. Nothing for a mode
// number outside the table or a missing picture.
std::optional<std::vector<std::uint8_t>> EncodeScreenMemory(int picture, int modeNumber);

// The 30-character sidecar line, as bytes of the 8-bit character set (the path is
// UTF-8; characters above U+00FF and malformed bytes become "_"). Empty for a mode
// number outside the table.
std::string FormatInfLine(std::string_view dumpPath, int modeNumber);

// Width and height of an exported picture of the mode, for a picture `height` lines
// high; nothing for a mode number outside the table.
struct ExportSize {
    int width = 0;
    int height = 0;
};
std::optional<ExportSize> ExportedPictureSize(int modeNumber, int height);

// The name written for what the user typed: the name itself for a dump, the name plus
// ".jpg", ".png" or ".bmp" otherwise, whatever it already ends in.
std::string OutputPathFor(std::string_view typedPath, ScreenOutputKind kind);

// Writes the dump at `dumpPath` and its sidecar at dumpPath + ".inf", each whole or
// not at all. The sidecar is written only after the dump, so a failure never leaves a
// new sidecar beside an old dump. False with the reason on failure.
bool WriteScreenDump(int picture, int modeNumber, std::string_view dumpPath, std::string& reason);

// Writes the picture of the converted screen, rescaled to the mode's export size,
// exactly at `path` with the kind's encoder. False with the reason on failure.
bool WriteScreenPicture(int picture, int modeNumber, std::string_view path, ScreenOutputKind kind,
                        std::string& reason);

// The "Save As..." command: verifies the picture, asks for a name and kind, writes.
// Every failure is reported through ErrorMessage.
void SaveBBCScreen(int picture, int modeNumber);
