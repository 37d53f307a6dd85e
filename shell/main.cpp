// The desktop program's entry.
#include "shell/startup.h"

int main() { return RunQuillmorph(); }
