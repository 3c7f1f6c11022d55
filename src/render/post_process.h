// The last pass of a frame: "post_process" mixes the sharp scene, its blurred copy and the scene
// depth, darkens by the camera-cut fade and adds the electro noise, into the bound frame buffer.
#pragma once

class Effect;

struct PostProcessInputs {
    Effect* effect = nullptr;   // "post_process", found once with the frame's scene
    int width = 0, height = 0;  // the window
    unsigned depthTexture = 0;  // the scene depth
    unsigned noiseTexture = 0;  // 1-D
    float noiseStrength = 0.0f;
    bool steadyNoise = false;  // no fine grain, the noise pattern held still (for comparing pictures)
};

// Without the effect (or its "DofGlowTech") the sharp scene is copied, darkened by the fade,
// so that the frame still shows. A reload keeps the effect where it is (it takes the new code
// over in place), so the pointer found at prepare stays good.
void postProcess(unsigned sharp, unsigned blurred, float fade, const PostProcessInputs& inputs);
