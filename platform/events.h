// The program's one event queue. User actions on any window are queued as events; the
// program reads them one at a time with WaitEvent. A handler may open a window and wait
// again: nested waits are ordinary calls of the same function.
#pragma once

#include <string>

enum class EventKind {
    None,         // nothing (only when no platform is running)
    Command,      // menu item, keyboard shortcut or tool-bar button: `command`
    Control,      // a control changed or was clicked: `control`
    CloseRequest, // the close box of `window`; the window stays open until closed
    FilesDropped, // files dropped on `window`: read them through `drop`
};

struct Event {
    EventKind kind = EventKind::None;
    int window = 0;
    int command = 0;
    int control = 0;
    int drop = 0;
};

// Blocks until an event is queued and returns it.
Event WaitEvent();
// Returns the next event without waiting when one is queued.
bool PollEvent(Event& event);

// Releases what an event holds (the files of a drop), for a loop that reads an event and
// does nothing with it.
void DiscardEvent(const Event& event);

// The nested loop of a window that only waits to be dismissed: reads and drops every
// event until a close request for `window` or a control event from `control` (0 for
// none) arrives, or the platform has gone.
void WaitForCloseOrControl(int window, int control);

// The files of a drop, in the order dropped; a drop lives until FinishDrop.
int DroppedFileCount(int drop);
std::string DroppedFilePath(int drop, int index); // "" outside 0..count-1
void FinishDrop(int drop);
