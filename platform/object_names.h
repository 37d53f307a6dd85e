// The object names the platform gives its widgets and actions. The platform finds
// controls, menu items and tool-bar buttons by them, and tests click them by them
// (Qt Test): a window is "window:<n>", its controls "control:<n>", menu and shortcut
// actions "command:<n>" and tool-bar actions "tool:<n>".
#pragma once

#include <string>

std::string WindowObjectName(int window);
std::string ControlObjectName(int control);
std::string CommandObjectName(int command);
std::string ToolObjectName(int command);
