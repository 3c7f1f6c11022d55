// The metal head: a sculpted distance field (cranium, brow, sockets, nose, cheekbones, jaw,
// lips, ears, neck) turned into a smooth mesh, and the two eyes that sit in its sockets.
#include <algorithm>
#include <cmath>

#include "content/geometry/models.h"

namespace geo {

namespace {

float len(float x, float y, float z) { return std::sqrt(x * x + y * y + z * z); }

// An approximate ellipsoid distance (exact on the surface, good near it).
float ellipsoid(const Vec& p, const Vec& c, const Vec& r) {
    const Vec d = p - c;
    const float k0 = len(d.x / r.x, d.y / r.y, d.z / r.z);
    const float k1 = len(d.x / (r.x * r.x), d.y / (r.y * r.y), d.z / (r.z * r.z));
    return k1 > 0 ? k0 * (k0 - 1.0f) / k1 : -std::min({r.x, r.y, r.z});
}

float capsule(const Vec& p, const Vec& a, const Vec& b, float r) {
    const Vec pa = p - a, ba = b - a;
    const float h = std::clamp(sm::dot(pa, ba) / sm::dot(ba, ba), 0.0f, 1.0f);
    return sm::length(pa - ba * h) - r;
}

// A capsule whose radius runs from ra at a to rb at b (good enough for small slopes).
float taperedCapsule(const Vec& p, const Vec& a, const Vec& b, float ra, float rb) {
    const Vec pa = p - a, ba = b - a;
    const float h = std::clamp(sm::dot(pa, ba) / sm::dot(ba, ba), 0.0f, 1.0f);
    return sm::length(pa - ba * h) - (ra + (rb - ra) * h);
}

float verticalCylinder(const Vec& p, const Vec& c, float r, float halfHeight) {
    const float dx = std::hypot(p.x - c.x, p.z - c.z) - r, dy = std::fabs(p.y - c.y) - halfHeight;
    return std::min(std::max(dx, dy), 0.0f) + std::hypot(std::max(dx, 0.0f), std::max(dy, 0.0f));
}

float smoothUnion(float a, float b, float k) {
    const float h = std::max(k - std::fabs(a - b), 0.0f) / k;
    return std::min(a, b) - h * h * k * 0.25f;
}

float smoothCut(float a, float b, float k) { return -smoothUnion(-a, b, k); }  // a minus b

// Local frame: origin at the cranium centre (the layout's head centre), +z the way the face looks.
float headLocal(const Vec& q) {
    // Mirror the sides so both halves come from one set of shapes.
    const Vec p(std::fabs(q.x), q.y, q.z);
    float d = ellipsoid(p, Vec(0, 0.45f, -0.25f), Vec(1.7f, 1.75f, 2.12f));                 // cranium
    d = smoothUnion(d, ellipsoid(p, Vec(0, 0.75f, 0.6f), Vec(1.45f, 1.45f, 1.3f)), 0.5f);   // forehead
    d = smoothUnion(d, ellipsoid(p, Vec(0, -0.75f, 0.75f), Vec(1.3f, 1.3f, 1.2f)), 0.5f);   // mid face
    d = smoothUnion(d, ellipsoid(p, Vec(0, -1.55f, 0.35f), Vec(1.15f, 0.9f, 1.15f)), 0.5f);  // under the jaw
    // Jaw: from the angle below the ear to the chin, and the chin itself.
    d = smoothUnion(d, capsule(p, Vec(1.18f, -1.15f, -0.45f), Vec(0.45f, -2.4f, 1.45f), 0.36f), 0.45f);
    d = smoothUnion(d, ellipsoid(p, Vec(0, -2.35f, 1.55f), Vec(0.62f, 0.5f, 0.5f)), 0.4f);
    // Cheekbones and brow ridge.
    d = smoothUnion(d, ellipsoid(p, Vec(0.98f, -0.35f, 1.45f), Vec(0.5f, 0.32f, 0.45f)), 0.35f);
    d = smoothUnion(d, capsule(p, Vec(1.05f, 0.45f, 1.55f), Vec(0.15f, 0.5f, 1.98f), 0.24f), 0.3f);
    // Eye sockets.
    d = smoothCut(d, ellipsoid(p, Vec(0.6f, 0.0f, 2.0f), Vec(0.5f, 0.38f, 0.5f)), 0.18f);
    // Nose: bridge to tip, the tip, the wings.
    float nose = taperedCapsule(p, Vec(0, 0.15f, 1.95f), Vec(0, -0.85f, 2.42f), 0.17f, 0.24f);
    nose = smoothUnion(nose, ellipsoid(p, Vec(0, -0.88f, 2.4f), Vec(0.25f, 0.22f, 0.25f)), 0.1f);
    nose = smoothUnion(nose, ellipsoid(p, Vec(0.24f, -0.98f, 2.2f), Vec(0.2f, 0.17f, 0.2f)), 0.1f);
    d = smoothUnion(d, nose, 0.2f);
    // Lips and the mouth line.
    d = smoothUnion(d, capsule(p, Vec(0.4f, -1.42f, 1.86f), Vec(0, -1.38f, 1.97f), 0.1f), 0.15f);
    d = smoothUnion(d, capsule(p, Vec(0.34f, -1.68f, 1.82f), Vec(0, -1.7f, 1.93f), 0.11f), 0.15f);
    d = smoothCut(d, capsule(p, Vec(0.46f, -1.55f, 2.0f), Vec(0, -1.55f, 2.1f), 0.07f), 0.05f);
    // Ears with a hollow.
    float ear = ellipsoid(p, Vec(1.7f, -0.15f, -0.25f), Vec(0.2f, 0.68f, 0.42f));
    ear = smoothCut(ear, ellipsoid(p, Vec(1.88f, -0.1f, -0.18f), Vec(0.16f, 0.42f, 0.26f)), 0.06f);
    d = smoothUnion(d, ear, 0.15f);
    // Neck and the collar it stands in.
    d = smoothUnion(d, verticalCylinder(p, Vec(0, -3.2f, -0.55f), 1.1f, 1.7f), 0.8f);
    d = smoothUnion(d, ellipsoid(p, Vec(0, -4.75f, -0.7f), Vec(1.6f, 0.35f, 1.05f)), 0.4f);
    return std::max(d, -4.9f - p.y);  // a flat cut where the neck meets the pedestal
}

void cylindricalMapping(Tris& tris) {
    const float repeats = 3.0f;
    const Vec origin = sceneLayout().headCentre;
    for (GeoVertex& v : tris) {
        const Vec q = v.position - origin;
        v.uv[0] = (std::atan2(q.x, q.z) / (2.0f * sm::kPi) + 0.5f) * repeats;
        v.uv[1] = q.y * 0.4f;
    }
    // Triangles across the seam at the back of the head: bring them to one side.
    for (size_t i = 0; i + 2 < tris.size(); i += 3) {
        const float lo = std::min({tris[i].uv[0], tris[i + 1].uv[0], tris[i + 2].uv[0]});
        const float hi = std::max({tris[i].uv[0], tris[i + 1].uv[0], tris[i + 2].uv[0]});
        if (hi - lo > repeats * 0.5f)
            for (int k = 0; k < 3; ++k)
                if (tris[i + k].uv[0] < repeats * 0.5f) tris[i + k].uv[0] += repeats;
    }
}

}  // namespace

float headField(const Vec& p) {
    static const Vec origin = sceneLayout().headCentre;
    return headLocal(p - origin);
}

GeoModel buildHeadBody() {
    GeoModel model;
    GeoMesh mesh;
    mesh.nodeId = 500;
    mesh.name = "head_body";
    Tris& tris = partOf(mesh, "head_metal");
    const Vec origin = sceneLayout().headCentre;
    const Vec lo = origin + Vec(-2.3f, -5.1f, -2.7f), hi = origin + Vec(2.3f, 2.7f, 3.0f);
    // Cell size trades smoothness of the silhouette against file size (about 50k triangles).
    addIsoSurface(tris, headField, lo, hi, 0.12f);
    cylindricalMapping(tris);
    model.meshes.push_back(std::move(mesh));
    finishModel(model);
    return model;
}

GeoModel buildHeadEyes() {
    const SceneLayout& layout = sceneLayout();
    GeoModel model;
    GeoMesh mesh;
    mesh.nodeId = 501;
    mesh.name = "head_eyes";
    Tris& tris = partOf(mesh, "glow_eyes");
    // Only the iris glows: a cap of a sphere a hair larger than the eyeball (which the factory
    // model carries in dark steel), the front 45 degrees around the pupil. The eye glow scales
    // the whole eyes mesh, so between pulses the irises sink to a faint ember while the steel
    // around them stays lit.
    const float kIrisAngle = sm::kPi * 0.25f;
    for (const Vec& centre : layout.eyes) {
        Tris sphere;
        // The sphere's +y pole turned to look forward: v = 1 at the pupil.
        addSphere(sphere, then(rotate(sm::kPi / 2, Vec(1, 0, 0)), translate(centre)), layout.eyeRadius * 1.02f, 32, 24);
        for (size_t i = 0; i + 2 < sphere.size(); i += 3) {
            bool front = true;
            for (int k = 0; k < 3; ++k)
                front = front && sm::dot(sm::normalized(sphere[i + k].position - centre), layout.headFacing) >=
                                     std::cos(kIrisAngle) - 1e-4f;
            if (front) tris.insert(tris.end(), sphere.begin() + static_cast<long>(i), sphere.begin() + static_cast<long>(i) + 3);
        }
    }
    model.meshes.push_back(std::move(mesh));
    finishModel(model);
    return model;
}

}  // namespace geo
