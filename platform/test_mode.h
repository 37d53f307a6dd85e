// Inside the platform: what the dialogs and the event wait ask of the test hooks.
#pragma once

#include "platform/test_hooks.h"

#include <optional>

// The queued answer for a message box or file dialog, recorded; throws
// PlatformTestFailure when none is queued.
MessageAnswer AnswerMessageBoxInTest(MessageBoxRecord record);
FileDialogResult AnswerFileDialogInTest(FileDialogRecord record);
int TestWaitLimit();
// Runs the test idle hook, if one is set.
void RunTestIdleHook();
std::optional<bool> SimulatedLeftButton();
std::optional<ScreenPoint> SimulatedMousePosition();
