// Controls placed in a window's client area. A control is a small integer: the caller may
// fix it (the swatches use 35-50) or leave it to the platform (pass 0). Every call naming a
// control that does not exist does nothing or returns an empty result; setting a control's
// state from the program never raises an event.
#pragma once

#include "imaging/colour.h"

#include <string>
#include <string_view>

enum class TextAlign { Left, Centre, Right };

// Each Add... returns the control's identifier, or 0 when the window does not exist or a
// fixed identifier is already taken. Positions are client coordinates (y = 25 is just
// below a tool bar).
int AddGroupBox(int window, int x, int y, int width, int height, std::string_view title, int id = 0);
int AddStaticText(int window, int x, int y, int width, int height, std::string_view text, TextAlign align,
                  int id = 0);
// A picture frame shows a numbered picture at the picture's own size, from its top-left
// corner (inside the border when it has one). It reports clicks only when switched on.
int AddPictureFrame(int window, int x, int y, int width, int height, bool sunkenBorder, int id = 0);
int AddTrackBar(int window, int x, int y, int width, int height, int minimum, int maximum, int id = 0);
// A check box that toggles itself when clicked and then reports the click.
int AddCheckBox(int window, int x, int y, int width, int height, std::string_view text, int id = 0);
int AddPushButton(int window, int x, int y, int width, int height, std::string_view text, int id = 0);
// A drop-down list that cannot be edited; `height` is the height of the opened list.
int AddDropDownList(int window, int x, int y, int width, int height, int id = 0);
// A plain panel in the platform's button-face colour; other controls may be put in it.
int AddContainer(int window, int x, int y, int width, int height, int id = 0);
// Moves `control` into `container`; its position then counts from the container's corner.
void PutControlInContainer(int control, int container);

bool ControlExists(int control);
// The window a control belongs to; 0 when it does not exist.
int ControlWindow(int control);

void MoveControl(int control, int x, int y, int width, int height);

// Check boxes.
void SetControlChecked(int control, bool checked);
bool ControlChecked(int control);

// Drop-down lists.
void AddListItem(int control, std::string_view text);
int ListItemCount(int control);
std::string ListItemText(int control, int index);
// Selects entry `index`; -1 clears the selection.
void SelectListItem(int control, int index);
// The selected entry, -1 when none.
int ListSelection(int control);

// Track bars.
void SetTrackBarPosition(int control, int position);

// Picture frames: the number of the picture shown, 0 when it shows nothing.
int ControlPicture(int control);
bool ClickReporting(int control);

// Text colours on an opaque background, for static texts.
void SetControlColours(int control, ColourValue text, ColourValue background);
// Font by family name and point size; a family the system lacks falls back to the
// program's sans-serif face.
void SetControlFont(int control, std::string_view family, int points, bool bold = false);
