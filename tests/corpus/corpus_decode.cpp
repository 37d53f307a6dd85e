// Reads each file named on standard input, one path a line, through the reader chain as
// Open does, and answers on standard output: "<width> <height>\n" and the pixels as RGB
// bytes, top row first, or "- <reason>\n". One process for the whole corpus spares the
// corpus test a program start and a PNG encoding a file.
#include "imaging/picture_reader.h"
#include "pipeline/picture_readers.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

int main() {
    RegisterPictureReaders();
    std::string path;
    std::vector<unsigned char> row;
    while (std::getline(std::cin, path)) {
        const DecodeResult result = DecodePictureFile(path);
        if (!result.picture) {
            std::printf("- %s\n", result.reason.c_str());
            std::fflush(stdout);
            continue;
        }
        const Picture& picture = *result.picture;
        std::printf("%d %d\n", picture.width, picture.height);
        row.resize(std::size_t(picture.width) * 3);
        for (int y = 0; y < picture.height; ++y) {
            const BufferWord* words = picture.pixels.data() + std::size_t(y) * std::size_t(picture.width);
            for (int x = 0; x < picture.width; ++x) {
                row[std::size_t(x) * 3] = static_cast<unsigned char>(words[x] >> 16);
                row[std::size_t(x) * 3 + 1] = static_cast<unsigned char>(words[x] >> 8);
                row[std::size_t(x) * 3 + 2] = static_cast<unsigned char>(words[x]);
            }
            std::fwrite(row.data(), 1, row.size(), stdout);
        }
        std::fflush(stdout);
    }
    return 0;
}
