// The platform layer's window, display, event, key and sleep calls, over SDL2. The operating
// system's own parts (files, clock, Ctrl+C, debug output, and on Windows the list of display
// modes) are in platform_posix.cpp and platform_win32.cpp.
#include "platform/platform.h"

#include <SDL.h>
#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

namespace platform {

struct Window {
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    bool fullScreen = false;
};

namespace {

bool g_initialised = false;
bool g_quitRequested = false;
bool g_pressed[kKeyCount] = {};
std::string g_lastError;

SDL_Scancode scancodeOf(Key key) {
    switch (key) {
        case Key::Escape: return SDL_SCANCODE_ESCAPE;
        case Key::W: return SDL_SCANCODE_W;
        case Key::S: return SDL_SCANCODE_S;
        case Key::A: return SDL_SCANCODE_A;
        case Key::D: return SDL_SCANCODE_D;
        case Key::Q: return SDL_SCANCODE_Q;
        case Key::E: return SDL_SCANCODE_E;
        case Key::LeftControl: return SDL_SCANCODE_LCTRL;
        case Key::F1: return SDL_SCANCODE_F1;
        case Key::Space: return SDL_SCANCODE_SPACE;
        case Key::Left: return SDL_SCANCODE_LEFT;
        case Key::Right: return SDL_SCANCODE_RIGHT;
        case Key::PageUp: return SDL_SCANCODE_PAGEUP;
        case Key::PageDown: return SDL_SCANCODE_PAGEDOWN;
        case Key::Home: return SDL_SCANCODE_HOME;
        case Key::C: return SDL_SCANCODE_C;
        case Key::F5: return SDL_SCANCODE_F5;
        case Key::MouseLeft: break;
    }
    return SDL_SCANCODE_UNKNOWN;
}

void notePress(SDL_Scancode code) {
    for (int k = 0; k < kKeyCount; ++k) {
        const Key key = static_cast<Key>(k);
        if (key != Key::MouseLeft && scancodeOf(key) == code) g_pressed[k] = true;
    }
}

}  // namespace

bool init() {
    if (g_initialised) return true;
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER | SDL_INIT_EVENTS) != 0) {
        g_lastError = SDL_GetError();
        return false;
    }
    g_initialised = true;
    return true;
}

void quit() {
    if (!g_initialised) return;
    SDL_Quit();
    g_initialised = false;
}

void preferOffscreenVideo() {
#ifndef _WIN32
    SDL_setenv("SDL_VIDEODRIVER", "offscreen", 0);
#endif
    // On Windows SDL's off-screen driver would need EGL, which the system lacks: the hidden
    // window of the Windows driver draws there.
}

namespace {

// 24-bit formats are reported as 32 bits per pixel, as the display drivers count them.
DisplayMode modeOf(const SDL_DisplayMode& m) {
    const int bpp = static_cast<int>(SDL_BITSPERPIXEL(m.format));
    return {m.w, m.h, bpp == 24 ? 32 : bpp, m.refresh_rate};
}

}  // namespace

#ifndef _WIN32
// Windows lists the modes with its own enumeration (platform_win32.cpp).
std::vector<DisplayMode> displayModes() {
    std::vector<DisplayMode> modes;
    if (!init()) return modes;
    const int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode m;
        if (SDL_GetDisplayMode(0, i, &m) != 0) break;
        modes.push_back(modeOf(m));
    }
    return modes;
}

bool currentDisplayMode(DisplayMode& out) {
    if (!init()) return false;
    SDL_DisplayMode m;
    if (SDL_GetCurrentDisplayMode(0, &m) != 0) return false;
    out = modeOf(m);
    return true;
}
#endif

Window* createWindow(const WindowDesc& desc) {
    if (!init()) return nullptr;
    auto* w = new Window;
    Uint32 flags = 0;
    if (desc.openGL) {
        flags |= SDL_WINDOW_OPENGL;
        SDL_GL_ResetAttributes();
#ifdef __EMSCRIPTEN__
        // WebGL 2; the GL room stands in for the fixed-function calls it lacks.
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
#else
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
#endif
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
        SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    }
    flags |= desc.hidden ? SDL_WINDOW_HIDDEN : SDL_WINDOW_SHOWN;
    if (desc.borderless) flags |= SDL_WINDOW_BORDERLESS;
    const int pos = desc.centred ? SDL_WINDOWPOS_CENTERED : 0;

    // The deepest depth buffer the driver offers: 32 bits where there is one.
    static const int depths[] = {32, 24, 16};
    for (int depth : depths) {
        if (desc.openGL) SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depth);
        w->window = SDL_CreateWindow(desc.title, pos, pos, desc.width, desc.height, flags);
        if (w->window || !desc.openGL) break;
    }
    if (!w->window) {
        g_lastError = SDL_GetError();
        delete w;
        return nullptr;
    }
#ifdef __EMSCRIPTEN__
    // The browser has no display modes: the page shows the canvas full screen itself.
    const bool setMode = false;
#else
    const bool setMode = desc.fullScreen;
#endif
    if (setMode) {
        // Exactly the chosen mode, bits per pixel and frequency included, or no window.
        const DisplayMode& wanted = desc.mode;
        SDL_DisplayMode chosen = {};
        bool found = false;
        const int count = SDL_GetNumDisplayModes(0);
        for (int i = 0; i < count && !found; ++i) {
            if (SDL_GetDisplayMode(0, i, &chosen) != 0) break;
            const DisplayMode m = modeOf(chosen);
            found = m.width == wanted.width && m.height == wanted.height && m.bitsPerPixel == wanted.bitsPerPixel &&
                    m.refreshRate == wanted.refreshRate;
        }
        const std::string name = std::to_string(wanted.width) + "x" + std::to_string(wanted.height) + "x" +
                                 std::to_string(wanted.bitsPerPixel) + "bpp " + std::to_string(wanted.refreshRate) + "Hz";
        if (!found) {
            // On Windows the dialog lists every mode the driver reports; SDL cannot switch to the
            // paletted ones among them.
            g_lastError = "SDL offers no full-screen mode " + name +
                          " for the display (choose another of the setup dialog's list)";
            destroyWindow(w);
            return nullptr;
        }
        if (SDL_SetWindowDisplayMode(w->window, &chosen) != 0 || SDL_SetWindowFullscreen(w->window, SDL_WINDOW_FULLSCREEN) != 0) {
            g_lastError = "the display refused the mode " + name + ": " + SDL_GetError();
            destroyWindow(w);
            return nullptr;
        }
        w->fullScreen = true;
        SDL_ShowCursor(SDL_DISABLE);
    }
    if (desc.openGL) {
        w->context = SDL_GL_CreateContext(w->window);
        if (!w->context || SDL_GL_MakeCurrent(w->window, w->context) != 0) {
            g_lastError = std::string("no OpenGL context: ") + SDL_GetError();
            destroyWindow(w);
            return nullptr;
        }
        // A driver that cannot wait for the vertical blank keeps its own interval; swapInterval()
        // tells what it has.
        if (SDL_GL_SetSwapInterval(desc.swapInterval) != 0) g_lastError = SDL_GetError();
    }
    if (!desc.hidden) SDL_RaiseWindow(w->window);
    return w;
}

void destroyWindow(Window* w) {
    if (!w) return;
    if (w->fullScreen) {
        SDL_SetWindowFullscreen(w->window, 0);
        SDL_ShowCursor(SDL_ENABLE);
    }
    if (w->context) {
        SDL_GL_MakeCurrent(w->window, nullptr);
        SDL_GL_DeleteContext(w->context);
    }
    if (w->window) SDL_DestroyWindow(w->window);
    delete w;
}

#ifdef __EMSCRIPTEN__
// The browser shows what was drawn when the program hands control back; the next animation
// frame is the vertical sync. The program runs with Asyncify, so waiting here keeps the loops
// (loading screen, main loop) as they are on the desktop.
EM_ASYNC_JS(void, waitForAnimationFrame, (), { await new Promise(function(resolve) { requestAnimationFrame(resolve); }); });
#endif

void swapWindow(Window* w) {
    if (w && w->window) SDL_GL_SwapWindow(w->window);
#ifdef __EMSCRIPTEN__
    waitForAnimationFrame();
#endif
}

void* nativeWindow(Window* w) { return w ? w->window : nullptr; }
void* glContext(Window* w) { return w ? w->context : nullptr; }

void windowSize(Window* w, int& width, int& height) {
    width = height = 0;
    if (w && w->window) SDL_GetWindowSize(w->window, &width, &height);
}

void windowPosition(Window* w, int& x, int& y) {
    x = y = 0;
    if (w && w->window) SDL_GetWindowPosition(w->window, &x, &y);
}

int swapInterval(Window* w) {
    if (!w || !w->context || SDL_GL_GetCurrentContext() != w->context) return 0;
#ifdef __EMSCRIPTEN__
    return 1;  // every swap waits for the browser's next animation frame
#else
    return SDL_GL_GetSwapInterval();
#endif
}

bool windowHasBorder(Window* w) {
    return w && w->window && (SDL_GetWindowFlags(w->window) & SDL_WINDOW_BORDERLESS) == 0;
}

std::string windowTitle(Window* w) { return w && w->window ? SDL_GetWindowTitle(w->window) : ""; }

std::string lastError() { return g_lastError; }

void* glProcAddress(const char* name) { return SDL_GL_GetProcAddress(name); }

bool pumpEvents(const std::function<void(const void*)>& observer) {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (observer) observer(&event);
        if (event.type == SDL_QUIT) g_quitRequested = true;
        if (event.type == SDL_KEYDOWN && !event.key.repeat) notePress(event.key.keysym.scancode);
    }
    return !g_quitRequested;
}

void clearQuitRequest() {
    SDL_FlushEvent(SDL_QUIT);
    g_quitRequested = false;
}

bool keyDown(Key key) {
    // SDL's keyboard state is the focused window's: it holds no key while another program has
    // the focus, and is cleared when the focus leaves, so a key held then is not held here.
    if (key == Key::MouseLeft) return (SDL_GetGlobalMouseState(nullptr, nullptr) & SDL_BUTTON_LMASK) != 0;
    int count = 0;
    const Uint8* state = SDL_GetKeyboardState(&count);
    const SDL_Scancode code = scancodeOf(key);
    return state && code < count && state[code] != 0;
}

bool keyPressed(Key key) {
    bool& flag = g_pressed[static_cast<int>(key)];
    const bool was = flag;
    flag = false;
    return was;
}

void forgetKeyPresses() {
    for (bool& flag : g_pressed) flag = false;
}

void cursorPosition(int& x, int& y) { SDL_GetGlobalMouseState(&x, &y); }

void screenSize(int& width, int& height) {
    SDL_DisplayMode m;
    if (init() && SDL_GetDesktopDisplayMode(0, &m) == 0) {
        width = m.w;
        height = m.h;
    } else {
        width = height = 0;
    }
}

void sleepMilliseconds(int milliseconds) { SDL_Delay(milliseconds > 0 ? static_cast<Uint32>(milliseconds) : 0u); }

}  // namespace platform
