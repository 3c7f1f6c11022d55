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

// Node trees for "factory" (the hall stands still but for the crates on the belt), "wheels" (the gears turn from 82.5 s at
// speeds that follow their tooth counts) and "winda" (the cage travels its shaft from 84 s).
// The belt crates of "factory" slide one crate spacing along the belt in this many seconds,
// then jump back (within a few milliseconds of every multiple of it) and go on; the belt runs
// faster than the camera glides along it, so the crates are seen to overtake it.
constexpr float kBeltCycleSeconds = 2.5f;
std::vector<AnimationNode> factoryAnimation(const geo::GeoModel& factory);
std::vector<AnimationNode> wheelsAnimation();
std::vector<AnimationNode> windaAnimation();

// One shot of the film: a camera node and its field of view. The shot runs until its last key.
struct Shot {
    const char* what;  // the subject, for messages
    std::vector<CameraShotKey> keys;
    CameraRecord record;  // nodeId set; fov constant or keyed
    sm::Vec3 subject;     // the point the shot is about, kept in front of the camera
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
