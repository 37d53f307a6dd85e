// Pictures and the numbered picture store.
//
// Every picture lives under a small integer number. The fixed numbers 4-25 belong to
// the pipeline's stages; temporary pictures take automatic numbers from
// kFirstAutomaticPictureNumber upwards, so the two never meet. Pixels are stored as
// buffer words (blue in the low byte), top row first, so a pixel buffer copy is a
// straight memory copy.
#pragma once

#include "imaging/colour.h"

#include <cstdint>
#include <vector>

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<BufferWord> pixels; // width * height words, row-major, top row first
};

enum class ScaleMode { Smooth, Raw };

// Pictures larger than this are refused before their pixels are decoded.
constexpr int kMaxPictureSide = 32767;
constexpr std::uint64_t kMaxPicturePixels = 150'000'000;

constexpr int kFirstAutomaticPictureNumber = 1'000'000;

// True when width x height is a size the program accepts for a picture (each side
// 1..kMaxPictureSide and at most kMaxPicturePixels pixels).
bool IsAcceptablePictureSize(std::int64_t width, std::int64_t height);

// Creates (or replaces) picture `number` of the given size, all black. Fails, leaving
// the store unchanged, when the size is not acceptable or memory runs out.
bool CreatePicture(int number, int width, int height);
// Creates a picture under a fresh automatic number; returns the number, or 0 on failure.
int CreateAutomaticPicture(int width, int height);
// Stores an already decoded picture under `number`, replacing what it held.
void StorePicture(int number, Picture picture);
// Stores a decoded picture under a fresh automatic number and returns it.
int StoreAutomaticPicture(Picture picture);

bool PictureExists(int number);
void DiscardPicture(int number);
void DiscardAllPictures();

// Replaces picture `to` by a copy of picture `from`. Does nothing when `from` is absent.
bool CopyPicture(int from, int to);

int PictureWidth(int number);  // 0 when absent
int PictureHeight(int number); // 0 when absent

// Direct access for the whole-picture transfers; nullptr when absent.
Picture* FindPicture(int number);

// Rescales picture `number` in place to width x height. A picture that already has
// that size is left untouched.
bool ResizePicture(int number, int width, int height, ScaleMode mode);

// Draws picture `source` unscaled into picture `target` with its top-left corner at
// x, y; what falls outside the target is clipped.
void DrawPicture(int source, int target, int x, int y);
// Fills the box at x, y of width x height with a colour value, clipped to the picture.
void FillBox(int number, int x, int y, int width, int height, ColourValue colour);
// Sets one pixel to a colour value; outside the picture nothing happens.
void PlotPixel(int number, int x, int y, ColourValue colour);
// Reads one pixel as a colour value; outside the picture, or without a picture, black.
ColourValue ReadPixel(int number, int x, int y);

// The scaling itself, over a picture that is not in the store.
Picture ScalePicture(const Picture& source, int width, int height, ScaleMode mode);
