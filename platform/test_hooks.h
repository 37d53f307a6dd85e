// Hooks for tests that run the program headless (QT_QPA_PLATFORM=offscreen).
//
// In test mode no message box or file dialog is ever shown: each takes the next queued
// answer, and one reached without a queued answer throws PlatformTestFailure naming its
// title, so a test fails at once instead of hanging. A WaitEvent that finds no event
// within the test wait limit throws too. Every message box and file dialog is recorded.
//
// Widgets for real clicks (Qt Test) are found by their object names (object_names.h).
#pragma once

#include "platform/events.h"
#include "platform/object_names.h"
#include "platform/platform.h"

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

struct PlatformTestFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

void EnableTestMode(bool on);
bool TestModeActive();
// How long WaitEvent waits in test mode before it throws.
void SetTestWaitLimit(int milliseconds);
// Forgets every queued answer, record, override and queued event.
void ResetTestHooks();

// ---- Events --------------------------------------------------------------------------

void QueueCommandEvent(int window, int command);
void QueueControlEvent(int control); // from the control's window
void QueueCloseRequest(int window);
int QueueDropEvent(int window, std::vector<std::string> paths); // returns the drop
int QueuedEventCount();

// Called by WaitEvent in test mode whenever it finds the queue empty, before it waits:
// a test plays the user of a window that a procedure opens and waits on (queue its
// click, its close request). Cleared by ResetTestHooks.
void SetTestIdleHook(std::function<void()> hook);

// ---- Inspection ----------------------------------------------------------------------

// The windows open now, oldest first.
std::vector<int> OpenWindows();
// A window's controls, by identifier.
std::vector<int> WindowControls(int window);
struct ControlRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};
// Position within its parent and size of a control; all 0 when it does not exist.
ControlRect ControlGeometry(int control);

// ---- Answers -------------------------------------------------------------------------

void QueueMessageBoxAnswer(MessageAnswer answer);
void QueueFileDialogAnswer(std::string path, int patternIndex);
void QueueFileDialogCancel();

struct MessageBoxRecord {
    std::string title;
    std::string text;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
    MessageAnswer answer = MessageAnswer::Ok;
};
struct FileDialogRecord {
    bool save = false;
    std::string title;
    std::string initialPath;
    std::string patterns;
    int selected = 0;
};
const std::vector<MessageBoxRecord>& ShownMessageBoxes();
const std::vector<FileDialogRecord>& ShownFileDialogs();

// ---- Pointer overrides -----------------------------------------------------------------

// Makes LeftMouseButtonDown and MousePosition report these until cleared.
void SimulateLeftButton(bool down);
void SimulateMousePosition(ScreenPoint point);
void ClearPointerSimulation();
