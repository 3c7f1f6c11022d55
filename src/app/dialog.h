// The setup dialog: a picture, the display modes, "Windowed", "Vertical sync", "Start" and
// "Quit".
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

struct SetupResult {
    int startFlag = 0;  // 1 after "Start", 0 after "Quit" or closing the window
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    int frequency = 0;
    bool windowed = false;     // "Windowed": the film in a window of the chosen size
    bool verticalSync = true;  // "Vertical sync": each frame waits for the display
};

// Shows the dialog until "Start", "Quit" or the window's close. False when no dialog could be
// shown (no display); the result then says not to start.
bool runSetupDialog(SetupResult& result);

// "%dx%dx%dbpp %dHz"
std::string modeText(const platform::DisplayMode& mode);
// Every mode's text, duplicates kept, in ascending text order.
std::vector<std::string> sortedModeTexts(const std::vector<platform::DisplayMode>& modes);
// Index of the first entry that begins with `text` (letters compared without regard to case),
// searching from entry 1, wrapping around and ending with entry 0; -1 when none matches.
int findModeEntry(const std::vector<std::string>& entries, const std::string& text);
// The entry the dialog preselects for the display's current mode: its own text; -1 (nothing
// selected) when the list lacks it. Only a driver that reports the current mode without its
// refresh rate (0 Hz, as Wine does) gets the first entry of the same size and depth instead.
int currentModeEntry(const std::vector<std::string>& entries, const platform::DisplayMode& current);
// Reads width, height, bits per pixel and frequency back from an entry text.
bool parseModeText(const std::string& text, SetupResult& out);
