// The windowing, dialog and message-box layer, in the program's own terms. This is the
// only part of the program that includes Qt; nothing here exposes a Qt type.
//
// Windows, controls and menu commands are small integers. Every call that names a
// window or control that does not exist does nothing (or returns an empty/zero result),
// so the pipeline can run the same procedures with and without a desktop.
#pragma once

#include "platform/controls.h"
#include "platform/events.h"
#include "platform/menus.h"
#include "platform/window.h"

#include <string>
#include <string_view>
#include <vector>

// ---- Lifecycle ---------------------------------------------------------------------

// Starts the toolkit (idempotent). Returns false when no display can be opened.
bool InitPlatform();
// Closes every window and releases what the platform holds.
void ShutdownPlatform();
// True once InitPlatform succeeded and before ShutdownPlatform.
bool PlatformActive();

// ---- Message boxes -----------------------------------------------------------------

enum class MessageIcon { None, Information, Warning, Error, Question };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

// Shows a modal box over all of the program's windows and returns the button chosen.
MessageAnswer ShowMessageBox(std::string_view title, std::string_view text, MessageIcon icon,
                             MessageButtons buttons);

// ---- File dialogs ------------------------------------------------------------------

// `patterns` is the program's "description|*.a;*.b|description|*.c" list; `selected`
// is the zero-based entry shown first.
struct FileDialogResult {
    std::string path;     // empty when cancelled
    int patternIndex = 0; // zero-based entry the user left selected
};
FileDialogResult OpenFileDialog(std::string_view title, std::string_view initialPath,
                                std::string_view patterns, int selected);
FileDialogResult SaveFileDialog(std::string_view title, std::string_view initialPath,
                                std::string_view patterns, int selected);

// ---- Windows and controls (the rest is in window.h, controls.h and menus.h) ----------

void SetWindowEnabled(int window, bool enabled);
bool WindowEnabled(int window); // false when the window does not exist
void SetControlText(int control, std::string_view text);
std::string ControlText(int control);
// Shows picture `picture` in a picture frame at the picture's own size; 0 clears it.
void ShowPictureInControl(int control, int picture);
// Has a picture frame draw its picture again (after the picture's pixels changed).
void RepaintControl(int control);
// Switches whether clicks on a picture frame are reported as control events.
void SetClickReporting(int control, bool on);
// Position of a track bar; 0 when it does not exist.
int TrackBarPosition(int control);
// Pixel width of `text` in the control's font; 0 when the control does not exist.
int TextWidth(int control, std::string_view text);
