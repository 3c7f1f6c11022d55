#include "content/geometry/preview.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <functional>

#include "base/png_file.h"

namespace geo {

namespace {

Vec materialColour(const std::string& name) {
    if (name.rfind("glow", 0) == 0) return Vec(1.0f, 0.85f, 0.5f);
    const size_t h = std::hash<std::string>{}(name);
    return Vec(0.45f + 0.5f * ((h & 0xff) / 255.0f), 0.45f + 0.5f * (((h >> 8) & 0xff) / 255.0f),
               0.45f + 0.5f * (((h >> 16) & 0xff) / 255.0f));
}

// Rasterises one camera-space triangle (all corners in front of the near plane).
void drawTriangle(PreviewImage& image, std::vector<float>& depth, const std::array<Vec, 3>& c,
                  const std::array<Vec, 3>& n, float focal, const Vec& base, bool shaded, const Vec& forward) {
    const int width = image.width, height = image.height;
    float sx[3], sy[3], iz[3];
    for (int k = 0; k < 3; ++k) {
        iz[k] = 1.0f / c[k].z;
        sx[k] = width * 0.5f + c[k].x * focal * iz[k];
        sy[k] = height * 0.5f - c[k].y * focal * iz[k];
    }
    const float area = (sx[1] - sx[0]) * (sy[2] - sy[0]) - (sx[2] - sx[0]) * (sy[1] - sy[0]);
    if (std::fabs(area) < 1e-9f) return;
    const int x0 = std::max(0, static_cast<int>(std::floor(std::min({sx[0], sx[1], sx[2]}))));
    const int x1 = std::min(width - 1, static_cast<int>(std::ceil(std::max({sx[0], sx[1], sx[2]}))));
    const int y0 = std::max(0, static_cast<int>(std::floor(std::min({sy[0], sy[1], sy[2]}))));
    const int y1 = std::min(height - 1, static_cast<int>(std::ceil(std::max({sy[0], sy[1], sy[2]}))));
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const float px = x + 0.5f, py = y + 0.5f;
            const float w0 = ((sx[1] - px) * (sy[2] - py) - (sx[2] - px) * (sy[1] - py)) / area;
            const float w1 = ((sx[2] - px) * (sy[0] - py) - (sx[0] - px) * (sy[2] - py)) / area;
            const float w2 = 1.0f - w0 - w1;
            if (w0 < 0 || w1 < 0 || w2 < 0) continue;
            const float z = w0 * iz[0] + w1 * iz[1] + w2 * iz[2];
            float& stored = depth[static_cast<size_t>(y) * width + x];
            if (z <= stored) continue;
            stored = z;
            Vec colour = base;
            if (shaded) {
                // Normals here are world-space; light from the camera plus a key light from above.
                const Vec nrm = sm::normalized(n[0] * w0 + n[1] * w1 + n[2] * w2);
                const Vec key = sm::normalized(Vec(-0.4f, 0.7f, 0.0f) - forward * 0.6f);
                const float lit = 0.15f + 0.55f * std::max(0.0f, -sm::dot(nrm, forward)) +
                                  0.35f * std::max(0.0f, sm::dot(nrm, key));
                colour = base * lit;
            }
            unsigned char* out = &image.rgb[(static_cast<size_t>(y) * width + x) * 3];
            out[0] = static_cast<unsigned char>(std::min(255.0f, colour.x * 255.0f));
            out[1] = static_cast<unsigned char>(std::min(255.0f, colour.y * 255.0f));
            out[2] = static_cast<unsigned char>(std::min(255.0f, colour.z * 255.0f));
        }
}

}  // namespace

PreviewImage renderPreview(const std::vector<const GeoModel*>& models, const PreviewCamera& camera, int width,
                           int height) {
    PreviewImage image;
    image.width = width;
    image.height = height;
    image.rgb.assign(static_cast<size_t>(width) * height * 3, 24);
    std::vector<float> depth(static_cast<size_t>(width) * height, 0.0f);  // 1/z, larger is nearer

    const Vec forward = sm::normalized(camera.target - camera.eye);
    const Vec right = sm::normalized(sm::cross(forward, Vec(0, 1, 0)));
    const Vec up = sm::cross(right, forward);
    const float focal = (height * 0.5f) / std::tan(camera.fovYDegrees * sm::kPi / 360.0f);
    const float nearZ = 0.05f;

    for (const GeoModel* model : models)
        for (const GeoMesh& mesh : model->meshes)
            for (const GeoPart& part : mesh.parts) {
                const Vec base = materialColour(part.materialName);
                const bool glows = part.materialName.rfind("glow", 0) == 0;
                for (size_t t = 0; t + 2 < part.vertices.size(); t += 3) {
                    const GeoVertex& v0 = part.vertices[t];
                    const Vec face = sm::cross(part.vertices[t + 1].position - v0.position,
                                               part.vertices[t + 2].position - v0.position);
                    const bool backFacing = sm::dot(face, camera.eye - v0.position) < 0.0f;
                    // Camera-space corners, clipped against the near plane.
                    struct Corner {
                        Vec c, n;
                    };
                    std::vector<Corner> poly, clipped;
                    for (int k = 0; k < 3; ++k) {
                        const Vec d = part.vertices[t + k].position - camera.eye;
                        poly.push_back({Vec(sm::dot(d, right), sm::dot(d, up), sm::dot(d, forward)), part.vertices[t + k].normal});
                    }
                    for (size_t k = 0; k < poly.size(); ++k) {
                        const Corner& a = poly[k];
                        const Corner& b = poly[(k + 1) % poly.size()];
                        if (a.c.z >= nearZ) clipped.push_back(a);
                        if ((a.c.z >= nearZ) != (b.c.z >= nearZ)) {
                            const float f = (nearZ - a.c.z) / (b.c.z - a.c.z);
                            clipped.push_back({a.c + (b.c - a.c) * f, a.n + (b.n - a.n) * f});
                        }
                    }
                    for (size_t k = 1; k + 1 < clipped.size(); ++k)
                        drawTriangle(image, depth, {clipped[0].c, clipped[k].c, clipped[k + 1].c},
                                     {clipped[0].n, clipped[k].n, clipped[k + 1].n}, focal,
                                     backFacing ? Vec(1, 0, 0) : base, !backFacing && !glows, forward);
                }
            }
    return image;
}

bool writePreviewPng(const PreviewImage& image, const std::string& path, std::string& error) {
    PngPicture picture;
    picture.width = image.width;
    picture.height = image.height;
    picture.format = PngFormat::Rgb;
    picture.pixels = image.rgb.data();
    picture.srgb = false;
    return writePng(path, picture, error);
}

}  // namespace geo
