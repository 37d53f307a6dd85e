#include "platform/event_queue.h"
#include "platform/platform.h"
#include "platform/test_mode.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <deque>
#include <map>
#include <utility>

namespace {

std::deque<Event>& Queue() {
    static std::deque<Event> queue;
    return queue;
}

struct Drops {
    std::map<int, std::vector<std::string>> paths;
    int next = 1;
};

Drops& AllDrops() {
    static Drops drops;
    return drops;
}

const std::vector<std::string>* FindDrop(int drop) {
    const auto found = AllDrops().paths.find(drop);
    return found == AllDrops().paths.end() ? nullptr : &found->second;
}

Event TakeFirst() {
    Event event = Queue().front();
    Queue().pop_front();
    return event;
}

} // namespace

void PostEvent(const Event& event) {
    Queue().push_back(event);
}

int StoreDrop(std::vector<std::string> paths) {
    const int drop = AllDrops().next++;
    AllDrops().paths.emplace(drop, std::move(paths));
    return drop;
}

void ClearEvents() {
    Queue().clear();
    AllDrops().paths.clear();
}

int PendingEventCount() {
    return static_cast<int>(Queue().size());
}

bool PollEvent(Event& event) {
    if (Queue().empty() && PlatformActive()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    if (Queue().empty()) {
        return false;
    }
    event = TakeFirst();
    return true;
}

Event WaitEvent() {
    if (!Queue().empty()) {
        return TakeFirst();
    }
    if (!PlatformActive()) {
        if (TestModeActive()) {
            throw PlatformTestFailure("WaitEvent: no event queued and no platform running");
        }
        return {};
    }
    if (TestModeActive()) {
        RunTestIdleHook();
        if (!Queue().empty()) {
            return TakeFirst();
        }
        // A test must never hang: a timer wakes the wait now and then to check the limit.
        const QDeadlineTimer deadline(TestWaitLimit());
        QTimer wake;
        wake.start(20);
        while (Queue().empty()) {
            if (deadline.hasExpired()) {
                throw PlatformTestFailure("WaitEvent: no event arrived within the test wait limit");
            }
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        return TakeFirst();
    }
    while (Queue().empty()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return TakeFirst();
}

void DiscardEvent(const Event& event) {
    if (event.kind == EventKind::FilesDropped) {
        FinishDrop(event.drop);
    }
}

void WaitForCloseOrControl(int window, int control) {
    while (true) {
        const Event event = WaitEvent();
        if (event.kind == EventKind::None ||
            (event.kind == EventKind::CloseRequest && event.window == window) ||
            (control != 0 && event.kind == EventKind::Control && event.control == control)) {
            return;
        }
        DiscardEvent(event);
    }
}

int DroppedFileCount(int drop) {
    const auto* paths = FindDrop(drop);
    return paths ? static_cast<int>(paths->size()) : 0;
}

std::string DroppedFilePath(int drop, int index) {
    const auto* paths = FindDrop(drop);
    if (!paths || index < 0 || static_cast<std::size_t>(index) >= paths->size()) {
        return {};
    }
    return (*paths)[static_cast<std::size_t>(index)];
}

void FinishDrop(int drop) {
    AllDrops().paths.erase(drop);
}
