// The histogram window: four graphs with their colour strips, shown until closed.
#include "adjust/histogram.h"
#include "imaging/picture.h"
#include "platform/controls.h"
#include "platform/events.h"
#include "platform/platform.h"
#include "platform/window.h"

#include <vector>

namespace {

struct GraphPlacement {
    const std::array<std::int32_t, 256>* counts;
    StripChannel strip;
    int y;
};

} // namespace

int DisplayHistogram(int picture, int parentWindow) {
    if (!PictureExists(picture)) {
        return 0;
    }
    SetWindowEnabled(parentWindow, false);
    const HistogramData data = ComputeHistogram(picture);
    std::vector<GraphPlacement> shown;
    if (data.colour) {
        shown.push_back({&data.red, StripChannel::Red, 8});
        shown.push_back({&data.green, StripChannel::Green, 112});
        shown.push_back({&data.blue, StripChannel::Blue, 216});
    }
    shown.push_back({&data.luminance, StripChannel::Luminance, 320});

    std::vector<int> pictures;
    for (const std::array<std::int32_t, 256>* counts :
         {&data.red, &data.green, &data.blue, &data.luminance}) {
        pictures.push_back(DrawHistogramGraph(*counts, data.barScale));
    }
    for (const StripChannel channel :
         {StripChannel::Red, StripChannel::Green, StripChannel::Blue, StripChannel::Luminance}) {
        pictures.push_back(DrawHistogramStrip(channel));
    }

    WindowSpec layout;
    layout.title = "Quillmorph - Histogram";
    layout.width = 275;
    layout.height = 430;
    layout.placement = WindowPlacement::CentreOfScreen;
    layout.owner = parentWindow;
    layout.frame = WindowFrame::TitleBarWithClose;
    const int window = OpenWindow(layout);
    if (window != 0) {
        for (const GraphPlacement& graph : shown) {
            const auto index = static_cast<std::size_t>(graph.strip);
            const int graphFrame = AddPictureFrame(window, 8, graph.y, 258, 81, false);
            ShowPictureInControl(graphFrame, pictures[index]);
            const int stripFrame = AddPictureFrame(window, 8, graph.y + 82, 258, 12, false);
            ShowPictureInControl(stripFrame, pictures[4 + index]);
        }
        ShowWindow(window);
        WaitForCloseOrControl(window, 0);
        CloseWindow(window);
    }
    for (const int number : pictures) {
        DiscardPicture(number);
    }
    SetWindowEnabled(parentWindow, true);
    return window;
}
