// The program's picture readers, registered with the reader chain in the order they
// are tried.
#pragma once

// Replaces the chain's readers by the program's own list.
void RegisterPictureReaders();
