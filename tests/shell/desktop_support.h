// Running the desktop program in a test: start-up without the main loop, events handled
// one at a time, and files to open.
#pragma once

#include "imaging/colour.h"
#include "imaging/picture.h"
#include "platform/events.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>

class DesktopTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Handles every queued event as the main loop would; false once the loop would end.
    bool DispatchQueued();
    // A PNG of width x height in one colour, in the test's own folder.
    std::string WritePicture(const std::string& name, int width, int height, ColourValue colour);
    // A PNG of the given picture, in the test's own folder.
    std::string WritePicture(const std::string& name, const Picture& picture);
    // True when the last handled events ran a refresh (picture 7 made anew).
    bool Refreshed();
    // Forgets picture 7 so that the next refresh is visible to Refreshed().
    void ForgetConversion();

    std::filesystem::path folder;
};

// Presses (or lets go of) the left button at the right end of a track bar's groove,
// through the window as the display would, so the program sees the button's state.
void PressGroove(int trackBar, bool down);
