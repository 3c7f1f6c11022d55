#include "anim/mancam.h"

#include <cmath>

ManCam::ManCam(IInputSource* input) : input_(input ? input : &platformInput_) {
    int width = 0, height = 0;
    input_->screenSize(width, height);
    screenCenterX = width / 2;
    screenCenterY = height / 2;
    input_->cursorPosition(lastCursor.x, lastCursor.y);
}

float* ManCam::getViewMatrix(float* out) {
    float rz[16], rx[16], ry[16], t[16], a[16], b[16];
    sm::rotation(rz, sm::toRadians(roll), 0.0f, 0.0f, 1.0f);
    sm::rotation(rx, sm::toRadians(pitch), 1.0f, 0.0f, 0.0f);
    sm::rotation(ry, sm::toRadians(yaw), 0.0f, 1.0f, 0.0f);
    sm::translation(t, -position.x, -position.y, -position.z);
    // Column-vector products Rz * Rx * Ry * T: the translation applies first.
    sm::multiply(a, rx, rz);
    sm::multiply(b, ry, a);
    sm::multiply(out, t, b);
    return out;
}

void ManCam::lookFrom(const float* view) {
    float inv[16];
    sm::inverse(inv, view);
    position = sm::Vec3(inv[12], inv[13], inv[14]);
    // With no roll the view looks along (sin yaw cos pitch, -sin pitch, -cos yaw cos pitch).
    const sm::Vec3 forward = sm::normalized(sm::Vec3(-inv[8], -inv[9], -inv[10]));
    const float y = forward.y < -1.0f ? -1.0f : (forward.y > 1.0f ? 1.0f : forward.y);
    pitch = sm::toDegrees(-std::asin(y));
    yaw = sm::toDegrees(std::atan2(forward.x, -forward.z));
    roll = 0.0f;
}

float ManCam::fieldOfView(float) { return 1.0471976f; }

void ManCam::update(float dt) {
    using platform::Key;
    CursorPoint c;
    input_->cursorPosition(c.x, c.y);
    if (input_->keyDown(Key::MouseLeft)) {
        // Half a degree per pixel: right turns right, down looks down.
        if (c.x != screenCenterX) yaw += static_cast<float>(c.x - lastCursor.x) * 0.5f;
        if (c.y != screenCenterY) pitch += static_cast<float>(c.y - lastCursor.y) * 0.5f;
    }
    lastCursor = c;
    cursorCopy = c;

    const float s = input_->keyDown(Key::LeftControl) ? dt / 20.0f : dt / 200.0f;

    const float p = sm::toRadians(pitch), y = sm::toRadians(yaw);
    const sm::Vec3 f(std::cos(p) * std::sin(y), -std::sin(p), -std::cos(p) * std::cos(y));
    sm::Vec3 h(f.x, 0.0f, f.z);
    sm::normalize(h);
    const float q = 1.5707963f;
    const sm::Vec3 r(h.x * std::cos(q) - h.z * std::sin(q), 0.0f, h.z * std::cos(q) + h.x * std::sin(q));

    // The flight keys move the camera only while the demo's window has the keyboard focus
    // (platform::keyDown): keys typed into another program must not fly it.
    if (input_->keyDown(Key::W)) position = position + s * f;
    if (input_->keyDown(Key::S)) position = position - s * f;
    if (input_->keyDown(Key::A)) position = position - s * r;
    if (input_->keyDown(Key::D)) position = position + s * r;
    if (input_->keyDown(Key::Q)) position.y += s;
    if (input_->keyDown(Key::E)) position.y -= s;
}
