// Runs the desktop program with a picture already dropped on it, optionally a screen mode
// and a dither method chosen, and then one command of the menu, so that a window can be
// photographed from outside (for example under xvfb-run with `import -window root`).
//
//   window_shots PICTURE [--mode POSITION] [--method ROW] [COMMAND...]
//
// COMMAND is a menu command number (25 histogram, 11 brightness and contrast, 23 zoomed
// preview...). The program then runs as usual until it is closed.
#include "platform/controls.h"
#include "platform/test_hooks.h"
#include "shell/dispatch.h"
#include "shell/startup.h"
#include "state/app_state.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: window_shots PICTURE [--mode POSITION] [--method ROW] [COMMAND...]\n");
        return 2;
    }
    if (!StartUp()) {
        return 1;
    }
    QueueDropEvent(mainWindow, {argv[1]});
    for (int i = 2; i < argc; ++i) {
        const std::string argument = argv[i];
        if ((argument == "--mode" || argument == "--method") && i + 1 < argc) {
            const int control = argument == "--mode" ? screenModeCombo : methodCombo;
            SelectListItem(control, std::atoi(argv[++i]));
            QueueControlEvent(control);
        } else {
            QueueCommandEvent(mainWindow, std::atoi(argv[i]));
        }
    }
    RunMainLoop();
    ShutDown();
    return 0;
}
