// Small drawing helpers over the fixed-function pipeline: texture sampling, an orthographic
// pixel projection and a textured full-screen quad.
#pragma once

// One unit per pixel over the current viewport, origin bottom left; identity model-view.
void setOrthoToViewport();
// Draws a texture over the rectangle (0, 0) - (width, height) without lighting or depth,
// restoring the matrices and the enable, depth and current state afterwards.
void drawFullscreenTexture(unsigned glName, int width, int height);

// On the texture bound to `target`, in this order: minification and magnification filters, then
// the wrap mode along s and t.
void setTextureSampling(unsigned target, int minFilter, int magFilter, int wrap);
