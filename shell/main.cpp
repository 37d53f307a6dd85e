// The desktop program's entry. The one argument a desktop passes is a picture to open.
#include "shell/startup.h"

int main(int argc, char** argv) {
    return RunQuillmorph(argc > 1 ? argv[1] : "");
}
