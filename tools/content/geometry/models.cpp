// The hall and its machines: factory, wheels, winda, the monitor faces and the layout record.
#include "content/geometry/models.h"

#include <cmath>

namespace geo {

namespace {

// Hall centre on the floor and its half sizes.
constexpr float kX0 = 2.6f, kZ0 = -232.0f;
constexpr float kHalfX = 36.0f, kHalfZ = 30.0f, kHeight = 20.0f;
constexpr float kToothPitch = 0.8f;  // circular pitch shared by all meshing gears
constexpr float kLampPoolRadius = 4.2f, kKeyPoolRadius = 6.0f;  // light on the floor

Vec hall(float x, float y, float z) { return Vec(kX0 + x, y, kZ0 + z); }

MonitorLayout monitorFacingMinusX(const Vec& centre, float width, float height) {
    MonitorLayout m;
    m.centre = centre;
    m.facing = Vec(-1, 0, 0);
    m.right = Vec(0, 0, 1);  // a viewer looking along +x has +z on the right
    m.up = Vec(0, 1, 0);
    m.width = width;
    m.height = height;
    return m;
}

SceneLayout makeLayout() {
    SceneLayout s;
    s.electroSource = Vec(2.591f, 10.673f, -230.606f);
    s.headCentre = s.electroSource + Vec(0, -0.3f, 2.2f);  // the source sits 0.2 inside the back of the skull
    s.headFacing = Vec(0, 0, 1);
    s.headTop = s.headCentre + Vec(0, 2.4f, -0.2f);
    s.chin = s.headCentre + Vec(0, -2.75f, 1.6f);
    s.noseTip = s.headCentre + Vec(0, -0.88f, 2.65f);
    // Seated a little forward in the sockets and smaller than them, so the lids' shadow rings them.
    s.eyes = {s.headCentre + Vec(0.6f, 0.0f, 1.74f), s.headCentre + Vec(-0.6f, 0.0f, 1.74f)};
    s.eyeRadius = 0.28f;
    s.hallMin = hall(-kHalfX, 0, -kHalfZ);
    s.hallMax = hall(kHalfX, kHeight, kHalfZ);
    s.conveyorStart = hall(-28, 1.3f, 16);
    s.conveyorEnd = hall(28, 1.3f, 16);
    s.conveyorWidth = 1.8f;
    s.liftBottom = hall(28, 0.3f, -22);
    s.liftTop = hall(28, 12.3f, -22);
    s.liftCageNodeId = 301;

    // A gear train on the left wall, axles along +x.
    const float plane = -kHalfX + 2.8f;  // clear of the pipes along the wall
    struct GearStep {
        int teeth;
        float angleDeg;  // direction from the previous gear's pivot, in the wall plane
    };
    const GearStep steps[4] = {{28, 0}, {14, 30}, {22, -20}, {12, 75}};
    Vec pivot = hall(plane, 7.5f, -16);
    float previousRadius = 0;
    for (int i = 0; i < 4; ++i) {
        GearLayout g;
        g.teeth = steps[i].teeth;
        g.pitchRadius = kToothPitch * g.teeth / (2.0f * sm::kPi);
        if (i > 0) {
            const float a = steps[i].angleDeg * sm::kPi / 180.0f, d = previousRadius + g.pitchRadius;
            pivot = pivot + Vec(0, std::sin(a) * d, std::cos(a) * d);
        }
        g.pivot = pivot;
        g.axis = Vec(1, 0, 0);
        g.direction = i % 2 == 0 ? 1 : -1;
        g.nodeId = 201 + i;
        g.meshName = "gear" + std::to_string(i + 1);
        previousRadius = g.pitchRadius;
        s.gears.push_back(g);
    }

    // Six monitors on a rack by the right wall, three over three, facing into the hall.
    const float faceX = kHalfX - 3.0f - 1.32f;
    for (int i = 0; i < 6; ++i) {
        const int row = i / 3, col = i % 3;
        s.monitors[i] = monitorFacingMinusX(hall(faceX, row == 0 ? 6.1f : 3.6f, -4 + (col - 1) * 3.0f), 2.4f, 1.8f);
    }
    s.closingMonitor = monitorFacingMinusX(hall(26.0f - 0.72f, 2.35f, 7.0f), 1.6f, 1.2f);
    s.creditsCentre = hall(0, 14.5f, -kHalfZ + 1.1f);
    s.creditsFacing = Vec(0, 0, 1);
    // Lamps over the hall but for the place over the head, where the key light hangs.
    for (float z : {-18.0f, -6.0f, 6.0f, 18.0f})
        for (float x : {-14.0f, 0.0f, 14.0f})
            if (x != 0.0f || z != 6.0f) s.lamps.push_back({hall(x, 14.2f, z), hall(x, kHeight - 1.8f, z)});
    s.keyLight = hall(0, kHeight - 1.6f, 8.0f);
    s.keyLightAim = Vec(s.headCentre.x, 0, s.headCentre.z - 0.65f);
    s.keyBeamLength = (s.keyLight.y - s.headTop.y - 0.3f) / ((s.keyLight.y - s.keyLightAim.y) / sm::length(s.keyLightAim - s.keyLight));
    return s;
}

// ---- pieces of the hall ----

void addMonitorCasing(Tris& paint, Tris& bare, const MonitorLayout& m, float depth) {
    // A boxy CRT casing behind the face, with a bezel around it.
    const Vec back = m.facing * -1.0f;
    const Vec centre = m.centre + back * (depth * 0.5f + 0.01f);
    addBox(paint, basis(centre, m.right, m.up, back), Vec(m.width + 0.3f, m.height + 0.3f, depth), 0.5f);
    addBox(paint, basis(m.centre + back * (depth + 0.4f), m.right, m.up, back), Vec(m.width * 0.6f, m.height * 0.6f, 0.8f),
           0.5f);
    addBox(bare, basis(m.centre + m.up * (-m.height * 0.5f - 0.2f) + m.facing * 0.02f, m.right, m.up, back),
           Vec(0.3f, 0.08f, 0.05f), 1.0f);
}

void addLamp(GeoMesh& mesh, const LampLayout& lamp) {
    const Vec& bulb = lamp.bulb;
    // The shade is a thin shell: up the inside, then down the outside (solid on the left).
    addLathe(partOf(mesh, "painted_metal"), translate(bulb),
             {{0.0f, 0.5f}, {0.22f, 0.5f}, {1.1f, -0.05f}, {1.15f, 0.0f}, {0.2f, 0.6f}, {0.2f, 0.85f}, {0.0f, 0.85f}}, 24,
             40.0f);
    addCylinder(partOf(mesh, "bare_metal"), translate(bulb + Vec(0, 0.85f, 0)), 0.04f, lamp.hook.y - bulb.y - 0.85f, 6,
                false);
    addSphere(partOf(mesh, "glow_lamp"), translate(bulb + Vec(0, 0.2f, 0)), 0.32f, 16, 10);
}

// A lamp's cone of light from the shade's rim to a little below the floor, fading on its way down.
void addLampBeam(Tris& out, const LampLayout& lamp) {
    addLathe(out, translate(lamp.bulb), {{kLampPoolRadius, -lamp.bulb.y - 0.3f}, {1.0f, -0.05f}}, 24);
}

// A pool of light: a disc lying on the floor, brightest at its centre.
void addPool(Tris& out, const Vec& centre, float radius) {
    addLathe(out, translate(centre.x, 0.04f, centre.z), {{radius, 0.0f}, {0.0f, 0.0f}}, 32);
}

// The spotlight under the roof, aimed at the head's pedestal: local +y points back up the beam.
Affine keyLightPlacement(const SceneLayout& s) {
    const Vec down = sm::normalized(s.keyLightAim - s.keyLight);
    const Vec side = sm::normalized(sm::cross(down, Vec(1, 0, 0)));
    return basis(s.keyLight, sm::cross(side, down), down * -1.0f, side);
}

// Its housing, hot lens and the bar it hangs from.
void addKeyLight(GeoMesh& mesh, const SceneLayout& s) {
    const Affine lamp = keyLightPlacement(s);
    addLathe(partOf(mesh, "painted_metal"), lamp,
             {{0.0f, 0.1f}, {0.55f, 0.1f}, {0.62f, -0.1f}, {0.75f, 0.0f}, {0.7f, 1.6f}, {0.0f, 1.6f}}, 24, 40.0f);
    addLathe(partOf(mesh, "glow_lamp"), lamp, {{0.0f, 0.05f}, {0.58f, 0.0f}}, 24);
    const Vec back = applyPoint(lamp, Vec(0, 1.6f, 0));
    addBeam(partOf(mesh, "bare_metal"), back, Vec(back.x, kHeight - 0.3f, back.z), 0.12f);
}

// Its cone of light, fading out just above the crown, the light on the head and the light that
// spills past it onto the floor round the pedestal.
void addKeyBeam(GeoMesh& mesh, const SceneLayout& s) {
    addLathe(partOf(mesh, "glow_beam"), keyLightPlacement(s), {{2.8f, -s.keyBeamLength}, {0.6f, 0.0f}}, 32);
    addKeyLightWash(partOf(mesh, "glow_key"), s.keyLight);
    addPool(partOf(mesh, "light_pool"), s.keyLightAim, kKeyPoolRadius);
}

void addCrate(Tris& tris, const Vec& base, float size, float turn) {
    const Affine at = then(rotate(turn, Vec(0, 1, 0)), translate(base + Vec(0, size * 0.5f, 0)));
    addBox(tris, at, Vec(size, size, size), 1.0f);
    // Corner battens make it read as a crate rather than a cube.
    for (int i = 0; i < 4; ++i) {
        const float sx = (i & 1) ? 1.0f : -1.0f, sz = (i & 2) ? 1.0f : -1.0f;
        addBox(tris, then(translate(sx * size * 0.47f, 0, sz * size * 0.47f), at), Vec(0.12f, size + 0.04f, 0.12f), 1.0f);
    }
    for (float y : {-0.47f, 0.47f})
        for (int side = 0; side < 2; ++side)
            addBox(tris, then(translate(0, y * size, 0), at), side ? Vec(size + 0.06f, 0.1f, size * 0.9f)
                                                                   : Vec(size * 0.9f, 0.1f, size + 0.06f), 1.0f);
}

}  // namespace

const SceneLayout& sceneLayout() {
    static const SceneLayout layout = makeLayout();
    return layout;
}

const std::vector<std::string>& geometryMaterials() {
    static const std::vector<std::string> names = {
        "concrete", "painted_metal", "bare_metal", "rust",   "rubber",      "glass",
        "glow_lamp", "head_metal",   "glow_eyes",       "screen", "glow_credits", "dark_metal", "glow_discharge",
        "glow_beam", "light_pool", "eye_pupil", "glow_cornea",
        "glow_glint", "glow_key"};
    return names;
}

GeoModel buildFactory() {
    const SceneLayout& s = sceneLayout();
    GeoModel model;
    int32_t nextId = 101;
    auto mesh = [&](const std::string& name) -> GeoMesh& {
        model.meshes.push_back(GeoMesh{nextId++, name, {}});
        return model.meshes.back();
    };

    {  // Floor: a concrete slab with a painted walkway strip.
        GeoMesh& m = mesh("floor");
        addBoxBetween(partOf(m, "concrete"), hall(-kHalfX - 1, -0.5f, -kHalfZ - 1), hall(kHalfX + 1, 0, kHalfZ + 1), 0.125f);
        addBoxBetween(partOf(m, "painted_metal"), hall(-kHalfX, 0, 10.5f), hall(kHalfX, 0.02f, 11.0f), 0.5f);
        addBoxBetween(partOf(m, "painted_metal"), hall(-kHalfX, 0, 21.0f), hall(kHalfX, 0.02f, 21.5f), 0.5f);
    }
    {  // Walls with a band of windows high up.
        GeoMesh& m = mesh("walls");
        Tris& concrete = partOf(m, "concrete");
        Tris& frames = partOf(m, "painted_metal");
        Tris& glass = partOf(m, "glass");
        const float t = 0.8f, winLo = 13.0f, winHi = 16.5f;
        auto wallAlongX = [&](float z, float dir) {
            const float zIn = z, zOut = z + dir * t;
            addBoxBetween(concrete, hall(-kHalfX - t, 0, std::min(zIn, zOut)), hall(kHalfX + t, winLo, std::max(zIn, zOut)), 0.125f);
            addBoxBetween(concrete, hall(-kHalfX - t, winHi, std::min(zIn, zOut)), hall(kHalfX + t, kHeight, std::max(zIn, zOut)), 0.125f);
            for (int i = 0; i <= 12; ++i) {
                const float x = -kHalfX + i * (2 * kHalfX / 12);
                addBoxBetween(frames, hall(x - 0.25f, winLo, std::min(zIn, zOut)), hall(x + 0.25f, winHi, std::max(zIn, zOut)), 0.5f);
            }
            addBoxBetween(glass, hall(-kHalfX, winLo, z + dir * t * 0.45f), hall(kHalfX, winHi, z + dir * t * 0.55f), 0.25f);
        };
        auto wallAlongZ = [&](float x, float dir) {
            const float xIn = x, xOut = x + dir * t;
            addBoxBetween(concrete, hall(std::min(xIn, xOut), 0, -kHalfZ), hall(std::max(xIn, xOut), winLo, kHalfZ), 0.125f);
            addBoxBetween(concrete, hall(std::min(xIn, xOut), winHi, -kHalfZ), hall(std::max(xIn, xOut), kHeight, kHalfZ), 0.125f);
            for (int i = 0; i <= 10; ++i) {
                const float z = -kHalfZ + i * (2 * kHalfZ / 10);
                addBoxBetween(frames, hall(std::min(xIn, xOut), winLo, z - 0.25f), hall(std::max(xIn, xOut), winHi, z + 0.25f), 0.5f);
            }
            addBoxBetween(glass, hall(x + dir * t * 0.45f, winLo, -kHalfZ), hall(x + dir * t * 0.55f, winHi, kHalfZ), 0.25f);
        };
        wallAlongX(-kHalfZ, -1);
        wallAlongX(kHalfZ, 1);
        wallAlongZ(-kHalfX, -1);
        wallAlongZ(kHalfX, 1);
        // A skirting of painted steel along the foot of the walls.
        addBoxBetween(frames, hall(-kHalfX, 0, -kHalfZ), hall(kHalfX, 1.0f, -kHalfZ + 0.15f), 0.5f);
        addBoxBetween(frames, hall(-kHalfX, 0, -kHalfZ), hall(-kHalfX + 0.15f, 1.0f, kHalfZ), 0.5f);
    }
    {  // Pillars: I-beams in two rows.
        GeoMesh& m = mesh("pillars");
        Tris& paint = partOf(m, "painted_metal");
        Tris& bare = partOf(m, "bare_metal");
        for (float x : {-20.0f, 20.0f})
            for (float z : {-24.0f, -12.0f, 0.0f, 12.0f, 24.0f}) {
                const float top = kHeight - 2.0f;
                addBoxBetween(paint, hall(x - 0.45f, 0, z - 0.05f), hall(x + 0.45f, top, z + 0.05f), 0.5f);       // web
                addBoxBetween(paint, hall(x - 0.5f, 0, z - 0.45f), hall(x - 0.4f, top, z + 0.45f), 0.5f);         // flange
                addBoxBetween(paint, hall(x + 0.4f, 0, z - 0.45f), hall(x + 0.5f, top, z + 0.45f), 0.5f);         // flange
                addBoxBetween(bare, hall(x - 0.8f, 0, z - 0.8f), hall(x + 0.8f, 0.3f, z + 0.8f), 0.5f);           // base plate
                addBoxBetween(bare, hall(x - 0.7f, top - 0.3f, z - 0.7f), hall(x + 0.7f, top, z + 0.7f), 0.5f);  // cap
            }
    }
    {  // Roof trusses across the hall over every pillar row, and the roof deck.
        GeoMesh& m = mesh("roof");
        Tris& paint = partOf(m, "painted_metal");
        Tris& rust = partOf(m, "rust");
        for (float z : {-24.0f, -12.0f, 0.0f, 12.0f, 24.0f}) {
            const float lo = kHeight - 2.0f, hi = kHeight - 0.3f;
            addBeam(paint, hall(-kHalfX, lo, z), hall(kHalfX, lo, z), 0.3f);
            addBeam(paint, hall(-kHalfX, hi, z), hall(kHalfX, hi, z), 0.3f);
            const int bays = 18;
            for (int i = 0; i < bays; ++i) {
                const float x0 = -kHalfX + i * (2 * kHalfX / bays), x1 = x0 + 2 * kHalfX / bays;
                addBeam(paint, hall(x0, lo, z), hall(x0, hi, z), 0.18f);
                addBeam(paint, (i % 2 ? hall(x0, lo, z) : hall(x0, hi, z)), (i % 2 ? hall(x1, hi, z) : hall(x1, lo, z)), 0.15f);
            }
        }
        for (float x = -kHalfX + 4; x < kHalfX; x += 8)
            addBeam(paint, hall(x, kHeight - 0.3f, -kHalfZ), hall(x, kHeight - 0.3f, kHalfZ), 0.25f);  // purlins
        addBoxBetween(rust, hall(-kHalfX - 1, kHeight, -kHalfZ - 1), hall(kHalfX + 1, kHeight + 0.3f, kHalfZ + 1), 0.1f);
    }
    {  // Pipes along the back and left walls, dropping to the machines.
        GeoMesh& m = mesh("pipes");
        Tris& rust = partOf(m, "rust");
        Tris& bare = partOf(m, "bare_metal");
        const float zb = -kHalfZ + 0.9f, xl = -kHalfX + 0.9f;
        addPipe(rust, {hall(kHalfX - 10, 0.5f, zb), hall(kHalfX - 10, 9.0f, zb), hall(xl, 9.0f, zb), hall(xl, 9.0f, kHalfZ - 4), hall(xl, 0.5f, kHalfZ - 4)},
                0.35f, 14, 0.5f);
        addPipe(rust, {hall(kHalfX - 6, 0.5f, zb + 0.9f), hall(kHalfX - 6, 10.6f, zb + 0.9f),
                       hall(-kHalfX + 0.9f, 10.6f, zb + 0.9f), hall(-kHalfX + 0.9f, 10.6f, 2.0f),
                       hall(-kHalfX + 0.9f, 3.0f, 2.0f), hall(-kHalfX + 4.0f, 3.0f, 2.0f)},
                0.22f, 12, 0.5f);
        addPipe(bare, {hall(-10, 0.3f, zb + 2.0f), hall(-10, 4.0f, zb + 2.0f), hall(-10, 4.0f, zb + 0.2f)}, 0.15f, 10, 0.5f);
        // Flanges every few units along the long runs.
        for (float x = -kHalfX + 4; x < kHalfX - 10; x += 6)
            addTorus(bare, then(rotate(sm::kPi / 2, Vec(0, 0, 1)), translate(hall(x, 9.0f, zb))), 0.36f, 0.09f, 16, 6);
        for (float z = -kHalfZ + 4; z < kHalfZ - 4; z += 6)
            addTorus(bare, then(rotate(sm::kPi / 2, Vec(1, 0, 0)), translate(hall(xl, 9.0f, z))), 0.36f, 0.09f, 16, 6);
        // Wall brackets.
        for (float x = -kHalfX + 2; x < kHalfX - 10; x += 6)
            addBoxBetween(bare, hall(x - 0.1f, 8.5f, -kHalfZ), hall(x + 0.1f, 8.65f, zb + 1.2f), 1.0f);
    }
    {  // The conveyor: frame, legs, rollers and belt; crates ride on it.
        GeoMesh& m = mesh("conveyor");
        Tris& paint = partOf(m, "painted_metal");
        Tris& bare = partOf(m, "bare_metal");
        Tris& rubber = partOf(m, "rubber");
        const float z = s.conveyorStart.z - kZ0, top = s.conveyorStart.y, w = s.conveyorWidth;
        const float x0 = s.conveyorStart.x - kX0, x1 = s.conveyorEnd.x - kX0;
        addBoxBetween(rubber, hall(x0, top - 0.08f, z - w * 0.5f), hall(x1, top, z + w * 0.5f), 0.5f);
        for (float side : {-1.0f, 1.0f}) {
            addBoxBetween(paint, hall(x0 - 0.6f, top - 0.45f, z + side * (w * 0.5f + 0.05f) - 0.1f),
                          hall(x1 + 0.6f, top + 0.12f, z + side * (w * 0.5f + 0.05f) + 0.1f), 0.5f);
            for (float x = x0; x <= x1 + 0.01f; x += 4.0f)
                addBoxBetween(paint, hall(x - 0.12f, 0, z + side * (w * 0.5f) - 0.12f), hall(x + 0.12f, top - 0.45f, z + side * (w * 0.5f) + 0.12f), 0.5f);
        }
        // Rollers and end drums across the belt (the quarter turn lays a cylinder along +z).
        for (float x = x0; x <= x1 + 0.01f; x += 1.0f)
            addCylinder(bare, then(rotate(sm::kPi / 2, Vec(1, 0, 0)), translate(hall(x, top - 0.2f, z - w * 0.5f))), 0.1f, w, 8, true);
        for (float x : {x0, x1})
            addCylinder(bare, then(rotate(sm::kPi / 2, Vec(1, 0, 0)), translate(hall(x, top - 0.25f, z - w * 0.5f - 0.1f))), 0.3f,
                        w + 0.2f, 16, true);
    }
    {  // Crates stacked by the walls.
        GeoMesh& m = mesh("crates");
        Tris& crates = partOf(m, "rust");
        for (int i = 0; i < 5; ++i) addCrate(crates, hall(-30.0f + i * 1.6f, 0, 24), 1.4f, 0.05f * (i % 3));
        for (int i = 0; i < 3; ++i) addCrate(crates, hall(-29.2f + i * 1.6f, 1.4f, 24), 1.4f, -0.05f * (i % 2));
        addCrate(crates, hall(-28.4f, 2.8f, 24), 1.4f, 0.1f);
    }
    {  // The pedestal the head stands on.
        GeoMesh& m = mesh("pedestal");
        const Vec base(s.headCentre.x, 0, s.headCentre.z - 0.65f);
        addLathe(partOf(m, "concrete"), translate(base),
                 {{0, 0}, {3.2f, 0}, {3.2f, 0.6f}, {2.6f, 0.9f}, {2.2f, 1.2f}, {2.0f, 4.8f}, {2.3f, 5.0f}, {0, 5.0f}}, 32, 30);
        addLathe(partOf(m, "bare_metal"), translate(base + Vec(0, 4.9f, 0)), {{0, 0}, {2.1f, 0}, {2.1f, 0.35f}, {1.7f, 0.65f}, {0, 0.65f}},
                 32, 30);
        addTorus(partOf(m, "bare_metal"), translate(base + Vec(0, 1.2f, 0)), 2.25f, 0.12f, 32, 8);
        addTorus(partOf(m, "bare_metal"), translate(base + Vec(0, 4.6f, 0)), 2.05f, 0.12f, 32, 8);
    }
    {  // Machines along the back wall.
        GeoMesh& m = mesh("machines");
        Tris& paint = partOf(m, "painted_metal");
        Tris& bare = partOf(m, "bare_metal");
        for (int i = 0; i < 4; ++i) {
            const float x = -24.0f + i * 10.0f;
            addBoxBetween(paint, hall(x - 3, 0, -kHalfZ + 1.5f), hall(x + 3, 4.5f + (i % 2), -kHalfZ + 5.0f), 0.5f);
            addBoxBetween(bare, hall(x - 2.5f, 4.5f + (i % 2), -kHalfZ + 2.0f), hall(x - 0.5f, 5.5f + (i % 2), -kHalfZ + 4.0f), 0.5f);
            addCylinder(bare, then(rotate(sm::kPi / 2, Vec(1, 0, 0)), translate(hall(x + 1.5f, 2.5f, -kHalfZ + 5.0f))), 1.0f, 0.3f, 24, true);
        }
    }
    {  // The monitor rack and casings, and the closing monitor on its desk.
        GeoMesh& m = mesh("monitor_bank");
        Tris& paint = partOf(m, "painted_metal");
        Tris& bare = partOf(m, "bare_metal");
        for (const MonitorLayout& mon : s.monitors) addMonitorCasing(paint, bare, mon, 2.0f);
        const float rx = s.monitors[0].centre.x + 1.0f;
        const float z0 = s.monitors[0].centre.z - 1.6f, z1 = s.monitors[2].centre.z + 1.6f;
        for (float y : {2.35f, 4.85f}) addBoxBetween(bare, Vec(rx - 1.1f, y - 0.1f, z0), Vec(rx + 1.1f, y, z1), 0.5f);
        for (float z : {z0, z1}) addBoxBetween(bare, Vec(rx - 1.1f, 0, z - 0.1f), Vec(rx + 1.1f, 7.4f, z + 0.1f), 0.5f);
        const MonitorLayout& c = s.closingMonitor;
        addMonitorCasing(paint, bare, c, 1.4f);
        const Vec desk = c.centre + Vec(0.9f, 0, 0);
        addBoxBetween(paint, Vec(desk.x - 1.2f, 1.15f, desk.z - 1.6f), Vec(desk.x + 1.2f, 1.3f, desk.z + 1.6f), 0.5f);
        for (int i = 0; i < 4; ++i)
            addBoxBetween(bare, Vec(desk.x + ((i & 1) ? 1.0f : -1.1f), 0, desk.z + ((i & 2) ? 1.4f : -1.5f)),
                          Vec(desk.x + ((i & 1) ? 1.1f : -1.0f), 1.15f, desk.z + ((i & 2) ? 1.5f : -1.4f)), 0.5f);
    }
    {  // The board behind the credits letters and its hangers; never culled.
        GeoMesh& m = mesh("credits_sign");
        Tris& bare = partOf(m, "bare_metal");
        const Vec c = s.creditsCentre;
        addBoxBetween(partOf(m, "painted_metal"), Vec(c.x - 12, c.y - 2.3f, c.z - 1.0f), Vec(c.x + 12, c.y + 2.5f, c.z - 0.75f), 0.5f);
        for (float x : {-10.0f, 10.0f})
            addCylinder(bare, translate(c.x + x, c.y + 2.5f, c.z - 0.9f), 0.06f, kHeight - c.y - 2.5f, 8, false);
    }
    {  // The eyeballs: dark steel lit like the hall, dark pupils (the glowing irises of
        // "head_eyes" ring them), clear covers and a wet glint.
        addEyeballs(mesh("eyeballs"));
    }
    {  // Crates riding the belt, kCrateSpacing apart from its start; the "factory" animation
        // slides this mesh one spacing along the belt and back, over and over.
        GeoMesh& m = mesh(kBeltCratesMesh);
        Tris& crates = partOf(m, "rust");
        const Vec along = sm::normalized(s.conveyorEnd - s.conveyorStart);
        const float length = sm::length(s.conveyorEnd - s.conveyorStart);
        for (int i = 0; kCrateSpacing * static_cast<float>(i) + 0.7f < length - kCrateSpacing; ++i)
            addCrate(crates, s.conveyorStart + along * (0.7f + kCrateSpacing * static_cast<float>(i)), 1.1f,
                     0.08f * static_cast<float>((i * 37) % 5 - 2));
    }
    // The hanging lamps, one mesh each: the "factory" animation swings them about their hooks and
    // slides their pools of light with them.
    for (size_t i = 0; i < s.lamps.size(); ++i) {
        addLamp(mesh(kLampMeshPrefix + std::to_string(i)), s.lamps[i]);
        addLampBeam(partOf(mesh(kLampBeamMeshPrefix + std::to_string(i)), "glow_beam"), s.lamps[i]);
        addPool(partOf(mesh(kLampPoolMeshPrefix + std::to_string(i)), "light_pool"), s.lamps[i].hook, kLampPoolRadius);
    }
    addKeyLight(mesh("key_light"), s);
    addKeyBeam(mesh(kKeyBeamMesh), s);
    // The flashes of the discharge over the head, one mesh each: the animation shows one at a time.
    for (int i = 0; i < kDischargeFlashes; ++i)
        addDischargeFlash(partOf(mesh(kDischargeMeshPrefix + std::to_string(i)), "glow_discharge"), i);
    finishModel(model);
    return model;
}

GeoModel buildWheels() {
    const SceneLayout& s = sceneLayout();
    GeoModel model;
    GeoMesh frame{200, "gear_frame", {}};
    Tris& paint = partOf(frame, "painted_metal");
    Tris& rust = partOf(frame, "rust");
    for (const GearLayout& g : s.gears) {
        GeoMesh mesh{g.nodeId, g.meshName, {}};
        const float root = g.pitchRadius - 0.22f, tip = g.pitchRadius + 0.22f;
        // The gear plane spans the wall's y and z; local +z of the gear is the axle.
        const Affine at = basis(g.pivot, Vec(0, 0, 1), Vec(0, 1, 0), g.axis);
        Tris& bare = partOf(mesh, "bare_metal");
        addGear(bare, at, root, tip, g.teeth, 0.45f, 0.0f);
        // Hub, spinning with the wheel.
        addCylinder(bare, then(rotate(sm::kPi / 2, Vec(1, 0, 0)), then(translate(0, 0, 0.45f), at)), 0.45f, 0.9f, 20, true);
        model.meshes.push_back(std::move(mesh));
        // Fixed axle stub and its wall bracket.
        addCylinder(paint, then(rotate(sm::kPi / 2, Vec(1, 0, 0)), then(translate(0, 0, -0.2f), at)), 0.2f, 1.4f, 12, true);
        addBox(paint, then(translate(0, 0, -0.9f), at), Vec(1.1f, 1.1f, 0.3f), 0.5f);
    }
    // The wall plate the train is mounted on, and a seized rusty wheel beside it.
    const Vec p0 = s.gears.front().pivot;
    addBoxBetween(paint, Vec(p0.x - 1.25f, 3.0f, p0.z - 5.0f), Vec(p0.x - 0.95f, 15.5f, p0.z + 13.0f), 0.25f);
    addGear(rust, basis(p0 + Vec(0, 5.5f, -1.5f), Vec(0, 0, 1), Vec(0, 1, 0), Vec(1, 0, 0)), 1.5f, 1.9f, 16, 0.35f, 0.25f);
    model.meshes.insert(model.meshes.begin(), std::move(frame));
    finishModel(model);
    return model;
}

GeoModel buildWinda() {
    const SceneLayout& s = sceneLayout();
    GeoModel model;
    const Vec b = s.liftBottom;
    const float half = 2.2f, top = kHeight - 0.5f;
    {  // The shaft: corner posts, guide rails, braces, landing and the head frame with its sheave.
        GeoMesh shaft{300, "shaft", {}};
        Tris& paint = partOf(shaft, "painted_metal");
        Tris& bare = partOf(shaft, "bare_metal");
        for (int i = 0; i < 4; ++i) {
            const float sx = (i & 1) ? half : -half, sz = (i & 2) ? half : -half;
            addBoxBetween(paint, Vec(b.x + sx - 0.15f, 0, b.z + sz - 0.15f), Vec(b.x + sx + 0.15f, top, b.z + sz + 0.15f), 0.5f);
        }
        for (float y = 2.0f; y < top; y += 3.0f)
            for (int side = 0; side < 4; ++side) {
                const float sx = side == 0 ? -half : side == 1 ? half : 0, sz = side == 2 ? -half : side == 3 ? half : 0;
                if (side < 2) {
                    if (side == 0) continue;  // the open side faces the hall
                    addBeam(paint, Vec(b.x + sx, y, b.z - half), Vec(b.x + sx, y + 3.0f, b.z + half), 0.12f);
                    addBeam(paint, Vec(b.x + sx, y, b.z - half), Vec(b.x + sx, y, b.z + half), 0.14f);
                } else {
                    addBeam(paint, Vec(b.x - half, y, b.z + sz), Vec(b.x + half, y + 3.0f, b.z + sz), 0.12f);
                    addBeam(paint, Vec(b.x - half, y, b.z + sz), Vec(b.x + half, y, b.z + sz), 0.14f);
                }
            }
        for (float sz : {-1.0f, 1.0f})
            addBoxBetween(bare, Vec(b.x - 0.08f, 0, b.z + sz * 1.85f - 0.05f), Vec(b.x + 0.08f, top, b.z + sz * 1.85f + 0.05f), 0.5f);
        addBoxBetween(paint, Vec(b.x - half - 0.2f, top, b.z - half - 0.2f), Vec(b.x + half + 0.2f, top + 0.4f, b.z + half + 0.2f), 0.5f);
        addCylinder(bare, then(rotate(sm::kPi / 2, Vec(1, 0, 0)), translate(b.x, top + 0.9f, b.z + 0.3f)), 0.7f, 0.6f, 24, true);
        // Landing at the top stop, reaching into the hall.
        const float landing = s.liftTop.y;
        addBoxBetween(paint, Vec(b.x - half - 4.0f, landing - 0.25f, b.z - half), Vec(b.x - half, landing, b.z + half), 0.5f);
        addBoxBetween(bare, Vec(b.x - half - 4.0f, landing + 1.0f, b.z + half - 0.05f), Vec(b.x - half, landing + 1.1f, b.z + half + 0.05f), 0.5f);
        model.meshes.push_back(std::move(shaft));
    }
    {  // The cage, modelled at its bottom stop.
        GeoMesh cage{s.liftCageNodeId, "cage", {}};
        Tris& paint = partOf(cage, "painted_metal");
        Tris& bare = partOf(cage, "bare_metal");
        const float w = 1.7f, h = 3.0f;
        addBoxBetween(paint, Vec(b.x - w, b.y - 0.2f, b.z - w), Vec(b.x + w, b.y, b.z + w), 0.5f);
        addBoxBetween(paint, Vec(b.x - w, b.y + h, b.z - w), Vec(b.x + w, b.y + h + 0.2f, b.z + w), 0.5f);
        for (int i = 0; i < 4; ++i) {
            const float sx = (i & 1) ? w - 0.08f : -w + 0.08f, sz = (i & 2) ? w - 0.08f : -w + 0.08f;
            addBoxBetween(paint, Vec(b.x + sx - 0.08f, b.y, b.z + sz - 0.08f), Vec(b.x + sx + 0.08f, b.y + h, b.z + sz + 0.08f), 0.5f);
        }
        // Bars on three sides; the side facing the hall is a gate with a rail at waist height.
        for (float t = -w + 0.4f; t < w - 0.2f; t += 0.4f) {
            addCylinder(bare, translate(b.x + t, b.y, b.z - w + 0.05f), 0.03f, h, 6, false);
            addCylinder(bare, translate(b.x + t, b.y, b.z + w - 0.05f), 0.03f, h, 6, false);
            addCylinder(bare, translate(b.x + w - 0.05f, b.y, b.z + t), 0.03f, h, 6, false);
        }
        addBoxBetween(bare, Vec(b.x - w - 0.02f, b.y + 1.05f, b.z - w), Vec(b.x - w + 0.06f, b.y + 1.15f, b.z + w), 0.5f);
        addSphere(partOf(cage, "glow_lamp"), translate(b.x, b.y + h - 0.15f, b.z), 0.18f, 12, 8);
        addCylinder(bare, translate(b.x, b.y + h + 0.2f, b.z + 0.3f), 0.05f, 0.8f, 6, true);  // cable clamp
        model.meshes.push_back(std::move(cage));
    }
    finishModel(model);
    return model;
}

namespace {

// A monitor face slightly bulged like a CRT, texture coordinates 0..1 across it; `flip`
// turns the mapping by 180 degrees.
void addScreenFace(Tris& tris, const MonitorLayout& m, bool flip) {
    const int nx = 8, ny = 6;
    auto point = [&](int i, int j) {
        const float s = static_cast<float>(i) / nx, t = static_cast<float>(j) / ny;
        const float bx = 2 * s - 1, by = 2 * t - 1;
        const float bulge = 0.06f * (1.0f - 0.5f * (bx * bx + by * by));
        GeoVertex v;
        v.position = m.centre + m.right * ((s - 0.5f) * m.width) + m.up * ((t - 0.5f) * m.height) + m.facing * bulge;
        v.normal = sm::normalized(m.facing + m.right * (bx * 0.06f) + m.up * (by * 0.06f));
        v.uv[0] = flip ? 1 - s : s;
        v.uv[1] = flip ? 1 - t : t;
        return v;
    };
    for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i) {
            const GeoVertex a = point(i, j), b = point(i + 1, j), c = point(i + 1, j + 1), d = point(i, j + 1);
            tris.insert(tris.end(), {a, b, c, a, c, d});  // right x up = facing: counter-clockwise from the front
        }
}

}  // namespace

GeoModel buildScreens() {
    const SceneLayout& s = sceneLayout();
    GeoModel model;
    GeoMesh mesh{600, "screens", {}};
    for (const MonitorLayout& m : s.monitors) {
        mesh.parts.push_back(GeoPart{"screen", {}});  // one part per monitor, all with one material
        addScreenFace(mesh.parts.back().vertices, m, false);
    }
    model.meshes.push_back(std::move(mesh));
    finishModel(model);
    return model;
}

GeoModel buildBelieveScreen() {
    GeoModel model;
    GeoMesh mesh{700, "believe_screen", {}};
    // The program draws the picture into its texture turned by 180 degrees; turning the
    // mapping here shows it upright.
    addScreenFace(partOf(mesh, "screen"), sceneLayout().closingMonitor, true);
    model.meshes.push_back(std::move(mesh));
    finishModel(model);
    return model;
}

}  // namespace geo
