// Writers of the timeline's content files (".ani", "cameras.cam", "props.scr"). Each takes what
// the author means and encodes it so that the program's readers give exactly that back.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "anim/math.h"

// ---- node animations (".ani") ---------------------------------------------------------------

struct VectorKey {
    float time;
    sm::Vec3 value;
};

struct VectorTrack {
    sm::Vec3 constant{0.0f, 0.0f, 0.0f};
    std::vector<VectorKey> keys;  // when empty the constant is written
};

// An absolute rotation in world space (y up): `angle` radians about `axis`, right-handed.
struct RotationKey {
    float time;
    float angle;
    sm::Vec3 axis;
};

struct RotationTrack {
    float angle = 0.0f;  // the constant rotation, used when there are no keys
    sm::Vec3 axis{1.0f, 0.0f, 0.0f};
    std::vector<RotationKey> keys;
    // Makes the node a spinning one: its mesh stands still until 82.5 s and then turns about
    // the keyed axis. Each turn adds 0.5 to the spin speed (4 radians per second); the keyed
    // rotation itself is unchanged. Needs at least one key.
    int spinTurns = 0;
};

struct AnimationNode {
    int32_t nodeId = 0;
    float matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    VectorTrack position;
    RotationTrack rotation;
    VectorTrack scale{sm::Vec3(1.0f, 1.0f, 1.0f), {}};
    std::vector<AnimationNode> children;
};

// Where a camera stands and looks at one time (seconds).
struct CameraShotKey {
    float time;
    sm::Vec3 eye, target, up;
};

// A node that makes the bound camera's view the look-at view of each key at the key's time.
AnimationNode cameraNode(int32_t nodeId, const std::vector<CameraShotKey>& keys);

std::vector<unsigned char> encodeAnimation(const std::vector<AnimationNode>& roots);
bool writeAnimation(const std::string& path, const std::vector<AnimationNode>& roots);

// ---- "cameras.cam" --------------------------------------------------------------------------

struct ScalarKey {
    float time;
    float value;
};

struct CameraRecord {
    int32_t nodeId = 0;
    float fov = 1.0471976f;   // radians, when not keyed
    bool fovKeyed = false;    // write fovKeys (times in milliseconds) instead of the constant
    std::vector<ScalarKey> fovKeys;
    float extra = 10.0f;
    bool extraKeyed = false;
    std::vector<ScalarKey> extraKeys;
};

std::vector<unsigned char> encodeCameras(const std::vector<CameraRecord>& cameras);
bool writeCameras(const std::string& path, const std::vector<CameraRecord>& cameras);

// ---- "props.scr" ----------------------------------------------------------------------------

template <class T>
struct ScriptKey {
    float time;  // milliseconds
    T value;
    bool step = false;
};

// Builds the text of a property script entry by entry. Names must be non-empty single words;
// an entry with any other name is left out and makes ok() false.
class ScriptWriter {
public:
    void value(int id, const std::string& name, int v);
    void value(int id, const std::string& name, float v);
    void value(int id, const std::string& name, const sm::Vec3& v);
    // `type` 2 or 9 for int tracks.
    void track(int id, const std::string& name, const std::vector<ScriptKey<int>>& keys, int type = 2);
    void track(int id, const std::string& name, const std::vector<ScriptKey<float>>& keys);
    void track(int id, const std::string& name, const std::vector<ScriptKey<sm::Vec3>>& keys);
    void camera(int id, const std::string& name, int positionId, int rotationId, int scalarAId, int scalarBId);

    // The script, closed by "end".
    std::string text() const;
    bool ok() const { return ok_; }
    bool write(const std::string& path) const;

private:
    bool header(const char* keyword, int type, int id, const std::string& name);
    template <class T>
    void keys(const std::vector<ScriptKey<T>>& list);
    std::ostringstream out_;
    bool ok_ = true;
};
