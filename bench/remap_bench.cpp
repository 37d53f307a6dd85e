// The remapping pass, the costliest step of every refresh.
#include "imaging/colour.h"
#include "pipeline/dither_kernels.h"
#include "pipeline/remap.h"
#include "screen/screen_modes.h"

#include <benchmark/benchmark.h>
#include <random>
#include <vector>

namespace {

std::vector<BufferWord> Photo(int width, int height) {
    // A smooth gradient with noise, closer to a photograph than a flat field.
    std::mt19937 random(7);
    std::vector<BufferWord> pixels(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const auto noise = static_cast<int>(random() % 32) - 16;
            pixels[static_cast<std::size_t>(y) * width + x] = SwapRedBlue(
                MakeColour(static_cast<unsigned>(ClampChannel(x * 255 / width, noise)),
                           static_cast<unsigned>(ClampChannel(y * 255 / height, noise)),
                           static_cast<unsigned>(ClampChannel((x + y) * 255 / (width + height), -noise))));
        }
    }
    return pixels;
}

void Remap(benchmark::State& state, int width, int height, int colourCount) {
    LoadDitherKernels();
    const int method = static_cast<int>(state.range(0));
    const std::vector<BufferWord> source = Photo(width, height);
    const std::span<const ColourValue> colours(kPhysicalColours.data(),
                                               static_cast<std::size_t>(colourCount));
    std::vector<BufferWord> pixels;
    for (auto _ : state) {
        // Restoring the input is not the pass's work, and a copy to 16 bytes past the
        // source's place in its page, where back-to-back buffers of whole pages land,
        // takes some processors' string moves 25 times as long as any other.
        state.PauseTiming();
        pixels = source;
        state.ResumeTiming();
        RemapPixels(pixels, width, height, colours, ditherTable[static_cast<std::size_t>(method)], 50, true);
        benchmark::DoNotOptimize(pixels.data());
    }
    state.SetLabel(ditherTable[static_cast<std::size_t>(method)].name);
}

void BM_Remap160x256Mode2(benchmark::State& state) {
    Remap(state, 160, 256, 8);
}
void BM_Remap640x256Mode0(benchmark::State& state) {
    Remap(state, 640, 256, 2);
}
void BM_Remap320x256Mode1(benchmark::State& state) {
    Remap(state, 320, 256, 4);
}

// 0 "None", 5 "Floyd-Steinberg", 16 "Stucki (Varn Modified)", the largest kernel.
BENCHMARK(BM_Remap160x256Mode2)->Arg(0)->Arg(5)->Arg(16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Remap640x256Mode0)->Arg(0)->Arg(5)->Arg(16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Remap320x256Mode1)->Arg(5)->Unit(benchmark::kMicrosecond);

} // namespace
