// The desktop program's entry. The one argument a desktop passes is a picture to open.
#include "imaging/process_heap.h"
#include "shell/startup.h"

int main(int argc, char** argv) {
    PrepareProcessHeap();
    return RunQuillmorph(argc > 1 ? argv[1] : "");
}
