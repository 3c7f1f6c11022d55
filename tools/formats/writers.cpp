#include "formats/writers.h"

#include <cctype>
#include <cmath>
#include <cstdio>

#include "base/binary.h"

namespace {

// Rotations are composed in double so that the only rounding left is the reader's own.
struct QuatD {
    double w = 1, x = 0, y = 0, z = 0;
};

// The textbook Hamilton product a · b (b applied first).
QuatD hamilton(const QuatD& a, const QuatD& b) {
    return {a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z, a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
            a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x, a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w};
}

QuatD conjugate(const QuatD& q) { return {q.w, -q.x, -q.y, -q.z}; }

QuatD fromAxisAngle(double angle, const sm::Vec3& axis) {
    double len = std::sqrt(double(axis.x) * axis.x + double(axis.y) * axis.y + double(axis.z) * axis.z);
    if (len == 0) return {};
    const double s = std::sin(angle / 2) / len;
    return {std::cos(angle / 2), axis.x * s, axis.y * s, axis.z * s};
}

// Angle in 0..2π and a unit axis; (1, 0, 0) for the identity.
void toAxisAngle(const QuatD& q, double& angle, double axis[3]) {
    const double w = std::fmax(-1.0, std::fmin(1.0, q.w));
    angle = 2 * std::acos(w);
    const double len = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z);
    if (len < 1e-12) {
        angle = 0;
        axis[0] = 1, axis[1] = 0, axis[2] = 0;
        return;
    }
    axis[0] = q.x / len, axis[1] = q.y / len, axis[2] = q.z / len;
}

// Rotation matrix (row r, column c as m[r][c]) to a unit quaternion.
QuatD fromMatrix(const double m[3][3]) {
    QuatD q;
    const double trace = m[0][0] + m[1][1] + m[2][2];
    if (trace > 0) {
        const double s = std::sqrt(trace + 1.0) * 2;
        q = {0.25 * s, (m[2][1] - m[1][2]) / s, (m[0][2] - m[2][0]) / s, (m[1][0] - m[0][1]) / s};
    } else if (m[0][0] > m[1][1] && m[0][0] > m[2][2]) {
        const double s = std::sqrt(1.0 + m[0][0] - m[1][1] - m[2][2]) * 2;
        q = {(m[2][1] - m[1][2]) / s, 0.25 * s, (m[0][1] + m[1][0]) / s, (m[0][2] + m[2][0]) / s};
    } else if (m[1][1] > m[2][2]) {
        const double s = std::sqrt(1.0 + m[1][1] - m[0][0] - m[2][2]) * 2;
        q = {(m[0][2] - m[2][0]) / s, (m[0][1] + m[1][0]) / s, 0.25 * s, (m[1][2] + m[2][1]) / s};
    } else {
        const double s = std::sqrt(1.0 + m[2][2] - m[0][0] - m[1][1]) * 2;
        q = {(m[1][0] - m[0][1]) / s, (m[0][2] + m[2][0]) / s, (m[1][2] + m[2][1]) / s, 0.25 * s};
    }
    return q;
}

void writeVectorTrack(ByteWriter& out, const VectorTrack& track) {
    out.int32(static_cast<int32_t>(track.keys.size()));
    if (track.keys.empty()) {
        out.float32(track.constant.x);
        out.float32(track.constant.y);
        out.float32(track.constant.z);
        return;
    }
    for (const VectorKey& key : track.keys) {
        out.float32(key.time);
        out.float32(key.value.x);
        out.float32(key.value.y);
        out.float32(key.value.z);
    }
}

// The reader turns a constant the other way round and keeps its axis as stored; keys are
// relative to the previous key, negated, about axes stored z up as (x, -z, y).
void writeRotationTrack(ByteWriter& out, const RotationTrack& track) {
    out.int32(static_cast<int32_t>(track.keys.size()));
    if (track.keys.empty()) {
        out.float32(-track.angle);
        out.float32(track.axis.x);
        out.float32(track.axis.y);
        out.float32(track.axis.z);
        return;
    }
    QuatD previous;
    for (size_t k = 0; k < track.keys.size(); ++k) {
        const RotationKey& key = track.keys[k];
        QuatD q = fromAxisAngle(key.angle, key.axis);
        // The track blends the four numbers, so neighbours take the same sign.
        if (k > 0 && q.w * previous.w + q.x * previous.x + q.y * previous.y + q.z * previous.z < 0)
            q = {-q.w, -q.x, -q.y, -q.z};
        const QuatD delta = k == 0 ? q : hamilton(q, conjugate(previous));
        previous = q;
        double angle, axis[3];
        toAxisAngle(delta, angle, axis);
        // Whole double turns leave the quaternion as it is and set the spin speed.
        if (k + 1 == track.keys.size()) angle += 4.0 * M_PI * track.spinTurns;
        out.float32(key.time);
        out.float32(static_cast<float>(-angle));
        out.float32(static_cast<float>(axis[0]));
        out.float32(static_cast<float>(-axis[2]));
        out.float32(static_cast<float>(axis[1]));
    }
}

void writeNode(ByteWriter& out, const AnimationNode& node) {
    out.int32(node.nodeId);
    for (float m : node.matrix) out.float32(m);
    writeVectorTrack(out, node.position);
    writeRotationTrack(out, node.rotation);
    writeVectorTrack(out, node.scale);
    out.int32(static_cast<int32_t>(node.children.size()));
    for (const AnimationNode& child : node.children) writeNode(out, child);
}

}  // namespace

AnimationNode cameraNode(int32_t nodeId, const std::vector<CameraShotKey>& keys) {
    AnimationNode node;
    node.nodeId = nodeId;
    for (const CameraShotKey& key : keys) {
        // Camera space to world: columns right, up, back; the reader's view adds a quarter
        // turn about x after the inverse placement, so the node carries placement · quarter.
        double f[3] = {double(key.target.x) - key.eye.x, double(key.target.y) - key.eye.y,
                       double(key.target.z) - key.eye.z};
        const double fl = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
        for (double& c : f) c /= fl;
        const double up[3] = {key.up.x, key.up.y, key.up.z};
        double s[3] = {f[1] * up[2] - f[2] * up[1], f[2] * up[0] - f[0] * up[2], f[0] * up[1] - f[1] * up[0]};
        const double sl = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
        for (double& c : s) c /= sl;
        const double u[3] = {s[1] * f[2] - s[2] * f[1], s[2] * f[0] - s[0] * f[2], s[0] * f[1] - s[1] * f[0]};
        // placement columns (s, u, -f) times the quarter turn: columns (s, -f, -u).
        double m[3][3];
        for (int r = 0; r < 3; ++r) {
            m[r][0] = s[r];
            m[r][1] = -f[r];
            m[r][2] = -u[r];
        }
        const QuatD q = fromMatrix(m);
        double angle, axis[3];
        toAxisAngle(q, angle, axis);
        node.rotation.keys.push_back(
            {key.time, static_cast<float>(angle),
             sm::Vec3(static_cast<float>(axis[0]), static_cast<float>(axis[1]), static_cast<float>(axis[2]))});
        node.position.keys.push_back({key.time, key.eye});
    }
    return node;
}

std::vector<unsigned char> encodeAnimation(const std::vector<AnimationNode>& roots) {
    ByteWriter out;
    out.int32(static_cast<int32_t>(roots.size()));
    for (const AnimationNode& node : roots) writeNode(out, node);
    return out.bytes();
}

bool writeAnimation(const std::string& path, const std::vector<AnimationNode>& roots) {
    return writeWholeFile(path, encodeAnimation(roots));
}

// ---- cameras.cam ----------------------------------------------------------------------------

namespace {

void writeScalar(ByteWriter& out, bool keyed, float constant, const std::vector<ScalarKey>& keys) {
    out.byte(keyed ? 1 : 0);
    if (!keyed) {
        out.float32(constant);
        return;
    }
    out.int32(static_cast<int32_t>(keys.size()));
    for (const ScalarKey& key : keys) {
        out.float32(key.time);
        out.float32(key.value);
    }
}

}  // namespace

std::vector<unsigned char> encodeCameras(const std::vector<CameraRecord>& cameras) {
    ByteWriter out;
    out.int32(static_cast<int32_t>(cameras.size()));
    for (const CameraRecord& camera : cameras) {
        out.int32(camera.nodeId);
        writeScalar(out, camera.fovKeyed, camera.fov, camera.fovKeys);
        writeScalar(out, camera.extraKeyed, camera.extra, camera.extraKeys);
    }
    return out.bytes();
}

bool writeCameras(const std::string& path, const std::vector<CameraRecord>& cameras) {
    return writeWholeFile(path, encodeCameras(cameras));
}

// ---- props.scr ------------------------------------------------------------------------------

namespace {

// Nine significant digits give back the same float when read.
std::string number(float v) {
    char text[32];
    std::snprintf(text, sizeof(text), "%.9g", static_cast<double>(v));
    return text;
}

std::string valueText(int v) { return std::to_string(v); }
std::string valueText(float v) { return number(v); }
std::string valueText(const sm::Vec3& v) { return number(v.x) + " " + number(v.y) + " " + number(v.z); }

bool finite(int) { return true; }
bool finite(float v) { return std::isfinite(v); }
bool finite(const sm::Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

}  // namespace

bool ScriptWriter::header(const char* keyword, int type, int id, const std::string& name) {
    bool single = !name.empty() && name != "end" && name != "endkeys";
    for (unsigned char c : name)
        if (std::isspace(c)) single = false;
    if (!single) {
        ok_ = false;
        return false;
    }
    out_ << keyword << ' ' << type << ' ' << id << " 0 " << name;
    return true;
}

void ScriptWriter::value(int id, const std::string& name, int v) {
    if (header("ValueProperty", 2, id, name)) out_ << ' ' << valueText(v) << '\n';
}

void ScriptWriter::value(int id, const std::string& name, float v) {
    if (!finite(v)) ok_ = false;
    else if (header("ValueProperty", 3, id, name)) out_ << ' ' << valueText(v) << '\n';
}

void ScriptWriter::value(int id, const std::string& name, const sm::Vec3& v) {
    if (!finite(v)) ok_ = false;
    else if (header("ValueProperty", 5, id, name)) out_ << ' ' << valueText(v) << '\n';
}

template <class T>
void ScriptWriter::keys(const std::vector<ScriptKey<T>>& list) {
    out_ << '\n';
    for (const ScriptKey<T>& key : list) out_ << "  key " << number(key.time) << ' ' << (key.step ? 1 : 0) << ' ' << valueText(key.value) << '\n';
    out_ << "endkeys\n";
}

namespace {
template <class T>
bool allFinite(const std::vector<ScriptKey<T>>& list) {
    for (const auto& key : list)
        if (!std::isfinite(key.time) || !finite(key.value)) return false;
    return true;
}
}  // namespace

void ScriptWriter::track(int id, const std::string& name, const std::vector<ScriptKey<int>>& list, int type) {
    if (type != 2 && type != 9) ok_ = false;
    else if (!allFinite(list)) ok_ = false;
    else if (header("AnimProperty", type, id, name)) keys(list);
}

void ScriptWriter::track(int id, const std::string& name, const std::vector<ScriptKey<float>>& list) {
    if (!allFinite(list)) ok_ = false;
    else if (header("AnimProperty", 3, id, name)) keys(list);
}

void ScriptWriter::track(int id, const std::string& name, const std::vector<ScriptKey<sm::Vec3>>& list) {
    if (!allFinite(list)) ok_ = false;
    else if (header("AnimProperty", 5, id, name)) keys(list);
}

void ScriptWriter::camera(int id, const std::string& name, int positionId, int rotationId, int scalarAId,
                          int scalarBId) {
    if (header("CameraProperty", 0, id, name))
        out_ << ' ' << positionId << ' ' << rotationId << ' ' << scalarAId << ' ' << scalarBId << '\n';
}

std::string ScriptWriter::text() const { return out_.str() + "end\n"; }

bool ScriptWriter::write(const std::string& path) const {
    const std::string t = text();
    return ok_ && writeWholeFile(path, std::vector<unsigned char>(t.begin(), t.end()));
}
