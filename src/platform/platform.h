// The operating-system layer: everything above it reaches the window system, the clock,
// the keyboard and the file system through these calls only. platform_sdl.cpp implements the
// window, display, event and key calls over SDL on every system; the operating system's own
// calls (files, clock, Ctrl+C, debug output, and on Windows the display modes) are in
// platform_posix.cpp and platform_win32.cpp.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace platform {

// ---- start-up -------------------------------------------------------------------------

// Initialises the video, timer and event subsystems once; safe to call again.
bool init();
// Ends what init started; only the entry point calls it, at exit.
void quit();
// Routes Ctrl+C in the terminal to a quit request, so that the main loop ends and clean-up runs.
void installInterruptHandler();
// Before init: draw without a screen (the window system's off-screen driver), unless the
// environment already names a video driver.
void preferOffscreenVideo();

// ---- display modes --------------------------------------------------------------------

struct DisplayMode {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    int refreshRate = 0;  // hertz
};

// The primary display's modes. On Windows every mode the driver enumerates
// (EnumDisplaySettings), duplicates and paletted modes included, in the driver's order. Elsewhere
// the modes SDL reports: each mode once (SDL drops duplicates), largest first, a 24-bit format
// counted as 32 bits per pixel.
std::vector<DisplayMode> displayModes();
// The mode the primary display is in; false when the system cannot tell. The refresh rate is 0
// where the driver does not report it.
bool currentDisplayMode(DisplayMode& out);

// ---- the window and its OpenGL context ------------------------------------------------

struct Window;

struct WindowDesc {
    const char* title = "";
    int width = 0;
    int height = 0;
    bool fullScreen = false;       // switches the display into `mode` and hides the cursor
    DisplayMode mode;              // used when fullScreen
    bool openGL = true;            // compatibility-profile context, double-buffered
    bool hidden = false;           // tests draw off screen
    bool centred = false;          // dialogs are centred; the demo window sits at (0, 0)
    bool borderless = true;        // false: a title bar, and closing it asks the program to quit
    int swapInterval = 0;          // 1: each swap waits for the display's vertical blank
};

// Creates the window and, when asked, its GL context and makes it current. Null on failure,
// with the reason in lastError().
Window* createWindow(const WindowDesc& desc);
void destroyWindow(Window* window);
void swapWindow(Window* window);
void* nativeWindow(Window* window);   // the backend's window object, for the dialog's UI backend
void* glContext(Window* window);      // the backend's GL context object
void windowSize(Window* window, int& width, int& height);
void windowPosition(Window* window, int& x, int& y);
// The swap interval the context really has (the driver may refuse the one asked for).
int swapInterval(Window* window);
bool windowHasBorder(Window* window);
std::string windowTitle(Window* window);
std::string lastError();

// Looks an OpenGL entry point up by name; null when the driver lacks it.
void* glProcAddress(const char* name);

// ---- events and input -----------------------------------------------------------------

// Drains the event queue. Each native event is first handed to `observer` when given.
// Returns false once the window system or the terminal asked the program to quit.
bool pumpEvents(const std::function<void(const void* nativeEvent)>& observer = {});
// Forgets an earlier quit request (the dialog's close must not end the demo that follows).
void clearQuitRequest();

enum class Key { Escape, W, S, A, D, Q, E, LeftControl, MouseLeft, F1, Space, Left, Right, PageUp, PageDown, Home, C, F5 };
constexpr int kKeyCount = static_cast<int>(Key::F5) + 1;
// Whether the key is held. Keyboard keys count only while one of the program's windows has the
// keyboard focus (keys typed into another program are not ours); MouseLeft is the button's
// state wherever the cursor is.
bool keyDown(Key key);
// True once for each press of the key since the last call (for toggles such as F1, and for
// taps shorter than a frame).
bool keyPressed(Key key);
// Forgets every press seen so far (presses in the dialog must not reach the demo).
void forgetKeyPresses();

// Cursor position in desktop coordinates, and the size of the primary screen.
void cursorPosition(int& x, int& y);
void screenSize(int& width, int& height);

// ---- time -----------------------------------------------------------------------------

int64_t counter();
int64_t counterFrequency();
// Gives the processor away for about that long.
void sleepMilliseconds(int milliseconds);
// The local wall-clock time; false when the system cannot tell it.
bool localTime(int& hours, int& minutes, int& seconds);

// ---- files ----------------------------------------------------------------------------

// The platform's path separator as a one-character string.
const char* pathSeparator();
// The user's temporary folder, ending in the separator.
std::string tempDirectory();
// The folder of the running executable, ending in the separator.
std::string executableDirectory();
// Creates a fresh folder only the current user may enter, inside `parent`. Returns its path
// ending in the separator, or an empty string.
std::string makePrivateDirectory(const std::string& parent, const std::string& prefix);
// File names (no folder) matching a pattern whose last component holds * and ? wildcards,
// in case-insensitive name order; extensions compare without regard to case. Folders are
// not listed.
std::vector<std::string> listFiles(const std::string& pattern);
// Deletes a folder and everything in it without following links. True when it is gone.
bool removeTree(const std::string& path);
bool isDirectory(const std::string& path);
// Creates one folder in an existing one; true when the folder is there afterwards.
bool makeDirectory(const std::string& path);
bool fileExists(const std::string& path);
// Writes `bytes` as the file `path` without writing through whatever stands there: they go into
// a new file beside it, "<path>.partial" (created exclusively, so a link in its place is refused;
// a leftover one is deleted first), which then takes the name, replacing a file or link at `path`
// (never what a link points to). A reader sees the old file or the whole new one. False with
// `error` set to the system's cause, and no ".partial" file left.
bool replaceFile(const std::string& path, const std::vector<unsigned char>& bytes, std::string& error);
// Opens a regular file for reading in binary mode; the caller closes it with fclose. Anything
// else in its place (a folder, a pipe, a device) gives null at once, with errno set, rather
// than an open that waits for a writer: the check is made on what was opened, not on the name.
std::FILE* openRegularFile(const std::string& path);
// Size and modification time of a file folded into one number; 0 when it cannot be read.
// Equal stamps mean "probably unchanged" (a watcher compares them, never orders them).
uint64_t fileStamp(const std::string& path);

// ---- diagnostics ----------------------------------------------------------------------

// The debug-output sink (standard error): the text goes out unchanged and at once.
void debugOutput(const char* text);
// Whether standard error is a terminal (a progress line can redraw itself there).
bool standardErrorIsTerminal();

}  // namespace platform
