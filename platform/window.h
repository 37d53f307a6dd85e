// Windows, in the program's own terms. A window is a small integer; 0 means "none".
//
// Sizes and positions are those of the client area: the area inside the frame. A menu bar
// attached later takes its height from that area, so the window's inner size stays as
// opened and the controls share what is left below the menu bar.
#pragma once

#include "imaging/colour.h"

#include <string>
#include <string_view>

struct ScreenPoint {
    int x = 0;
    int y = 0;
};

struct PixelSize {
    int width = 0;
    int height = 0;
};

enum class WindowPlacement {
    CentreOfScreen, // client area centred on the primary display
    CentreOfOwner,  // client area centred on the owner window (on the screen without one)
    At,             // top-left corner of the window at x, y on the screen
};

enum class WindowFrame {
    TitleBar,                  // title bar only: no system menu, no close box
    TitleBarWithClose,         // title bar with a close box
    TitleBarWithCloseMinimise, // close box and minimise button, no maximise
    Borderless,                // pop-up without title bar or close box
    ThinFramePopup,            // the same in a thin raised frame around the client area
};

struct WindowSpec {
    std::string_view title;
    int width = 0;  // client area
    int height = 0; // client area, menu bar included
    WindowPlacement placement = WindowPlacement::CentreOfScreen;
    int x = 0; // with WindowPlacement::At
    int y = 0;
    int owner = 0; // owning window (stays above it), 0 for none
    WindowFrame frame = WindowFrame::TitleBarWithClose;
};

// Creates a window, hidden and of fixed size. Returns its number, or 0 on failure (a size
// below 1 or the platform not running).
int OpenWindow(const WindowSpec& layout);
void ShowWindow(int window);
// Destroys the window with its controls, menus and tool bar, and every window it owns.
void CloseWindow(int window);
// Closes every window (shutdown).
void CloseAllWindows();

bool WindowExists(int window);
bool WindowVisible(int window);
void SetWindowTitle(int window, std::string_view title);
std::string WindowTitle(int window);
// The area the controls share: below the menu bar, tool bar included.
PixelSize WindowClientSize(int window);
// Screen position of the window's client area; 0, 0 when it does not exist.
ScreenPoint WindowClientPosition(int window);
// Paints the client area in a solid colour instead of the platform's window colour.
void SetWindowBackground(int window, ColourValue colour);
// Files dropped on a window that accepts them arrive as a FilesDropped event.
void SetWindowAcceptsDrops(int window, bool accepts);
// A window that takes no input still looks enabled, but its controls, menus, shortcuts
// and drop target ignore the mouse and the keyboard; its close box still asks to close.
void SetWindowTakesInput(int window, bool takes);
bool WindowTakesInput(int window); // false when the window does not exist

// ---- Desktop and pointer -------------------------------------------------------------

// The primary display's current size in pixels.
PixelSize DisplaySize();
// The mouse pointer's position on the screen.
ScreenPoint MousePosition();
// The left mouse button's state at this moment.
bool LeftMouseButtonDown();
