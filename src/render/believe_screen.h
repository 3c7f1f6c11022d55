// The believe screen: a monitor showing a picture the demo draws itself into an 800 x 600
// texture — one of five images, a text line revealed letter by letter, and a blinking green
// cursor while the first image is shown.
#pragma once

#include <memory>

class AnimProperty;
class DemoContent;
class Model;
class PropertyRegistry;
class Texture;
#include "gl/render_target.h"

// How many letters of the line show for a "believe_screen.letters" value (toward zero, never
// below 0).
int lettersShown(float letters);

// The cursor's blink: it flips every 500 ms of frames that show the first image.
struct CursorBlink {
    float timer = 0.0f;  // milliseconds
    bool shown = false;
    void advance(float dt) {
        timer += dt;
        if (timer >= 500.0f) {
            timer = 0.0f;
            shown = !shown;
        }
    }
};

class BelieveScreen {
public:
    static constexpr int kWidth = 800;
    static constexpr int kHeight = 600;
    static constexpr int kImages = 5;

    // Finds the model, the five images and the two properties, and makes the picture's texture
    // and target (a second call replaces them). Anything missing is left out of the drawing.
    void create(DemoContent& content, PropertyRegistry& properties);

    // Redraws the picture at t (ms); the frame calls it only inside the believe window.
    void drawScreenPicture(float t, float dt);
    // Draws the monitor with the picture; the matrices stay loaded afterwards.
    void drawScreenModel(const float* view, const float* projection);

    unsigned screenTexture() const { return screenTexture_.get(); }
    const CursorBlink& cursor() const { return cursor_; }
    void rewind() { cursor_ = CursorBlink(); }

private:
    Model* model_ = nullptr;
    Texture* images_[kImages] = {};
    AnimProperty* letters_ = nullptr;
    AnimProperty* index_ = nullptr;
    GlTexture screenTexture_;
    GlTexture depthTexture_;
    std::unique_ptr<RenderTarget> target_;
    CursorBlink cursor_;
};
