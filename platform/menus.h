// Menus, keyboard shortcuts and tool bars. Menu items, shortcuts and tool-bar buttons each
// carry a command number that arrives as a Command event. Item texts use "&" before the
// access letter and "\t" before the shortcut text shown at the right; the shortcut itself
// is registered with AddShortcut.
#pragma once

#include <string>
#include <string_view>

// Attaches a menu bar to the window and returns its menu number (0 on failure).
int CreateMenuBar(int window);
// Adds a titled menu to a menu bar, or a submenu to a menu; returns its menu number.
int AddSubmenu(int menu, std::string_view title);
void AddMenuItem(int menu, int command, std::string_view text);
void AddMenuSeparator(int menu);

// Menu items are found by command number. Setting a check mark makes the item show one
// from then on; choosing the item does not change its mark, the program does.
void SetMenuItemEnabled(int command, bool enabled);
bool MenuItemEnabled(int command);
void SetMenuItemChecked(int command, bool checked);
bool MenuItemChecked(int command);
// The item's text as given, "&" and "\t" included; empty when it does not exist.
std::string MenuItemText(int command);

// `keys` as "Ctrl+O"; the command arrives while the window is enabled and active.
void AddShortcut(int window, std::string_view keys, int command);

enum class ToolPicture { Open, Save, Find };
// Tool bar along the top of the client area, created with its first button.
void AddToolButton(int window, int command, ToolPicture picture, std::string_view tip);
void AddToolSeparator(int window);
