#include "adjust/histogram.h"

#include "adjust/colour_effects.h"
#include "imaging/colour.h"
#include "imaging/picture.h"

namespace {

constexpr int kGraphWidth = 258;
constexpr int kGraphHeight = 81;
constexpr int kStripHeight = 12;

} // namespace

HistogramData ComputeHistogram(int picture) {
    HistogramData data;
    const Picture* source = FindPicture(picture);
    if (source == nullptr) {
        return data;
    }
    std::int64_t total = 0;
    for (const BufferWord word : source->pixels) {
        const ColourValue colour = SwapRedBlue(word);
        const auto r = static_cast<int>(RedOf(colour));
        const auto g = static_cast<int>(GreenOf(colour));
        const auto b = static_cast<int>(BlueOf(colour));
        ++data.red[static_cast<std::size_t>(r)];
        ++data.green[static_cast<std::size_t>(g)];
        ++data.blue[static_cast<std::size_t>(b)];
        data.colour = data.colour || r != g || r != b;
        total += Luminance(r, g, b);
    }
    const auto pixels = static_cast<double>(source->pixels.size());
    data.meanLuminance = static_cast<float>(static_cast<double>(total) / pixels);
    if (data.meanLuminance != 0.0F) {
        // 80 / (N / M), each quotient held in single precision.
        const auto perLuminance = static_cast<float>(pixels / static_cast<double>(data.meanLuminance));
        data.barScale = static_cast<float>(80.0 / static_cast<double>(perLuminance));
    }
    for (std::size_t v = 0; v < 256; ++v) {
        data.luminance[v] = static_cast<std::int32_t>(RoundHalfEven(
            kRedLuminance * data.red[v] + kGreenLuminance * data.green[v] + kBlueLuminance * data.blue[v]));
    }
    return data;
}

int DrawHistogramGraph(const std::array<std::int32_t, 256>& counts, float barScale) {
    const int graph = CreateAutomaticPicture(kGraphWidth, kGraphHeight);
    FillBox(graph, 1, 1, 256, 79, 0xFFFFFF);
    for (int v = 0; v < 256; ++v) {
        // The count times the single-precision scale, formed exactly before rounding.
        const double length = RoundHalfEven(static_cast<double>(counts[static_cast<std::size_t>(v)]) *
                                            static_cast<double>(barScale));
        if (length >= 2) {
            const int top = length >= 82 ? 0 : 82 - static_cast<int>(length);
            FillBox(graph, v + 1, top, 1, 81 - top, 0);
        }
    }
    return graph;
}

int DrawHistogramStrip(StripChannel channel) {
    const int strip = CreateAutomaticPicture(kGraphWidth, kStripHeight);
    for (unsigned v = 0; v < 256; ++v) {
        ColourValue colour = 0;
        switch (channel) {
        case StripChannel::Red:
            colour = MakeColour(v, 0, 0);
            break;
        case StripChannel::Green:
            colour = MakeColour(0, v, 0);
            break;
        case StripChannel::Blue:
            colour = MakeColour(0, 0, v);
            break;
        case StripChannel::Luminance:
            colour = MakeColour(v, v, v);
            break;
        }
        FillBox(strip, static_cast<int>(v) + 1, 1, 1, 10, colour);
    }
    return strip;
}
