// A window that shows Dear ImGui frames (the setup dialog). The caller draws its widgets with
// ImGui between beginUiFrame and endUiFrame; the window system's events reach ImGui here.
#pragma once

#include "platform/platform.h"

namespace platform {

struct UiWindow;

// Opens the window with its GL context and sets ImGui up over it (keyboard navigation on,
// no settings file). Null on failure, with the reason in lastError().
UiWindow* createUiWindow(const WindowDesc& desc);
// Hands the pending events to ImGui and starts an ImGui frame. False once the window's close
// or Ctrl+C asked to quit. `spacePressed` tells whether Space went down among those events:
// a press and release within one frame never reach ImGui's key state.
bool beginUiFrame(UiWindow* window, bool& spacePressed);
// Clears the window to black, draws the ImGui frame and presents it.
void endUiFrame(UiWindow* window);
// Tears ImGui and the window down; forgets the quit request and key presses the window saw,
// so that they do not reach what comes next. Null is fine.
void destroyUiWindow(UiWindow* window);

}  // namespace platform
