#include "shell/gadget_colours.h"

#include "platform/controls.h"

#include <map>

namespace {

struct GadgetColours {
    ColourValue text = 0;
    ColourValue background = 0;
};

std::map<int, GadgetColours>& Registry() {
    static std::map<int, GadgetColours> registry;
    return registry;
}

} // namespace

void SetGadgetColours(int control, ColourValue text, ColourValue background) {
    Registry()[control] = {text, background};
    SetControlColours(control, text, background);
}

void InstallGadgetColourCallback(int window) {
    for (const auto& [control, colours] : Registry()) {
        if (ControlWindow(control) == window) {
            SetControlColours(control, colours.text, colours.background);
        }
    }
}

void ForgetClosedGadgetColours() {
    std::erase_if(Registry(), [](const auto& record) { return !ControlExists(record.first); });
}

void ClearGadgetColours() {
    Registry().clear();
}

bool GadgetColoursOf(int control, ColourValue& text, ColourValue& background) {
    const auto found = Registry().find(control);
    if (found == Registry().end()) {
        return false;
    }
    text = found->second.text;
    background = found->second.background;
    return true;
}
