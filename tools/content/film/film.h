// The film's motion: node animations of the hall, the gears, the lift and the cameras, the
// cameras' fields of view and the property script, all from the scene layout and the music's
// beat grid. Times of node animations and shots are seconds; field-of-view and property keys
// are milliseconds (the program's clocks for them).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/writers.h"
#include "content/geometry/kit.h"

namespace content {

// Node trees for "factory" (the hall stands still but for the crates on the belt, the hanging
// lamps that swing with their cones and pools of light on the heavy hits, the lights that come
// on during the pull back and the discharge that flashes over the head in time with the
// drums), "wheels" (the gears turn from 82.5 s at speeds that follow their tooth counts) and
// "winda" (the cage travels its shaft from 84.5 s, see liftHeight).
// The belt crates of "factory" slide one crate spacing along the belt in this many seconds (two
// beats of the tune), then jump back (within a few milliseconds of every multiple of it) and go
// on; the belt runs faster than the camera glides along it, so the crates are seen to overtake it.
constexpr float kBeltCycleSeconds = 1.0f;
std::vector<AnimationNode> factoryAnimation(const geo::GeoModel& factory);
std::vector<AnimationNode> wheelsAnimation();
std::vector<AnimationNode> windaAnimation();

// The hall's lights come on during the pull back from the head, each on an eye pulse: the key
// light on the head first, then the cones and pools of the hanging lamps. Before them the head
// is alone in the dark.
constexpr float kKeyLightOnSeconds = 48.6f, kHallLightsOnSeconds = 55.0f;

// The lift cage's height above its bottom stop at a time (seconds): it waits at the bottom,
// then rides up and down its shaft, easing in and out of each stop; the film's lift shots ride
// with it.
float liftHeight(float seconds);

// How far a hanging lamp swings out of the vertical at a time (radians, about its own
// horizontal axis): nothing before the drop, then a kick on each heavy hit that dies away
// over the next hits, one swing a bar.
float lampSwing(float seconds, int lamp);

// One shot of the film: a camera node and its field of view. The shot runs until its last key.
struct Shot {
    const char* what;  // the subject, for messages
    std::vector<CameraShotKey> keys;
    CameraRecord record;  // nodeId set; fov constant or keyed
    sm::Vec3 subject;     // the point the shot is about, kept in front of the camera
    std::vector<sm::Vec3> subjects;  // for a shot that follows a moving subject: where it is at each key
    sm::Vec3 subjectAt(size_t key) const { return subjects.empty() ? subject : subjects.at(key); }
};

// Every shot in time order; node ids 401, 402, ... Each shot ends on a beat of the music; the
// last one runs past the end of the tune so the closing image stays framed.
std::vector<Shot> filmShots();
std::vector<AnimationNode> cameraAnimation(const std::vector<Shot>& shots);
std::vector<CameraRecord> cameraRecords(const std::vector<Shot>& shots);

// The text of "props.scr": "shake", "electro_noise", "images.end", "believe_screen.letters"
// and "believe_screen.screen_index".
std::string propertyScript();

// The film's timeline ends here (seconds): the tune's length.
constexpr float kFilmEndSeconds = 220.0f;
// The closing image fades in over these seconds.
constexpr float kEndImageFrom = 214.0f, kEndImageTo = 217.0f;

}  // namespace content
