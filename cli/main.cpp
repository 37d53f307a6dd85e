#include "cli/cli.h"

#include <malloc.h>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    // The converter allocates a few large pictures and frees them in turn: served from the
    // heap and kept there, their memory is faulted in once instead of for every picture.
    mallopt(M_MMAP_THRESHOLD, 512 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 512 * 1024 * 1024);
    std::vector<std::string> arguments(argv + 1, argv + argc);
    return RunCli(arguments);
}
