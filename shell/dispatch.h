// The main event loop and the dispatch of every command and control event.
#pragma once

#include "platform/events.h"

#include <string>

// Handles one event of the main loop. Returns false when the loop must end.
bool DispatchEvent(const Event& event);

// Waits for and dispatches events until the program is asked to end; closes the main
// window when the close box ended it.
void RunMainLoop();

// The path of file `index` of a drop, whole however long it is.
std::string DroppedFileName(int drop, int index);
