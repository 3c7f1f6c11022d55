// The metal head: a sculpted distance field (cranium, brow, sockets, nose, cheekbones, jaw,
// lips, ears, neck) turned into a smooth mesh, and the two eyes that sit in its sockets.
#include <algorithm>
#include <cmath>

#include "content/common/seeded_random.h"
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

namespace {

// The pupil and the iris as angles from the eye's axis on its ball.
constexpr float kPupilAngle = sm::kPi * 13.0f / 180.0f, kIrisAngle = sm::kPi * 42.0f / 180.0f;

// A band of a sphere around `axis` between the angles a0 and a1 from it (a0 = 0: a cap), facing
// out; u runs around the axis, v from a0 (0) to a1 (1).
void addEyeBand(Tris& out, const Vec& centre, const Vec& axis, float radius, float a0, float a1, int rings, int segments) {
    const Vec side = sm::normalized(sm::cross(axis, std::fabs(axis.y) < 0.9f ? Vec(0, 1, 0) : Vec(1, 0, 0)));
    const Vec up = sm::cross(side, axis);
    auto vertex = [&](int ring, int seg) {
        const float a = a0 + (a1 - a0) * static_cast<float>(ring) / rings;
        const float around = 2.0f * sm::kPi * static_cast<float>(seg) / segments;
        const Vec n = axis * std::cos(a) + (side * std::cos(around) + up * std::sin(around)) * std::sin(a);
        GeoVertex v;
        v.position = centre + n * radius;
        v.normal = n;
        v.uv[0] = static_cast<float>(seg) / segments;
        v.uv[1] = static_cast<float>(ring) / rings;
        return v;
    };
    for (int ring = 0; ring < rings; ++ring)
        for (int seg = 0; seg < segments; ++seg) {
            const GeoVertex a = vertex(ring, seg), b = vertex(ring, seg + 1), c = vertex(ring + 1, seg + 1), d = vertex(ring + 1, seg);
            // Counter-clockwise seen from outside; the cap's first ring meets in a point.
            if (ring > 0 || a0 > 0.0f) out.insert(out.end(), {a, b, c});
            out.insert(out.end(), {a, c, d});
        }
}

}  // namespace

void addEyeballs(GeoMesh& mesh) {
    const SceneLayout& layout = sceneLayout();
    for (const Vec& centre : layout.eyes) {
        const float r = layout.eyeRadius;
        addSphere(partOf(mesh, "dark_metal"), then(rotate(sm::kPi / 2, Vec(1, 0, 0)), translate(centre)), r, 24, 16);
        addEyeBand(partOf(mesh, "eye_pupil"), centre, layout.headFacing, r * 1.008f, 0.0f, kPupilAngle, 3, 24);
        addEyeBand(partOf(mesh, "glow_cornea"), centre, layout.headFacing, r * 1.06f, 0.0f, kIrisAngle + 0.15f, 8, 32);
        // The glint of a light above and to the viewer's left, on the edge of the pupil.
        const Vec towardLight = sm::normalized(Vec(-0.6f, 0.8f, 0.0f) - layout.headFacing * sm::dot(Vec(-0.6f, 0.8f, 0.0f), layout.headFacing));
        const float glintAngle = kPupilAngle * 1.1f;
        addEyeBand(partOf(mesh, "glow_glint"), centre,
                   layout.headFacing * std::cos(glintAngle) + towardLight * std::sin(glintAngle), r * 1.065f, 0.0f,
                   kPupilAngle * 0.4f, 2, 12);
    }
}

void addKeyLightWash(Tris& out, const Vec& light) {
    const Vec origin = sceneLayout().headCentre;
    Tris shell;
    // A coarser copy of the skull a little outside it, down to the collar.
    addIsoSurface(shell, [](const Vec& p) { return headField(p) - 0.04f; }, origin + Vec(-2.4f, -3.5f, -2.8f),
                  origin + Vec(2.4f, 2.8f, 3.1f), 0.2f);
    for (GeoVertex& v : shell) {
        const Vec q = v.position - origin;
        v.uv[0] = std::atan2(q.x, q.z) / (2.0f * sm::kPi) + 0.5f;
        v.uv[1] = std::clamp(0.3f + sm::dot(v.normal, sm::normalized(light - v.position)), 0.0f, 1.0f);
    }
    for (size_t i = 0; i + 2 < shell.size(); i += 3)
        if (shell[i].uv[1] + shell[i + 1].uv[1] + shell[i + 2].uv[1] > 0.0f)
            out.insert(out.end(), shell.begin() + static_cast<long>(i), shell.begin() + static_cast<long>(i) + 3);
}

GeoModel buildHeadEyes() {
    const SceneLayout& layout = sceneLayout();
    GeoModel model;
    GeoMesh mesh;
    mesh.nodeId = 501;
    mesh.name = "head_eyes";
    // The irises: rings around the pupils of the eyeballs (in "factory"), a hair outside them.
    // The eye glow scales the whole eyes mesh: between the pulses the rings glow a little, on a
    // pulse they burn.
    for (const Vec& centre : layout.eyes)
        addEyeBand(partOf(mesh, "glow_eyes"), centre, layout.headFacing, layout.eyeRadius * 1.016f, kPupilAngle, kIrisAngle, 6,
                   32);
    model.meshes.push_back(std::move(mesh));
    finishModel(model);
    return model;
}

namespace {

// The outward normal of the head's surface near p.
Vec headNormal(const Vec& p) {
    const float h = 0.01f;
    return sm::normalized(Vec(headField(p + Vec(h, 0, 0)) - headField(p - Vec(h, 0, 0)),
                              headField(p + Vec(0, h, 0)) - headField(p - Vec(0, h, 0)),
                              headField(p + Vec(0, 0, h)) - headField(p - Vec(0, 0, h))));
}

// p moved along the field's gradient until it lies `lift` above the surface.
Vec aboveSurface(Vec p, float lift) {
    for (int i = 0; i < 4; ++i) p = p - headNormal(p) * (headField(p) - lift);
    return p;
}

// The face, where no bolt goes: in front of the cheekbones and below the brow.
bool onFace(const Vec& p) {
    const SceneLayout& s = sceneLayout();
    const Vec q = p - s.headCentre;
    return sm::dot(q, s.headFacing) > 1.0f && q.y < 1.0f;
}

// One bolt: a ribbon `width` wide lying on the skull, walked in short jagged steps from `start`
// along `heading`, thinning to its tip; now and then a thinner branch leaves it.
void addBolt(Tris& out, content::SeededRandom& random, Vec start, Vec heading, int steps, float width, int depth) {
    constexpr float kLift = 0.05f, kStep = 0.22f;
    Vec p = aboveSurface(start, kLift);
    for (int i = 0; i < steps; ++i) {
        const Vec n = headNormal(p);
        // Turn the heading about the normal by a random jag, keeping it along the surface.
        const Vec side = sm::normalized(sm::cross(n, heading));
        heading = sm::normalized(heading + side * random.bipolar() * 0.9f);
        heading = sm::normalized(heading - n * sm::dot(heading, n));
        const Vec q = aboveSurface(p + heading * kStep, kLift);
        if (onFace(q)) break;
        const float w0 = width * (1.0f - 0.8f * static_cast<float>(i) / steps);
        const float w1 = width * (1.0f - 0.8f * static_cast<float>(i + 1) / steps);
        const Vec across = sm::normalized(sm::cross(q - p, n)) * 0.5f;
        // Counter-clockwise seen from outside the head.
        addQuad(out, p + across * w0, q + across * w1, q - across * w1, p - across * w0, 0, 0, 1, 1);
        if (depth > 0 && random.uniform() < 0.22f)
            addBolt(out, random, q, sm::normalized(heading + side * random.bipolar() * 1.5f), (steps - i) / 2 + 2, w1 * 0.7f,
                    depth - 1);
        p = q;
    }
}

}  // namespace

void addDischargeFlash(Tris& out, int flash) {
    const SceneLayout& s = sceneLayout();
    content::SeededRandom random(7919u + static_cast<uint32_t>(flash) * 104729u);
    // Three bolts, each from a point of the cranium in its own third around the head.
    for (int bolt = 0; bolt < 3; ++bolt) {
        const float around = (static_cast<float>(bolt) + random.uniform()) * (2.0f * sm::kPi / 3.0f);
        const float up = random.range(0.35f, 0.95f);
        const Vec dir = sm::normalized(Vec(std::sin(around) * (1.0f - up), up, std::cos(around) * (1.0f - up)));
        const Vec start = s.headCentre + Vec(0, 0.45f, -0.25f) + dir * 2.0f;
        const Vec n = headNormal(start);
        Vec heading = sm::cross(n, Vec(random.bipolar(), random.bipolar(), random.bipolar()));
        if (sm::length(heading) < 1e-3f) heading = sm::cross(n, Vec(1, 0, 0));
        addBolt(out, random, start, sm::normalized(heading), 14 + random.below(6), 0.08f, 2);
    }
}

}  // namespace geo
