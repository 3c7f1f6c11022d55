// The object that holds the running demo together: window, effect context, off-screen
// targets, music, loading screen, property registry and the handles of the scene's assets.
#pragma once

#include <string>

#include "anim/math.h"
#include "app/singleton.h"

class Logger;
class ConsoleOutput;
class OpenGLWindow;
namespace fx {
struct Context;
}

enum class RunMode { Demo = 0, Free = 2, None = 3 };

// Progress of the content load; the controller redraws the loading screen on every step.
class IContentObserver {
public:
    virtual ~IContentObserver() = default;
    virtual void onLoadError(const std::string& message) = 0;
    virtual void onLoadBegin(int total) = 0;
    virtual void onLoadStep() = 0;
    virtual void onLoadEnd() = 0;
};

class DemoController : public IContentObserver, public GenericSingleton<DemoController> {
public:
    DemoController();
    ~DemoController() override;

    bool init(RunMode mode, int width, int height, int bitsPerPixel, int frequency, bool fullScreen);
    bool loadContent(const std::string& dataDirectory);
    bool prepare();
    bool update(float t, float dt);
    bool render(float t, float dt);
    // Releases everything; safe to call any number of times.
    void shutdown();

    void onLoadError(const std::string& message) override;
    void onLoadBegin(int total) override;
    void onLoadStep() override;
    void onLoadEnd() override;

    RunMode runMode() const { return runMode_; }
    int width() const { return width_; }
    int height() const { return height_; }
    float fieldOfView() const { return fieldOfView_; }
    const float* projectionMatrix() const { return projectionMatrix_; }
    const float* viewMatrix() const { return viewMatrix_; }
    OpenGLWindow* window() const { return window_; }
    Logger* logger() const { return logger_; }
    fx::Context* cgContext() const { return cgContext_; }

private:
    void logError(const std::string& message);

    Logger* logger_ = nullptr;
    ConsoleOutput* logOutput_ = nullptr;  // owned
    RunMode runMode_ = RunMode::Demo;
    OpenGLWindow* window_ = nullptr;  // owned
    fx::Context* cgContext_ = nullptr;  // owned; outlives every effect
    float viewMatrix_[16];
    float projectionMatrix_[16];
    float fieldOfView_ = 60.0f;
    int width_ = 0;
    int height_ = 0;
};
