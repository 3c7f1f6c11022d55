// The film's motion and timeline, authored from the scene layout and the music's beat grid.
#include "content/film/film.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "content/geometry/models.h"
#include "content/audio/music.h"
#include "content/pictures/pictures.h"

namespace content {

namespace {

using sm::Vec3;

constexpr float kTwoPi = 2.0f * sm::kPi;

// A node that holds its mesh where the model put it.
AnimationNode stillNode(int32_t nodeId) {
    AnimationNode node;
    node.nodeId = nodeId;
    return node;
}

// The nearest beat of the tune to a time, so that every cut lands on the grid.
float onBeat(float seconds) {
    static const std::vector<float> beats = beatTimes();
    float best = seconds, bestDistance = 1e9f;
    for (float b : beats)
        if (std::fabs(b - seconds) < bestDistance) bestDistance = std::fabs(b - seconds), best = b;
    return seconds > beats.back() + 0.5f ? seconds : best;
}

Vec3 lerp(const Vec3& a, const Vec3& b, float f) { return a + (b - a) * f; }

// A camera moving from one place to another over [t0, t1], `steps` keys on the way.
std::vector<CameraShotKey> dolly(float t0, float t1, const Vec3& eye0, const Vec3& eye1, const Vec3& target0,
                                 const Vec3& target1, int steps = 2) {
    std::vector<CameraShotKey> keys;
    for (int i = 0; i < steps; ++i) {
        const float f = static_cast<float>(i) / static_cast<float>(steps - 1);
        keys.push_back({t0 + (t1 - t0) * f, lerp(eye0, eye1, f), lerp(target0, target1, f), Vec3(0, 1, 0)});
    }
    return keys;
}

// A camera circling `centre` at `radius` and `height` above it, from angle a0 to a1 (radians
// about +y, 0 on the +z side).
std::vector<CameraShotKey> orbit(float t0, float t1, const Vec3& centre, float radius, float height, float a0,
                                 float a1, int steps) {
    std::vector<CameraShotKey> keys;
    for (int i = 0; i < steps; ++i) {
        const float f = static_cast<float>(i) / static_cast<float>(steps - 1);
        const float a = a0 + (a1 - a0) * f;
        keys.push_back({t0 + (t1 - t0) * f, centre + Vec3(std::sin(a) * radius, height, std::cos(a) * radius), centre,
                        Vec3(0, 1, 0)});
    }
    return keys;
}

// Where a following camera stands, what it looks at and where its subject is at one time.
struct Framing {
    Vec3 eye, target, subject;
};

struct Following {
    std::vector<CameraShotKey> keys;
    std::vector<Vec3> subjects;  // one a key
};

// A camera that follows something: `at(t, f)` frames it at time t, the fraction f of the way
// through [t0, t1], sampled every `every` seconds.
template <class At>
Following follow(float t0, float t1, float every, At at) {
    Following path;
    const int steps = std::max(1, static_cast<int>(std::lround((t1 - t0) / every)));
    for (int i = 0; i <= steps; ++i) {
        const float f = static_cast<float>(i) / static_cast<float>(steps);
        const float t = t0 + (t1 - t0) * f;
        const Framing framing = at(t, f);
        path.keys.push_back({t, framing.eye, framing.target, Vec3(0, 1, 0)});
        path.subjects.push_back(framing.subject);
    }
    return path;
}

CameraRecord fixedFov(float degrees) {
    CameraRecord r;
    r.fov = sm::toRadians(degrees);
    return r;
}

CameraRecord zoom(float fromMs, float fromDegrees, float toMs, float toDegrees) {
    CameraRecord r;
    r.fovKeyed = true;
    r.fovKeys = {{fromMs, sm::toRadians(fromDegrees)}, {toMs, sm::toRadians(toDegrees)}};
    r.fov = sm::toRadians(toDegrees);
    return r;
}

// The belt crates slide one crate spacing along the belt every kBeltCycleSeconds, then jump
// back by that spacing, which puts every crate where its neighbour was. The keys are splined
// from their neighbours' values: evenly spaced keys make the slide steady, and the doubled keys
// on both sides of each jump keep the spline's swing around it inside those few milliseconds.
AnimationNode beltCratesNode(int32_t nodeId) {
    constexpr int kSteps = 8;
    constexpr float kJump = 0.001f;
    const geo::SceneLayout& s = geo::sceneLayout();
    const Vec3 step = sm::normalized(s.conveyorEnd - s.conveyorStart) * geo::kCrateSpacing;
    AnimationNode node;
    node.nodeId = nodeId;
    node.position.keys.push_back({0.0f, Vec3(0, 0, 0)});
    for (float c = 0.0f; c < kFilmEndSeconds + 10.0f; c += kBeltCycleSeconds) {
        node.position.keys.push_back({c + 2 * kJump, Vec3(0, 0, 0)});
        node.position.keys.push_back({c + 3 * kJump, Vec3(0, 0, 0)});
        for (int j = 1; j <= kSteps; ++j) {
            const float f = static_cast<float>(j) / kSteps;
            node.position.keys.push_back({c + f * kBeltCycleSeconds, step * f});
        }
        node.position.keys.push_back({c + kBeltCycleSeconds + kJump, step});
    }
    return node;
}

// The lift's rides between its stops, easing in and out: up and down once during the groove, a
// ride up with the camera (100.5 s), up again into the heavy part and a short ride with the
// camera on its hits (140.5 s), then every twelve seconds to the end.
struct LiftTrip {
    float from, to;
    bool up;
};

const std::vector<LiftTrip>& liftTrips() {
    static const std::vector<LiftTrip> trips = [] {
        std::vector<LiftTrip> t = {{84.5f, 92.5f, true},   {94.5f, 100.5f, false}, {100.5f, 108.5f, true},
                                   {110.5f, 118.5f, false}, {120.5f, 128.5f, true}, {130.5f, 138.5f, false},
                                   {140.5f, 146.5f, true},  {148.5f, 156.5f, false}};
        for (float from = 160.5f; from < kFilmEndSeconds + 10.0f; from += 12.0f)
            t.push_back({from, from + 8.0f, !t.back().up});
        return t;
    }();
    return trips;
}

float smoothstep01(float f) {
    f = std::clamp(f, 0.0f, 1.0f);
    return f * f * (3.0f - 2.0f * f);
}

// Each lamp swings about its own horizontal axis, a little later and harder or softer than its
// neighbours, so that the row does not move as one.
Vec3 lampAxis(int lamp) {
    const float a = 0.5f + 1.3f * static_cast<float>(lamp);
    return Vec3(std::cos(a), 0.0f, std::sin(a));
}

// The times of a lamp's swing keys: eight a swing from just before the first heavy hit until the
// swings have died away after the last.
std::vector<float> lampKeyTimes() {
    const std::vector<float> hits = heavyHitTimes();
    std::vector<float> times;
    for (float t = hits.front() - 0.25f; t < hits.back() + 12.0f; t += 0.125f) times.push_back(t);
    return times;
}

// A light switching on at `at`: from nothing to full size with a flicker. Each switch sits
// between doubled keys, so that the spline stays flat on both sides of it.
void switchOn(VectorTrack& scale, float at) {
    constexpr float kEdge = 0.001f;
    const Vec3 off(0, 0, 0), on(1, 1, 1);
    scale.keys = {{0.0f, off}};
    for (const auto& [when, value] : {std::pair{at, on}, std::pair{at + 0.08f, off}, std::pair{at + 0.2f, on}}) {
        const Vec3 before = value.x > 0.5f ? off : on;
        scale.keys.insert(scale.keys.end(), {{when - 2 * kEdge, before}, {when - kEdge, before}, {when, value}, {when + kEdge, value}});
    }
}

// A node that swings with lamp `lamp` about its hook.
AnimationNode swingingNode(int32_t nodeId, int lamp) {
    const geo::LampLayout& l = geo::sceneLayout().lamps.at(static_cast<size_t>(lamp));
    AnimationNode node;
    node.nodeId = nodeId;
    sm::translation(node.matrix, -l.hook.x, -l.hook.y, -l.hook.z);
    node.position.constant = l.hook;
    const Vec3 axis = lampAxis(lamp);
    node.rotation.keys.push_back({0.0f, 0.0f, axis});
    for (float t : lampKeyTimes()) node.rotation.keys.push_back({t, lampSwing(t, lamp), axis});
    node.rotation.keys.push_back({node.rotation.keys.back().time + 0.5f, 0.0f, axis});
    return node;
}

// The lamp's pool of light follows where its cone meets the floor: the axis turned about the
// lamp's horizontal axis (ax, 0, az) points down along (az sin a, -cos a, -ax sin a).
AnimationNode poolNode(int32_t nodeId, int lamp) {
    const geo::LampLayout& l = geo::sceneLayout().lamps.at(static_cast<size_t>(lamp));
    const Vec3 axis = lampAxis(lamp), rest(l.hook.x, 0.0f, l.hook.z);
    AnimationNode node;
    node.nodeId = nodeId;
    sm::translation(node.matrix, -rest.x, -rest.y, -rest.z);
    node.position.keys.push_back({0.0f, rest});
    for (float t : lampKeyTimes()) {
        const float reach = l.hook.y * std::tan(lampSwing(t, lamp));
        node.position.keys.push_back({t, rest + Vec3(axis.z * reach, 0.0f, -axis.x * reach)});
    }
    node.position.keys.push_back({node.position.keys.back().time + 0.5f, rest});
    switchOn(node.scale, kHallLightsOnSeconds);
    return node;
}

// The key light's cone and the light it spills round the pedestal grow from the lamp.
AnimationNode keyBeamNode(int32_t nodeId) {
    const Vec3 lamp = geo::sceneLayout().keyLight;
    AnimationNode node;
    node.nodeId = nodeId;
    sm::translation(node.matrix, -lamp.x, -lamp.y, -lamp.z);
    node.position.constant = lamp;
    switchOn(node.scale, kKeyLightOnSeconds);
    return node;
}

// When flash `flash` of the discharge shows: on every beat of the groove's second half and of
// the heavy part two of the eight flashes light for a fifth of a second, each beat another
// pair, and all of them flare on the heavy hits.
std::vector<std::pair<float, float>> dischargeIntervals(int flash) {
    static const std::vector<float> beats = beatTimes(), hits = heavyHitTimes();
    std::vector<std::pair<float, float>> on;
    for (size_t i = 0; i < beats.size(); ++i) {
        const float b = beats[i];
        if (b < 100.5f - 1e-3f || b > 152.0f) continue;
        const int first = static_cast<int>((i * 5) % geo::kDischargeFlashes);
        const bool heavy = std::any_of(hits.begin(), hits.end(), [&](float h) { return std::fabs(h - b) < 1e-3f; });
        if (heavy || flash == first || flash == (first + 3) % geo::kDischargeFlashes)
            on.push_back({b - 0.02f, b + (heavy ? 0.35f : 0.18f)});
    }
    return on;
}

AnimationNode dischargeNode(int32_t nodeId, int flash) {
    const Vec3 head = geo::sceneLayout().headCentre;
    AnimationNode node;
    node.nodeId = nodeId;
    sm::translation(node.matrix, -head.x, -head.y, -head.z);
    node.position.constant = head;
    // Doubled keys on both sides of each switch keep the spline flat between them.
    constexpr float kEdge = 0.001f;
    const Vec3 off(0, 0, 0), full(1, 1, 1);
    node.scale.keys.push_back({0.0f, off});
    for (const auto& [from, to] : dischargeIntervals(flash)) {
        node.scale.keys.push_back({from - 2 * kEdge, off});
        node.scale.keys.push_back({from - kEdge, off});
        node.scale.keys.push_back({from, full});
        node.scale.keys.push_back({to, full});
        node.scale.keys.push_back({to + kEdge, off});
        node.scale.keys.push_back({to + 2 * kEdge, off});
    }
    return node;
}

int meshIndex(const std::string& name, const char* prefix) {
    const std::string p = prefix;
    return name.compare(0, p.size(), p) == 0 ? std::stoi(name.substr(p.size())) : -1;
}

}  // namespace

float liftHeight(float seconds) {
    const geo::SceneLayout& s = geo::sceneLayout();
    const float travel = s.liftTop.y - s.liftBottom.y;
    float height = 0.0f;
    for (const LiftTrip& trip : liftTrips()) {
        if (seconds < trip.from) break;
        const float f = smoothstep01((seconds - trip.from) / (trip.to - trip.from));
        height = travel * (trip.up ? f : 1.0f - f);
    }
    return height;
}

float lampSwing(float seconds, int lamp) {
    static const std::vector<float> hits = heavyHitTimes();
    constexpr float kPeriod = 2.0f, kDecay = 2.2f;  // one swing a bar
    const float delay = 0.05f * static_cast<float>(lamp % 4), strength = 0.8f + 0.1f * static_cast<float>((lamp * 7) % 4);
    float angle = 0.0f;
    for (float hit : hits) {
        const float since = seconds - hit - delay;
        if (since <= 0.0f) continue;
        const float kick = hit < hits.front() + 1.0f ? 0.3f : 0.2f;  // the drop swings hardest
        angle += kick * strength * std::exp(-since / kDecay) * std::sin(kTwoPi * since / kPeriod);
    }
    return angle;
}

std::vector<AnimationNode> factoryAnimation(const geo::GeoModel& factory) {
    std::vector<AnimationNode> nodes;
    for (const geo::GeoMesh& mesh : factory.meshes) {
        if (mesh.nodeId == 0) continue;
        if (mesh.name == geo::kBeltCratesMesh)
            nodes.push_back(beltCratesNode(mesh.nodeId));
        else if (const int lamp = meshIndex(mesh.name, geo::kLampMeshPrefix); lamp >= 0)
            nodes.push_back(swingingNode(mesh.nodeId, lamp));
        else if (const int beam = meshIndex(mesh.name, geo::kLampBeamMeshPrefix); beam >= 0) {
            nodes.push_back(swingingNode(mesh.nodeId, beam));
            switchOn(nodes.back().scale, kHallLightsOnSeconds);
        } else if (mesh.name == geo::kKeyBeamMesh)
            nodes.push_back(keyBeamNode(mesh.nodeId));
        else if (const int pool = meshIndex(mesh.name, geo::kLampPoolMeshPrefix); pool >= 0)
            nodes.push_back(poolNode(mesh.nodeId, pool));
        else if (const int flash = meshIndex(mesh.name, geo::kDischargeMeshPrefix); flash >= 0)
            nodes.push_back(dischargeNode(mesh.nodeId, flash));
        else
            nodes.push_back(stillNode(mesh.nodeId));
    }
    return nodes;
}

std::vector<AnimationNode> wheelsAnimation() {
    const geo::SceneLayout& s = geo::sceneLayout();
    std::vector<AnimationNode> nodes{stillNode(200)};  // the frame that carries the axles
    if (s.gears.empty()) return nodes;
    // Meshing gears turn at the inverse ratio of their teeth. The program spins a flagged node
    // at (key angle + 4π × turns) × 8 / 25.132 radians per second, with the key angle below 2π;
    // the largest gear's speed is chosen so that every gear of the train lands in a reachable
    // band ((4, 6), (8, 10), (12, 14) rad/s).
    const float largestSpeed = 4.15f;
    const int largestTeeth = s.gears.front().teeth;
    for (const geo::GearLayout& g : s.gears) {
        const float speed = largestSpeed * static_cast<float>(largestTeeth) / static_cast<float>(g.teeth);
        const float angle = speed * 25.132f / 8.0f;
        const int turns = static_cast<int>(angle / (2.0f * kTwoPi));
        const float keyAngle = angle - 2.0f * kTwoPi * static_cast<float>(turns);
        if (turns < 1 || keyAngle <= 0.0f || keyAngle >= kTwoPi)
            throw std::logic_error("wheelsAnimation: gear '" + g.meshName + "' needs a speed the spin can't reach");
        AnimationNode node;
        node.nodeId = g.nodeId;
        sm::translation(node.matrix, -g.pivot.x, -g.pivot.y, -g.pivot.z);
        node.position.constant = g.pivot;
        const Vec3 axis = g.axis * static_cast<float>(g.direction);
        node.rotation.keys = {{0.0f, keyAngle, axis}};
        node.rotation.spinTurns = turns;
        nodes.push_back(node);
    }
    return nodes;
}

std::vector<AnimationNode> windaAnimation() {
    AnimationNode cage;
    cage.nodeId = geo::sceneLayout().liftCageNodeId;
    // Two keys a second through each ride, which the spline follows closely; pairs of equal
    // keys at the stops hold it there.
    cage.position.keys.push_back({0.0f, Vec3(0, 0, 0)});
    for (const LiftTrip& trip : liftTrips())
        for (float t = trip.from; t < trip.to + 0.25f; t += 0.5f)
            if (t > cage.position.keys.back().time + 1e-3f) cage.position.keys.push_back({t, Vec3(0, liftHeight(t), 0)});
    return {stillNode(300), cage};
}

std::vector<Shot> filmShots() {
    const geo::SceneLayout& s = geo::sceneLayout();
    const Vec3 head = s.headCentre;
    const Vec3 eyesMid = (s.eyes[0] + s.eyes[1]) * 0.5f;
    std::vector<Shot> shots;
    auto add = [&](const char* what, std::vector<CameraShotKey> keys, CameraRecord record, const Vec3& subject) {
        shots.push_back(Shot{what, std::move(keys), record, subject, {}});
    };
    auto addFollowing = [&](const char* what, Following path, CameraRecord record) {
        shots.push_back(Shot{what, std::move(path.keys), record, path.subjects.front(), std::move(path.subjects)});
    };

    // 0 - 12: push in on the head in the dark.
    add("head push-in", dolly(0.0f, onBeat(12.5f), head + Vec3(1.0f, 1.0f, 17.0f), head + Vec3(0.3f, 0.3f, 8.5f), head, head),
        zoom(0, 45, 12500, 38), head);
    // 12 - 34: orbit, then a profile with the discharge sweeping over the skull.
    add("head orbit", orbit(12.5f, onBeat(23.5f), head, 9.5f, 1.2f, 0.5f, -1.3f, 6), fixedFov(45), head);
    add("head profile",
        dolly(23.5f, onBeat(34.5f), head + Vec3(10.0f, 1.5f, -1.0f), head + Vec3(8.0f, -0.5f, 3.5f), head, head),
        fixedFov(42), head);
    // 34 - 62: the eyes close up, then the pull back that finds the hall around the head.
    add("eyes close-up", dolly(34.5f, onBeat(46.5f), eyesMid + Vec3(0.0f, 0.3f, 6.0f), eyesMid + Vec3(0.0f, 0.1f, 4.6f), eyesMid, eyesMid),
        zoom(34500, 42, 46500, 36), eyesMid);
    add("reveal", dolly(46.5f, onBeat(62.5f), head + Vec3(0.5f, 0.5f, 6.5f), head + Vec3(9.0f, 5.0f, 27.0f), head, head + Vec3(0, -2.0f, 0), 3),
        fixedFov(50), head);
    // 62 - 82: through the hall: gliding beside the conveyor while the crates overtake the
    // camera, then up the lift shaft past the lamps.
    const Vec3 belt0 = s.conveyorStart;
    const float beltSpeed = geo::kCrateSpacing / kBeltCycleSeconds;
    auto onBelt = [&](float x) { return Vec3(x, belt0.y + 0.5f, belt0.z); };
    addFollowing("conveyor", follow(62.5f, onBeat(72.5f), 0.5f, [&](float t, float f) {
                     const float x = belt0.x + 3.0f + (t - 62.5f) * beltSpeed * 0.35f;
                     return Framing{Vec3(x, 3.2f - 1.0f * f, belt0.z - 4.5f + 1.0f * f),
                                    Vec3(x + 6.0f - 3.0f * f, 1.4f, belt0.z + 2.0f), onBelt(x + 5.0f - 2.5f * f)};
                 }),
                 fixedFov(55));
    const Vec3 liftMid = lerp(s.liftBottom, s.liftTop, 0.5f);
    add("lift and lamps", dolly(72.5f, onBeat(82.5f), liftMid + Vec3(-15.0f, -4.0f, 10.0f), liftMid + Vec3(-9.0f, 6.0f, 15.0f),
                                s.liftBottom + Vec3(0, 2.0f, 0), s.liftTop + Vec3(0, 2.0f, 0)),
        fixedFov(55), liftMid + Vec3(0, 2.0f, 0));
    // 82.5 - 120: the gears start on the drop; then the camera rides the lift up its shaft,
    // follows the crates along the belt and flies past the turning gears.
    geo::Bounds gears;
    for (const geo::GearLayout& g : s.gears) gears.add(g.pivot);
    const Vec3 gearsMid = (gears.lo + gears.hi) * 0.5f;
    add("gears", dolly(82.5f, onBeat(100.5f), gearsMid + Vec3(11.0f, 1.5f, 6.0f), gearsMid + Vec3(8.0f, -0.5f, -3.0f), gearsMid, gearsMid, 3),
        zoom(82500, 60, 100500, 48), gearsMid);
    auto cage = [&](float t) { return s.liftBottom + Vec3(0, liftHeight(t) + 1.4f, 0); };
    addFollowing("lift ride", follow(100.5f, onBeat(108.5f), 0.5f, [&](float t, float f) {
                     const float a = -2.2f + 1.3f * f;  // round the open side of the shaft
                     const Vec3 around(std::cos(a) * 7.5f + 1.0f, 1.0f + 0.8f * f, -std::sin(a) * 7.5f);
                     return Framing{cage(t) + around, cage(t) + Vec3(0.5f, 0, 0), cage(t)};
                 }),
                 fixedFov(55));
    addFollowing("crates on the belt", follow(108.5f, onBeat(114.5f), 0.5f, [&](float t, float) {
                     const float x = belt0.x + 19.4f + (t - 108.5f) * beltSpeed * 0.8f;
                     return Framing{Vec3(x, 2.6f, belt0.z - 4.0f), Vec3(x + 3.5f, 1.7f, belt0.z + 0.5f), onBelt(x + 3.5f)};
                 }),
                 fixedFov(52));
    // The gear whose axle passes nearest a point: what a fly-by is looking at.
    auto nearestGear = [&](const Vec3& p) {
        Vec3 best = s.gears.front().pivot;
        for (const geo::GearLayout& g : s.gears)
            if (sm::length(g.pivot - p) < sm::length(best - p)) best = g.pivot;
        return best;
    };
    const float gearPlane = s.gears.front().pivot.x;
    addFollowing("between the gears", follow(114.5f, onBeat(120.5f), 0.5f, [&](float, float f) {
                     const float z = gears.lo.z - 4.0f + 11.0f * f;
                     const Vec3 target(gearPlane, 9.0f, z + 3.5f);
                     return Framing{Vec3(gearPlane + 4.0f - 1.5f * f, 9.5f - 1.0f * f, z), target, nearestGear(target)};
                 }),
                 fixedFov(58));
    // 120.5 - 152.5, the heavy part: a cut on every impact, the hanging lamps swing and the
    // camera shakes on it; the hall's wide shots look at the head in its key light, and between
    // them the camera circles the head and its discharge, runs with the crates, flies past the
    // gears and rides the lift.
    add("hall wide, the lamps swing", dolly(120.5f, onBeat(124.5f), head + Vec3(-14.6f, 2.1f, 22.4f), head + Vec3(-9.6f, 0.1f, 18.4f),
                                            head + Vec3(0, -2.0f, 0), head + Vec3(0, -1.0f, 0)),
        fixedFov(48), head);
    add("head across the hall", orbit(124.5f, onBeat(128.5f), head, 17.0f, 2.0f, 0.9f, 0.35f, 5), fixedFov(30), head);
    addFollowing("crates, low", follow(128.5f, onBeat(132.5f), 0.5f, [&](float t, float) {
                     const float x = belt0.x + 35.4f + (t - 128.5f) * beltSpeed * 0.85f;
                     return Framing{Vec3(x, 1.9f, belt0.z + 3.2f), Vec3(x + 5.0f, 1.7f, belt0.z - 1.0f), onBelt(x + 4.0f)};
                 }),
                 fixedFov(55));
    addFollowing("gears fly-by", follow(132.5f, onBeat(136.5f), 0.5f, [&](float, float f) {
                     const float z = gears.hi.z + 4.0f - 10.0f * f;
                     const Vec3 target(gearPlane, 9.5f, z - 3.5f);
                     return Framing{Vec3(gearPlane + 3.5f, 11.0f - 3.0f * f, z), target, nearestGear(target)};
                 }),
                 fixedFov(58));
    add("hall wide, among the lamps", dolly(136.5f, onBeat(140.5f), head + Vec3(-22.6f, 5.1f, -3.6f), head + Vec3(-9.6f, 4.6f, -3.6f),
                                            head + Vec3(0, -2.0f, 0), head + Vec3(0, -1.0f, 0)),
        fixedFov(50), head);
    addFollowing("lift ride, on the hits", follow(140.5f, onBeat(144.5f), 0.5f, [&](float t, float f) {
                     return Framing{cage(t) + Vec3(-5.0f, 3.0f * f, 3.5f - 2.5f * f), cage(t), cage(t)};
                 }),
                 fixedFov(55));
    add("head, the discharge close", orbit(144.5f, onBeat(148.5f), head, 11.0f, 0.5f, -0.9f, -0.2f, 5), fixedFov(34), head);
    Vec3 bank;
    for (const geo::MonitorLayout& m : s.monitors) bank = bank + m.centre * (1.0f / 6.0f);
    // Down between the lamps that the last hit swings, onto the head in its key light.
    add("over the swinging lamps", dolly(148.5f, onBeat(152.5f), head + Vec3(15.0f, 5.5f, 9.0f), head + Vec3(8.0f, 4.5f, 7.0f),
                                         head + Vec3(0, -3.0f, 0), head + Vec3(0, -2.0f, 0)),
        fixedFov(52), head);
    // 153 - 183: the bank of six monitors shows the credits.
    const Vec3 facing = s.monitors[0].facing;
    add("monitors", dolly(152.5f, onBeat(168.5f), bank + facing * 13.0f + Vec3(0, 0.5f, 3.0f), bank + facing * 10.0f + Vec3(0, 0.3f, -1.0f), bank, bank),
        zoom(152500, 50, 168500, 42), bank);
    add("monitors close", dolly(168.5f, onBeat(183.5f), bank + facing * 8.0f + Vec3(0, 0.5f, -4.0f), bank + facing * 7.0f + Vec3(0, -0.3f, 3.5f), bank, bank),
        fixedFov(52), bank);
    // 183 - 200: the camera finds the closing monitor on its desk: from across the hall, round
    // the desk, then in on its face.
    const geo::MonitorLayout& closing = s.closingMonitor;
    const float facingAngle = std::atan2(closing.facing.x, closing.facing.z);  // orbit angle in front of the face
    auto around = [&](float angle, float radius, float height) {
        return closing.centre + Vec3(std::sin(angle) * radius, height, std::cos(angle) * radius);
    };
    addFollowing("the closing monitor from across the hall", follow(183.5f, onBeat(189.5f), 0.5f, [&](float, float f) {
                     return Framing{around(facingAngle + 0.4f - 0.3f * f, 17.0f - 4.0f * f, 5.0f - 2.0f * f),
                                    closing.centre + Vec3(0, -0.5f, 0), closing.centre};
                 }),
                 fixedFov(50));
    addFollowing("round the closing monitor", follow(189.5f, onBeat(195.5f), 0.5f, [&](float, float f) {
                     return Framing{around(facingAngle - 0.7f + 0.5f * f, 7.0f - 1.0f * f, 1.8f - 0.6f * f),
                                    closing.centre + Vec3(0, -0.3f, 0), closing.centre};
                 }),
                 fixedFov(50));
    addFollowing("in on the closing monitor", follow(195.5f, onBeat(200.5f), 0.5f, [&](float, float f) {
                     return Framing{around(facingAngle - 0.2f + 0.2f * f, 5.2f - 1.9f * f, 1.0f - 0.6f * f),
                                    closing.centre + Vec3(0, -0.2f + 0.2f * f, 0), closing.centre};
                 }),
                 zoom(195500, 50, 200500, 44));
    // 200 on: the closing monitor types its line; the closing image fades in over it and stays.
    add("closing monitor", dolly(200.5f, kFilmEndSeconds + 40.0f, closing.centre + closing.facing * 2.9f,
                                 closing.centre + closing.facing * 2.6f, closing.centre, closing.centre),
        fixedFov(40), closing.centre);

    for (size_t i = 0; i < shots.size(); ++i) shots[i].record.nodeId = 401 + static_cast<int32_t>(i);
    return shots;
}

std::vector<AnimationNode> cameraAnimation(const std::vector<Shot>& shots) {
    std::vector<AnimationNode> nodes;
    for (const Shot& shot : shots) nodes.push_back(cameraNode(shot.record.nodeId, shot.keys));
    return nodes;
}

std::vector<CameraRecord> cameraRecords(const std::vector<Shot>& shots) {
    std::vector<CameraRecord> records;
    for (const Shot& shot : shots) records.push_back(shot.record);
    return records;
}

std::string propertyScript() {
    ScriptWriter script;
    const float end = (kFilmEndSeconds + 60.0f) * 1000.0f;

    // "shake": a jolt on the drop and on every impact of the heavy section, the hits that swing
    // the lamps, dying away with the lamps' first swing.
    std::vector<ScriptKey<float>> shake{{0.0f, 0.0f}};
    for (float a : heavyHitTimes()) {
        const float ms = a * 1000.0f;
        shake.push_back({ms - 60.0f, 0.0f});
        shake.push_back({ms, a < 83.0f ? 1.0f : 0.7f});
        shake.push_back({ms + 90.0f, 0.25f});
        shake.push_back({ms + 450.0f, 0.08f});
        shake.push_back({ms + 900.0f, 0.0f});
    }
    shake.push_back({end, 0.0f});

    // "electro_noise": a floor that rises through the head's scenes, a burst on each discharge,
    // quiet once the camera leaves the head.
    std::vector<ScriptKey<float>> noise{{0.0f, 0.05f}};
    for (float a : accentTimes()) {
        if (a > 62.0f) break;
        const float floor = 0.05f + 0.35f * std::min(1.0f, a / 60.0f);
        const float ms = a * 1000.0f;
        noise.push_back({ms - 80.0f, floor});
        noise.push_back({ms, std::min(0.6f + 0.35f * a / 60.0f, 0.95f)});
        noise.push_back({ms + 400.0f, floor + 0.05f});
    }
    noise.push_back({64000.0f, 0.1f});
    noise.push_back({end, 0.1f});

    // The fade of the closing image in small held steps: a spline through 0 and 1 would
    // overshoot past full opacity.
    std::vector<ScriptKey<float>> endImage{{0.0f, 0.0f, true}};
    for (float t = kEndImageFrom; t < kEndImageTo + 0.01f; t += 0.05f) {
        const float f = std::min(1.0f, (t - kEndImageFrom) / (kEndImageTo - kEndImageFrom));
        endImage.push_back({t * 1000.0f, f * f * (3.0f - 2.0f * f), true});
    }
    endImage.push_back({end, 1.0f, true});

    // The closing monitor: the line is typed from 200.6 s, one character at a time on a
    // typist's uneven rhythm, then the four words follow one by one until 213.7 s.
    const std::vector<int> stops = believeLetterStops();
    std::vector<ScriptKey<float>> letters{{0.0f, 0.0f, true}, {200000.0f, 0.0f, true}};
    const float typeFrom = 200600.0f, typeTo = 207800.0f;
    for (size_t i = 1; i < stops.size(); ++i) {
        const float f = static_cast<float>(i) / static_cast<float>(stops.size() - 1);
        const float jitter = ((i * 37) % 7) * 18.0f;
        letters.push_back({typeFrom + (typeTo - typeFrom) * f - jitter, static_cast<float>(stops[i]), true});
    }
    letters.push_back({end, static_cast<float>(stops.back()), true});
    std::vector<ScriptKey<int>> screen{{0.0f, 0, true}};
    const float wordsFrom = 208800.0f, wordStep = 1200.0f;
    for (int w = 1; w <= 4; ++w) screen.push_back({wordsFrom + wordStep * static_cast<float>(w - 1), w, true});
    screen.push_back({end, 4, true});

    script.track(1, "shake", shake);
    script.track(2, "electro_noise", noise);
    script.track(3, "images.end", endImage);
    script.track(4, "believe_screen.letters", letters);
    script.track(5, "believe_screen.screen_index", screen, 2);
    if (!script.ok()) throw std::logic_error("propertyScript: a property name was refused");
    return script.text();
}

}  // namespace content
