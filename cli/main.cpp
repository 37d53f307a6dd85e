#include "cli/cli.h"
#include "imaging/process_heap.h"

#include <string>
#include <vector>

int main(int argc, char** argv) {
    PrepareProcessHeap();
    std::vector<std::string> arguments(argv + 1, argv + argc);
    return RunCli(arguments);
}
