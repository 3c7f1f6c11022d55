// The demo's one window with its OpenGL context.
#pragma once

namespace platform {
struct Window;
}

class OpenGLWindow {
public:
    ~OpenGLWindow();
    // On false everything that was made is already torn down.
    bool create(int width, int height, int bitsPerPixel, int frequency, bool fullScreen);
    // Tears down whatever exists; safe to repeat and on a half-created window. The GL names
    // still owned then go with the context: their owners drop them without a GL call.
    void destroy();
    void swap();
    // Set before create: the window is never shown (frame capture draws off screen).
    bool hidden = false;
    // Set before create: a centred window with a title bar instead of the borderless one at the
    // top left (full screen ignores it).
    bool titled = false;
    // Set before create: 1 waits for the vertical blank at each swap, 0 does not.
    int swapInterval = 0;
    platform::Window* handle() const { return window_; }
    int width() const { return width_; }
    int height() const { return height_; }
    bool fullScreen() const { return fullScreen_; }

private:
    platform::Window* window_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    bool fullScreen_ = false;
};

// The window's title.
extern const char* const kWindowTitle;
// First display list of the bitmap font (255 glyphs, one list per character code).
constexpr unsigned kFontListBase = 1000;

// Builds the bitmap-font display lists at `listBase` (character code c is list listBase + c).
void buildBitmapFont(unsigned listBase);
