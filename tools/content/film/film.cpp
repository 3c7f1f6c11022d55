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

}  // namespace

std::vector<AnimationNode> factoryAnimation(const geo::GeoModel& factory) {
    std::vector<AnimationNode> nodes;
    for (const geo::GeoMesh& mesh : factory.meshes) {
        if (mesh.nodeId == 0) continue;
        nodes.push_back(mesh.name == geo::kBeltCratesMesh ? beltCratesNode(mesh.nodeId) : stillNode(mesh.nodeId));
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
    const geo::SceneLayout& s = geo::sceneLayout();
    const float travel = s.liftTop.y - s.liftBottom.y;
    AnimationNode cage;
    cage.nodeId = s.liftCageNodeId;
    // Up and down the shaft with a pause at each stop; pairs of equal keys hold it there.
    cage.position.keys.push_back({0.0f, Vec3(0, 0, 0)});
    bool up = true;
    for (float t = 84.0f; t < kFilmEndSeconds + 10.0f; t += 12.0f) {
        const float y = up ? travel : 0.0f;
        cage.position.keys.push_back({t, cage.position.keys.back().value});
        cage.position.keys.push_back({t + 8.0f, Vec3(0, y, 0)});
        up = !up;
    }
    return {stillNode(300), cage};
}

std::vector<Shot> filmShots() {
    const geo::SceneLayout& s = geo::sceneLayout();
    const Vec3 head = s.headCentre;
    const Vec3 eyesMid = (s.eyes[0] + s.eyes[1]) * 0.5f;
    std::vector<Shot> shots;
    auto add = [&](const char* what, std::vector<CameraShotKey> keys, CameraRecord record, const Vec3& subject) {
        shots.push_back(Shot{what, std::move(keys), record, subject});
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
    // 62 - 82: through the hall: along the conveyor, then up the lift shaft past the lamps.
    const Vec3 belt0 = s.conveyorStart, belt1 = s.conveyorEnd;
    add("conveyor", dolly(62.5f, onBeat(72.5f), lerp(belt0, belt1, 0.05f) + Vec3(0, 3.5f, 7.0f), lerp(belt0, belt1, 0.4f) + Vec3(0, 3.0f, 7.0f),
                          lerp(belt0, belt1, 0.45f), lerp(belt0, belt1, 0.8f)),
        fixedFov(55), lerp(belt0, belt1, 0.6f));
    const Vec3 liftMid = lerp(s.liftBottom, s.liftTop, 0.5f);
    add("lift and lamps", dolly(72.5f, onBeat(82.5f), liftMid + Vec3(-14.0f, -3.0f, 12.0f), liftMid + Vec3(-12.0f, 5.0f, 14.0f),
                                s.liftBottom + Vec3(0, 2.0f, 0), s.liftTop + Vec3(0, 2.0f, 0)),
        fixedFov(55), liftMid);
    // 82.5 - 120: the gears start on the drop; the lift travels its shaft.
    geo::Bounds gears;
    for (const geo::GearLayout& g : s.gears) gears.add(g.pivot);
    const Vec3 gearsMid = (gears.lo + gears.hi) * 0.5f;
    add("gears", dolly(82.5f, onBeat(100.5f), gearsMid + Vec3(11.0f, 1.5f, 6.0f), gearsMid + Vec3(8.0f, -0.5f, -3.0f), gearsMid, gearsMid, 3),
        zoom(82500, 60, 100500, 48), gearsMid);
    add("lift travels", dolly(100.5f, onBeat(120.5f), s.liftBottom + Vec3(-10.0f, 3.0f, 10.0f), s.liftBottom + Vec3(-12.0f, 9.0f, 9.0f),
                              s.liftBottom + Vec3(0, 3.0f, 0), s.liftTop),
        fixedFov(55), liftMid);
    // 120 - 153: wide shots of the hall; the camera shakes on the heavy beats.
    const Vec3 hallMid = (s.hallMin + s.hallMax) * 0.5f;
    add("hall wide", dolly(120.5f, onBeat(136.5f), Vec3(s.hallMin.x + 6.0f, 15.0f, s.hallMax.z - 4.0f),
                           Vec3(hallMid.x - 4.0f, 16.0f, s.hallMax.z - 3.0f), hallMid + Vec3(0, -4.0f, 0), head),
        fixedFov(62), hallMid);
    add("hall wide, other side", dolly(136.5f, onBeat(152.5f), Vec3(s.hallMax.x - 4.0f, 14.0f, s.hallMax.z - 5.0f),
                                       Vec3(s.hallMax.x - 6.0f, 9.0f, hallMid.z + 6.0f), head, lerp(head, s.creditsCentre, 0.3f)),
        fixedFov(60), head);
    // 153 - 183: the bank of six monitors shows the credits.
    Vec3 bank;
    for (const geo::MonitorLayout& m : s.monitors) bank = bank + m.centre * (1.0f / 6.0f);
    const Vec3 facing = s.monitors[0].facing;
    add("monitors", dolly(152.5f, onBeat(168.5f), bank + facing * 13.0f + Vec3(0, 0.5f, 3.0f), bank + facing * 10.0f + Vec3(0, 0.3f, -1.0f), bank, bank),
        zoom(152500, 50, 168500, 42), bank);
    add("monitors close", dolly(168.5f, onBeat(183.5f), bank + facing * 8.0f + Vec3(0, 0.5f, -4.0f), bank + facing * 7.0f + Vec3(0, -0.3f, 3.5f), bank, bank),
        fixedFov(52), bank);
    // 183 - 200: drift to the closing monitor.
    const geo::MonitorLayout& closing = s.closingMonitor;
    add("drift to the closing monitor",
        dolly(183.5f, onBeat(200.5f), closing.centre + closing.facing * 14.0f + Vec3(0, 4.0f, -5.0f),
              closing.centre + closing.facing * 4.0f + Vec3(0, 0.4f, -0.5f), closing.centre + Vec3(0, -0.5f, 0), closing.centre),
        zoom(183500, 55, 200500, 45), closing.centre);
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

    // "shake": a short jolt on the drop and on every impact of the heavy section.
    std::vector<ScriptKey<float>> shake{{0.0f, 0.0f}};
    for (float a : accentTimes()) {
        if (a < 82.0f) continue;
        const float ms = a * 1000.0f;
        shake.push_back({ms - 60.0f, 0.0f});
        shake.push_back({ms, a < 83.0f ? 1.0f : 0.7f});
        shake.push_back({ms + 90.0f, 0.2f});
        shake.push_back({ms + 450.0f, 0.0f});
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
