// Whole-picture operations the refresh runs on every change.
#include "imaging/picture.h"

#include <benchmark/benchmark.h>

namespace {

Picture Gradient(int width, int height) {
    Picture picture{width, height, std::vector<BufferWord>(static_cast<std::size_t>(width) * height)};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            picture.pixels[static_cast<std::size_t>(y) * width + x] = static_cast<BufferWord>(
                (x * 255 / width) | ((y * 255 / height) << 8) | (((x + y) & 255) << 16));
        }
    }
    return picture;
}

void BM_SmoothReduce640x512To160x256(benchmark::State& state) {
    const Picture source = Gradient(640, 512);
    for (auto _ : state) {
        benchmark::DoNotOptimize(ScalePicture(source, 160, 256, ScaleMode::Smooth));
    }
}
BENCHMARK(BM_SmoothReduce640x512To160x256);

void BM_SmoothReduce4000x3000To640x480(benchmark::State& state) {
    const Picture source = Gradient(4000, 3000);
    for (auto _ : state) {
        benchmark::DoNotOptimize(ScalePicture(source, 640, 480, ScaleMode::Smooth));
    }
}
BENCHMARK(BM_SmoothReduce4000x3000To640x480)->Unit(benchmark::kMillisecond);

void BM_RawEnlarge160x256To320x256(benchmark::State& state) {
    const Picture source = Gradient(160, 256);
    for (auto _ : state) {
        benchmark::DoNotOptimize(ScalePicture(source, 320, 256, ScaleMode::Raw));
    }
}
BENCHMARK(BM_RawEnlarge160x256To320x256);

} // namespace
