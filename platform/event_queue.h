// Inside the platform: how its parts queue events and keep the files of drops.
#pragma once

#include "platform/events.h"

#include <string>
#include <vector>

void PostEvent(const Event& event);
// Keeps the paths of a drop and returns its handle.
int StoreDrop(std::vector<std::string> paths);
// Forgets every queued event and every unfinished drop.
void ClearEvents();
int PendingEventCount();
