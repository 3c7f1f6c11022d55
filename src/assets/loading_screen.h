// The loading screen: the picture "loader.jpg" with a translucent progress bar near its lower
// left corner, redrawn and presented at every progress step.
#pragma once

#include <memory>
#include <string>

class OpenGLWindow;
class Texture;

class IScene {
public:
    virtual ~IScene() = default;
    virtual void update(float time, float timeStep) = 0;
    virtual void render(float time, float timeStep, const float* view, const float* projection,
                        const float* clearColour) = 0;
};

class LoadingScreen : public IScene {
public:
    // With a window the screen takes its size from it and presents each frame; without one
    // (off-screen use) it draws into the current viewport and presents nothing.
    explicit LoadingScreen(OpenGLWindow* window = nullptr);
    ~LoadingScreen() override;
    LoadingScreen(const LoadingScreen&) = delete;
    LoadingScreen& operator=(const LoadingScreen&) = delete;

    // Loads dataDirectory + "loader.jpg" (a missing picture leaves the bar alone) and takes
    // the current size.
    void init(const std::string& dataDirectory);

    void update(float time, float timeStep) override {}
    void render(float time, float timeStep, const float* view, const float* projection,
                const float* clearColour) override;

    std::unique_ptr<Texture> picture;
    int total = 0;
    int done = 0;
    int drawn = 0;  // frames render has drawn so far
    int width = 0;
    int height = 0;

private:
    void currentSize(int& w, int& h) const;

    OpenGLWindow* window_;  // not owned
};

// The bar's corners for a W x H screen, in pixels from the bottom left; false when there is
// no bar to draw (total not positive).
struct BarRect {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};
bool progressBar(int screenWidth, int screenHeight, int done, int total, BarRect& out);
