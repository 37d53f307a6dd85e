#include "cli/cli.h"

#include "screen/screen_modes.h"

#include <cstdio>
#include <string>

namespace {

constexpr const char* kUsage =
    "usage: quillmorph-cli COMMAND ...\n"
    "  modes                     list the screen modes\n"
    "  --help                    show this text\n"
    "  --version                 show the version\n";

int ListModes() {
    for (const ScreenMode& mode : screenModes) {
        std::printf("%d  %-7.*s %3d x lines  %d colours  %d bits per pixel  load &%.*s\n", mode.number,
                    static_cast<int>(mode.label.size()), mode.label.data(), mode.width, mode.colourCount,
                    mode.bitsPerPixel, static_cast<int>(mode.loadAddress.size()), mode.loadAddress.data());
    }
    return 0;
}

} // namespace

int RunCli(const std::vector<std::string>& arguments) {
    if (arguments.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::string& command = arguments.front();
    if (command == "--help" || command == "-h") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command == "--version") {
        std::puts("quillmorph-cli 0.20");
        return 0;
    }
    if (command == "modes") {
        return ListModes();
    }
    std::fprintf(stderr, "quillmorph-cli: unknown command '%s'\n", command.c_str());
    return 2;
}
