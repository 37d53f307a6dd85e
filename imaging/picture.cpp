#include "imaging/picture.h"

#include <algorithm>
#include <map>
#include <new>
#include <optional>
#include <utility>

namespace {

std::map<int, Picture>& Store() {
    static std::map<int, Picture> store;
    return store;
}

int nextAutomaticNumber = kFirstAutomaticPictureNumber;

int TakeAutomaticNumber() {
    while (Store().contains(nextAutomaticNumber)) {
        ++nextAutomaticNumber;
    }
    return nextAutomaticNumber++;
}

std::size_t IndexOf(const Picture& picture, int x, int y) {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(picture.width) +
           static_cast<std::size_t>(x);
}

} // namespace

bool IsAcceptablePictureSize(std::int64_t width, std::int64_t height) {
    return width >= 1 && height >= 1 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
           static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) <= kMaxPicturePixels;
}

bool CreatePicture(int number, int width, int height) {
    if (!IsAcceptablePictureSize(width, height)) {
        return false;
    }
    try {
        Picture picture;
        picture.width = width;
        picture.height = height;
        picture.pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
        Store()[number] = std::move(picture);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

int CreateAutomaticPicture(int width, int height) {
    const int number = TakeAutomaticNumber();
    return CreatePicture(number, width, height) ? number : 0;
}

void StorePicture(int number, Picture picture) {
    Store()[number] = std::move(picture);
}

int StoreAutomaticPicture(Picture picture) {
    const int number = TakeAutomaticNumber();
    StorePicture(number, std::move(picture));
    return number;
}

bool PictureExists(int number) {
    return Store().contains(number);
}

void DiscardPicture(int number) {
    Store().erase(number);
}

void DiscardAllPictures() {
    Store().clear();
    nextAutomaticNumber = kFirstAutomaticPictureNumber;
}

bool CopyPicture(int from, int to) {
    const Picture* source = FindPicture(from);
    if (source == nullptr) {
        return false;
    }
    if (from == to) {
        return true;
    }
    try {
        Picture copy = *source;
        Store()[to] = std::move(copy);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

int PictureWidth(int number) {
    const Picture* picture = FindPicture(number);
    return picture != nullptr ? picture->width : 0;
}

int PictureHeight(int number) {
    const Picture* picture = FindPicture(number);
    return picture != nullptr ? picture->height : 0;
}

Picture* FindPicture(int number) {
    auto found = Store().find(number);
    return found != Store().end() ? &found->second : nullptr;
}

bool ResizePicture(int number, int width, int height, ScaleMode mode) {
    Picture* picture = FindPicture(number);
    if (picture == nullptr || !IsAcceptablePictureSize(width, height)) {
        return false;
    }
    if (picture->width == width && picture->height == height) {
        return true;
    }
    try {
        *picture = ScalePicture(*picture, width, height, mode);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

namespace {

// The part of a box that lies inside a picture, in 64 bits so that offsets near the int
// limits cannot overflow; nothing when the box misses the picture altogether.
struct ClippedBox {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

std::optional<ClippedBox> ClipBox(const Picture& picture, int x, int y, std::int64_t width,
                                  std::int64_t height) {
    const std::int64_t left = std::max<std::int64_t>(0, x);
    const std::int64_t top = std::max<std::int64_t>(0, y);
    const std::int64_t right = std::min<std::int64_t>(picture.width, std::int64_t{x} + width);
    const std::int64_t bottom = std::min<std::int64_t>(picture.height, std::int64_t{y} + height);
    if (left >= right || top >= bottom) {
        return std::nullopt;
    }
    return ClippedBox{static_cast<int>(left), static_cast<int>(top), static_cast<int>(right),
                      static_cast<int>(bottom)};
}

} // namespace

void DrawPicture(int source, int target, int x, int y) {
    const Picture* from = FindPicture(source);
    Picture* to = FindPicture(target);
    if (from == nullptr || to == nullptr || from == to) {
        return;
    }
    const std::optional<ClippedBox> box = ClipBox(*to, x, y, from->width, from->height);
    if (!box) {
        return;
    }
    for (int row = box->top; row < box->bottom; ++row) {
        const auto* begin = &from->pixels[IndexOf(*from, static_cast<int>(std::int64_t{box->left} - x),
                                                  static_cast<int>(std::int64_t{row} - y))];
        std::copy(begin, begin + (box->right - box->left), &to->pixels[IndexOf(*to, box->left, row)]);
    }
}

void FillBox(int number, int x, int y, int width, int height, ColourValue colour) {
    Picture* picture = FindPicture(number);
    if (picture == nullptr) {
        return;
    }
    const std::optional<ClippedBox> box = ClipBox(*picture, x, y, width, height);
    if (!box) {
        return;
    }
    const BufferWord word = SwapRedBlue(colour);
    for (int row = box->top; row < box->bottom; ++row) {
        auto* begin = &picture->pixels[IndexOf(*picture, box->left, row)];
        std::fill(begin, begin + (box->right - box->left), word);
    }
}

void PlotPixel(int number, int x, int y, ColourValue colour) {
    Picture* picture = FindPicture(number);
    if (picture == nullptr || x < 0 || y < 0 || x >= picture->width || y >= picture->height) {
        return;
    }
    picture->pixels[IndexOf(*picture, x, y)] = SwapRedBlue(colour);
}

ColourValue ReadPixel(int number, int x, int y) {
    const Picture* picture = FindPicture(number);
    if (picture == nullptr || x < 0 || y < 0 || x >= picture->width || y >= picture->height) {
        return 0;
    }
    return SwapRedBlue(picture->pixels[IndexOf(*picture, x, y)]);
}
