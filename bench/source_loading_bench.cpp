// Opening a large photograph: LoadSourceImage from the file to the refreshed previews, as
// the Open command runs it (without a window, so nothing is painted).
#include "imaging/picture.h"
#include "imaging/picture_writer.h"
#include "pipeline/dither_kernels.h"
#include "pipeline/picture_readers.h"
#include "pipeline/source_loading.h"
#include "screen/screen_modes.h"
#include "state/app_state.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <random>

namespace {

// A 6000 x 4000 JPEG at quality 70 with noise, so it compresses like a photograph.
std::string WritePhotograph() {
    const std::string path =
        (std::filesystem::temp_directory_path() / "quillmorph-bench-6000x4000.jpg").string();
    if (std::filesystem::exists(path)) {
        return path;
    }
    constexpr int kWidth = 6000;
    constexpr int kHeight = 4000;
    Picture photo{kWidth, kHeight, std::vector<BufferWord>(static_cast<std::size_t>(kWidth) * kHeight)};
    std::mt19937 random(11);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const int noise = static_cast<int>(random() % 48) - 24;
            photo.pixels[static_cast<std::size_t>(y) * kWidth + x] =
                SwapRedBlue(MakeColour(static_cast<unsigned>(ClampChannel(x * 255 / kWidth, noise)),
                                       static_cast<unsigned>(ClampChannel(y * 255 / kHeight, noise)),
                                       static_cast<unsigned>(ClampChannel(128, noise))));
        }
    }
    std::string reason;
    WriteJpegFile(photo, path, reason);
    return path;
}

void BM_OpenPhotograph6000x4000Mode2FloydSteinberg(benchmark::State& state) {
    const std::string path = WritePhotograph();
    ResetAppState();
    LoadDitherKernels();
    RegisterPictureReaders();
    ResetPalette(2);
    screenMode = 2;
    modeWidth = 160;
    previewHeight = 256;
    previewScaleMode = 1;
    keepAspect = 1;
    ditherMethod = 5;
    for (auto _ : state) {
        benchmark::DoNotOptimize(LoadSourceImage(path));
    }
    DiscardAllPictures();
}
BENCHMARK(BM_OpenPhotograph6000x4000Mode2FloydSteinberg)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
