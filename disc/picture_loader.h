// The !BOOT file of a picture disc: a BASIC program that the machine types in from the
// file on SHIFT+BREAK (boot option 3) and then runs. It selects the screen mode, shows
// each picture with its own palette and waits: SPACE shows the next picture (after the
// last, the first again), ESCAPE leaves for BASIC in Mode 7. Nothing is drawn over a
// picture while it shows: the typed lines are not echoed, the program never returns to
// the BASIC prompt on its own, and the cursor is off.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct LoaderPicture {
    std::string reference;    // the file as *LOAD takes it: "$.NAME"
    std::uint32_t end = 0;    // the address after the picture's last byte in screen memory
    std::vector<int> palette; // physical colours (0-7) of logical colours 0, 1, 2...
};

// The program text, lines ended by carriage returns as the machine reads them. The
// mode number is one of the mode table's (8: Mode 5 memory at 4 bits per pixel).
std::string BuildPictureLoader(int modeNumber, const std::vector<LoaderPicture>& pictures);
