#include "imaging/picture.h"

#include <algorithm>
#include <map>
#include <new>
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
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(picture.width) + static_cast<std::size_t>(x);
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

void StorePicture(int number, Picture picture) { Store()[number] = std::move(picture); }

int StoreAutomaticPicture(Picture picture) {
    const int number = TakeAutomaticNumber();
    StorePicture(number, std::move(picture));
    return number;
}

bool PictureExists(int number) { return Store().contains(number); }

void DiscardPicture(int number) { Store().erase(number); }

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

void DrawPicture(int source, int target, int x, int y) {
    const Picture* from = FindPicture(source);
    Picture* to = FindPicture(target);
    if (from == nullptr || to == nullptr || from == to) {
        return;
    }
    // Clip in 64 bits so that offsets near the int limits cannot overflow.
    const std::int64_t left = std::max<std::int64_t>(0, x);
    const std::int64_t top = std::max<std::int64_t>(0, y);
    const std::int64_t right = std::min<std::int64_t>(to->width, std::int64_t{x} + from->width);
    const std::int64_t bottom = std::min<std::int64_t>(to->height, std::int64_t{y} + from->height);
    for (std::int64_t row = top; row < bottom; ++row) {
        const auto sourceRow = static_cast<int>(row - y);
        const auto* begin = &from->pixels[IndexOf(*from, static_cast<int>(left - x), sourceRow)];
        std::copy(begin, begin + (right - left), &to->pixels[IndexOf(*to, static_cast<int>(left), static_cast<int>(row))]);
    }
}

void FillBox(int number, int x, int y, int width, int height, ColourValue colour) {
    Picture* picture = FindPicture(number);
    if (picture == nullptr || width <= 0 || height <= 0) {
        return;
    }
    const std::int64_t left = std::max<std::int64_t>(0, x);
    const std::int64_t top = std::max<std::int64_t>(0, y);
    const std::int64_t right = std::min<std::int64_t>(picture->width, std::int64_t{x} + width);
    const std::int64_t bottom = std::min<std::int64_t>(picture->height, std::int64_t{y} + height);
    const BufferWord word = SwapRedBlue(colour);
    for (std::int64_t row = top; row < bottom; ++row) {
        auto* begin = &picture->pixels[IndexOf(*picture, static_cast<int>(left), static_cast<int>(row))];
        std::fill(begin, begin + std::max<std::int64_t>(0, right - left), word);
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
