// GL defaults for the demo's fresh context.
#pragma once

// In order: the bitmap-font lists, viewport, matrix modes, smooth shading, clear values, depth
// test, normalisation and hints. Writes the projection matrix (fovY degrees, near 1, far 200)
// into `projection`; it is not loaded into GL here.
void initGLState(int width, int height, float fieldOfView, float* projection);
