// The free camera of the "free" run mode: keys W/S/A/D/Q/E fly, left Control is fast, and
// dragging with the left mouse button turns the view.
#pragma once

#include "anim/cameras.h"
#include "anim/math.h"
#include "platform/platform.h"

// Where the free camera reads its input; tests pass their own.
class IInputSource {
public:
    virtual ~IInputSource() = default;
    virtual bool keyDown(platform::Key key) = 0;
    virtual void cursorPosition(int& x, int& y) = 0;
    virtual void screenSize(int& width, int& height) = 0;
};

// The keyboard, mouse and screen of the platform layer.
class PlatformInput : public IInputSource {
public:
    bool keyDown(platform::Key key) override { return platform::keyDown(key); }
    void cursorPosition(int& x, int& y) override { platform::cursorPosition(x, y); }
    void screenSize(int& width, int& height) override { platform::screenSize(width, height); }
};

struct CursorPoint {
    int x = 0, y = 0;
};

class ManCam : public ICamera {
public:
    // `input` is not owned; null reads the platform.
    explicit ManCam(IInputSource* input = nullptr);

    // Rz(roll) Rx(pitch) Ry(yaw) T(-position), angles in degrees as stored.
    float* getViewMatrix(float* out) override;
    // Always 60 degrees.
    float fieldOfView(float time) override;
    // Reads the input and moves; `dt` is the frame time in milliseconds.
    void update(float dt);
    // Stands where a view matrix looks from and turns the same way (its roll is dropped), so
    // that the free flight starts inside the film rather than at the origin.
    void lookFrom(const float* view);

    sm::Vec3 position{0.0f, 0.0f, 0.0f};
    float roll = 0.0f;   // degrees
    float yaw = 0.0f;    // degrees, about the vertical axis
    float pitch = 0.0f;  // degrees, about the horizontal axis
    CursorPoint cursorCopy;
    int screenCenterX = 0;
    int screenCenterY = 0;
    CursorPoint lastCursor;

private:
    PlatformInput platformInput_;
    IInputSource* input_;
};
