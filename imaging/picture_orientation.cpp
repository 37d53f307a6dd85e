#include "imaging/picture_orientation.h"

#include <algorithm>

Picture Orient(Picture picture, int orientation) {
    if (orientation < 2 || orientation > 8) {
        return picture;
    }
    const auto w = static_cast<std::size_t>(picture.width);
    const auto h = static_cast<std::size_t>(picture.height);
    const bool swaps = orientation >= 5;
    Picture result{swaps ? picture.height : picture.width, swaps ? picture.width : picture.height,
                   std::vector<BufferWord>(picture.pixels.size())};
    const auto outWidth = static_cast<std::size_t>(result.width);
    for (std::size_t y = 0; y < h; ++y) {
        for (std::size_t x = 0; x < w; ++x) {
            std::size_t tx = x;
            std::size_t ty = y;
            switch (orientation) {
            case 2:
                tx = w - 1 - x;
                break;
            case 3:
                tx = w - 1 - x, ty = h - 1 - y;
                break;
            case 4:
                ty = h - 1 - y;
                break;
            case 5:
                tx = y, ty = x;
                break;
            case 6:
                tx = h - 1 - y, ty = x;
                break;
            case 7:
                tx = h - 1 - y, ty = w - 1 - x;
                break;
            default:
                tx = y, ty = w - 1 - x;
                break; // 8
            }
            result.pixels[ty * outWidth + tx] = picture.pixels[y * w + x];
        }
    }
    return result;
}
