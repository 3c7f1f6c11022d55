// The credits monitors: a bank of screens ("screens") showing the credits pictures one after
// the other over TV noise, following a fixed schedule of which monitor is active.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "anim/keyframes.h"
#include "anim/math.h"
#include "render/std_lighting.h"

class DemoContent;
class Effect;
class Model;
class Texture;

// Which monitor shows which picture how strongly, advanced once per frame.
struct CreditsSchedule {
    CreditsSchedule();

    // t and dt in milliseconds; `pictures` is the number of credits pictures. With no pictures
    // the index stays 0 and points at nothing.
    void update(float t, float dt, int pictures);
    // The visibility sent to the effect: never above 1, even after a long frame.
    float shownVisibility() const { return visibility < 1.0f ? visibility : 1.0f; }

    StateInterpolator<int> monitors;  // seconds -> active monitor
    int activeMonitor = 0;
    int previousMonitor = -1;
    int pictureIndex = 0;
    float visibility = 0.0f;
    float visibilityRate = 0.0f;  // per second
    float noisePhase = 0.0f;
    int noiseFrame = 0;  // 0 to 2; the noise runs at 15 frames per second
};

class Credits {
public:
    Credits();
    ~Credits();
    Credits(const Credits&) = delete;
    Credits& operator=(const Credits&) = delete;

    // Loads "textures/credits/*.jpg" below `dataDirectory` in listing order (a picture that
    // does not decode is logged and keeps its place as a null entry: its monitor shows black)
    // and finds the noise frames, the "screens" model and the "std_lighting_screens" effect.
    // A second call replaces the pictures.
    void create(const std::string& dataDirectory, DemoContent& content);

    // Back to the schedule's start (a jump back in time).
    void rewind() { schedule_ = CreditsSchedule(); }
    void updateCredits(float t, float dt) { schedule_.update(t, dt, static_cast<int>(pictures_.size())); }
    // Draws every monitor, visible or not; only the active one shows the picture.
    void drawScreens(const float* view, const sm::Vec3& eye, const float* projection);

    Effect* effect() const { return effect_; }
    const CreditsSchedule& schedule() const { return schedule_; }
    const std::vector<std::unique_ptr<Texture>>& pictures() const { return pictures_; }

private:
    CreditsSchedule schedule_;
    std::vector<std::unique_ptr<Texture>> pictures_;
    Texture* noise_[3] = {};
    PartList screens_;
    Effect* effect_ = nullptr;
};
