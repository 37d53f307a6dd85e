#include "platform/test_hooks.h"

#include "platform/event_queue.h"
#include "platform/platform.h"
#include "platform/test_mode.h"

#include <deque>
#include <optional>
#include <utility>

namespace {

struct TestState {
    bool active = false;
    int waitLimit = 2000;
    std::deque<MessageAnswer> messageAnswers;
    std::deque<FileDialogResult> fileAnswers; // empty path: cancel
    std::vector<MessageBoxRecord> messageBoxes;
    std::vector<FileDialogRecord> fileDialogs;
    std::optional<bool> leftButton;
    std::optional<ScreenPoint> mousePosition;
    std::function<void()> idleHook;
};

TestState& State() {
    static TestState state;
    return state;
}

const char* ButtonsName(MessageButtons buttons) {
    return buttons == MessageButtons::YesNo ? "Yes/No" : "OK";
}

} // namespace

void EnableTestMode(bool on) {
    State().active = on;
}
bool TestModeActive() {
    return State().active;
}
void SetTestWaitLimit(int milliseconds) {
    State().waitLimit = milliseconds;
}
int TestWaitLimit() {
    return State().waitLimit;
}

void SetTestIdleHook(std::function<void()> hook) {
    State().idleHook = std::move(hook);
}
void RunTestIdleHook() {
    if (State().idleHook) {
        // A copy, so the hook may replace itself.
        const std::function<void()> hook = State().idleHook;
        hook();
    }
}

void ResetTestHooks() {
    const bool active = State().active;
    State() = TestState{};
    State().active = active;
    ClearEvents();
}

void QueueCommandEvent(int window, int command) {
    PostEvent({EventKind::Command, window, command, 0, 0});
}
void QueueControlEvent(int control) {
    PostEvent({EventKind::Control, ControlWindow(control), 0, control, 0});
}
void QueueCloseRequest(int window) {
    PostEvent({EventKind::CloseRequest, window, 0, 0, 0});
}
int QueueDropEvent(int window, std::vector<std::string> paths) {
    const int drop = StoreDrop(std::move(paths));
    PostEvent({EventKind::FilesDropped, window, 0, 0, drop});
    return drop;
}
int QueuedEventCount() {
    return PendingEventCount();
}

void QueueMessageBoxAnswer(MessageAnswer answer) {
    State().messageAnswers.push_back(answer);
}
void QueueFileDialogAnswer(std::string path, int patternIndex) {
    State().fileAnswers.push_back({std::move(path), patternIndex});
}
void QueueFileDialogCancel() {
    State().fileAnswers.push_back({});
}

const std::vector<MessageBoxRecord>& ShownMessageBoxes() {
    return State().messageBoxes;
}
const std::vector<FileDialogRecord>& ShownFileDialogs() {
    return State().fileDialogs;
}

MessageAnswer AnswerMessageBoxInTest(MessageBoxRecord record) {
    if (State().messageAnswers.empty()) {
        throw PlatformTestFailure("message box \"" + record.title + "\" (" + ButtonsName(record.buttons) +
                                  ") shown without a queued answer; its text: " + record.text);
    }
    MessageAnswer answer = State().messageAnswers.front();
    State().messageAnswers.pop_front();
    // An OK box can only answer OK; a Yes/No box only Yes or No.
    if (record.buttons == MessageButtons::Ok) {
        answer = MessageAnswer::Ok;
    } else if (answer == MessageAnswer::Ok) {
        answer = MessageAnswer::No;
    }
    record.answer = answer;
    State().messageBoxes.push_back(std::move(record));
    return answer;
}

FileDialogResult AnswerFileDialogInTest(FileDialogRecord record) {
    if (State().fileAnswers.empty()) {
        throw PlatformTestFailure(std::string(record.save ? "save" : "open") + " dialog \"" + record.title +
                                  "\" shown without a queued answer");
    }
    FileDialogResult answer = State().fileAnswers.front();
    State().fileAnswers.pop_front();
    State().fileDialogs.push_back(std::move(record));
    return answer;
}

void SimulateLeftButton(bool down) {
    State().leftButton = down;
}
void SimulateMousePosition(ScreenPoint point) {
    State().mousePosition = point;
}
void ClearPointerSimulation() {
    State().leftButton.reset();
    State().mousePosition.reset();
}
std::optional<bool> SimulatedLeftButton() {
    return State().leftButton;
}
std::optional<ScreenPoint> SimulatedMousePosition() {
    return State().mousePosition;
}
