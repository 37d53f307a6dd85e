// The procedures as the desktop program runs them: RemapImage on a stored picture, and
// the picture work of one preview refresh.
#include "imaging/colour.h"
#include "imaging/picture.h"
#include "imaging/process_heap.h"
#include "pipeline/dither_kernels.h"
#include "pipeline/preview_refresh.h"
#include "pipeline/remap.h"
#include "screen/screen_modes.h"
#include "state/app_state.h"

#include <benchmark/benchmark.h>
#include <random>

namespace {

// The benchmarks run over the heap the programs set up first thing.
const bool heapPrepared = (PrepareProcessHeap(), true);

// A smooth gradient with noise, closer to a photograph than a flat field.
void StorePhoto(int number, int width, int height) {
    std::mt19937 random(7);
    CreatePicture(number, width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const auto noise = static_cast<int>(random() % 32) - 16;
            PlotPixel(
                number, x, y,
                MakeColour(static_cast<unsigned>(ClampChannel(x * 255 / width, noise)),
                           static_cast<unsigned>(ClampChannel(y * 255 / height, noise)),
                           static_cast<unsigned>(ClampChannel((x + y) * 255 / (width + height), -noise))));
        }
    }
}

void PrepareMode(int mode) {
    ResetAppState();
    DiscardAllPictures();
    LoadDitherKernels();
    ResetPalette(mode);
    screenMode = mode;
    modeWidth = ScreenModeByNumber(mode)->width;
    previewHeight = 256;
    previewScaleMode = mode == 0 ? 0 : 1;
}

// RemapImage at 640 x 256 in Mode 0; arguments: method, strength, serpentine.
void BM_RemapImage640x256Mode0(benchmark::State& state) {
    PrepareMode(0);
    StorePhoto(conversionWorkingCopy, 640, 256);
    const auto method = static_cast<int>(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(RemapImage(conversionWorkingCopy, 0, method,
                                            static_cast<int>(state.range(1)),
                                            static_cast<int>(state.range(2))));
    }
    state.SetLabel(ditherTable[static_cast<std::size_t>(method)].name);
}
BENCHMARK(BM_RemapImage640x256Mode0)
    ->Args({0, 50, 0})
    ->Args({5, 50, 0})
    ->Args({5, 100, 0})
    ->Args({5, 100, 1})
    ->Args({16, 100, 0})
    ->Args({16, 100, 1})
    ->Unit(benchmark::kMillisecond);

// The picture work of one refresh from a 640 x 512 working picture; arguments: mode, method.
void BM_RefreshPictureWork640x512(benchmark::State& state) {
    const auto mode = static_cast<int>(state.range(0));
    PrepareMode(mode);
    ditherMethod = static_cast<int>(state.range(1));
    StorePhoto(workingPicture, 640, 512);
    for (auto _ : state) {
        benchmark::DoNotOptimize(RunConversionPipeline(100).convertedPreview);
    }
    state.SetLabel(ditherTable[static_cast<std::size_t>(ditherMethod)].name);
}
BENCHMARK(BM_RefreshPictureWork640x512)
    ->Args({0, 16})
    ->Args({0, 5})
    ->Args({2, 5})
    ->Unit(benchmark::kMillisecond);

} // namespace
