// A debugging aid: a tiny software rasteriser that draws models to a PNG so their shape can be
// checked by eye without a GL context. Flat colour per material, light from the camera,
// smooth normals interpolated; back faces (wrong winding) come out bright red.
#pragma once

#include <string>
#include <vector>

#include "content/geometry/kit.h"

namespace geo {

struct PreviewCamera {
    Vec eye, target;
    float fovYDegrees = 45.0f;
};

// RGB pixels, top row first.
struct PreviewImage {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
};

PreviewImage renderPreview(const std::vector<const GeoModel*>& models, const PreviewCamera& camera, int width,
                           int height);

// Writes an RGB picture as PNG; false (and a message in `error`) when the file cannot be written.
bool writePreviewPng(const PreviewImage& image, const std::string& path, std::string& error);

}  // namespace geo
