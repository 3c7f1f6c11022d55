#include "anim/cameras.h"

#include <algorithm>
#include <cstring>

#include "base/binary.h"
#include "anim/properties.h"
#include "base/log.h"

AnimCamera::AnimCamera(int32_t id_) : id(id_) { sm::identity(view); }

float* AnimCamera::getViewMatrix(float* out) {
    std::memcpy(out, view, sizeof(view));
    return out;
}

float AnimCamera::fieldOfView(float time) {
    float value = fov;
    if (fovTrack) fovTrack->valueAt(time, &value);  // an empty track leaves the constant
    return value;
}

namespace {

// A flag byte, then a float constant or a track of (time, value) keys.
bool readScalar(ByteReader& in, float& constant, std::unique_ptr<TCBInterpolator<float>>& track) {
    uint8_t hasTrack;
    if (!in.readByte(hasTrack)) return false;
    if (hasTrack == 0) return in.readFloat(constant);
    int32_t keyCount;
    if (!in.readInt32(keyCount)) return false;
    if (keyCount < 0) keyCount = 0;  // "0 or less means no keys"
    if (static_cast<uint64_t>(keyCount) * 8 > in.remaining()) return false;
    track = std::make_unique<TCBInterpolator<float>>();
    for (int32_t k = 0; k < keyCount; ++k) {
        float time, value;
        in.readFloat(time);
        in.readFloat(value);
        track->addKey(time, value, false);
    }
    return true;
}

}  // namespace

std::vector<std::unique_ptr<AnimCamera>> parseCameras(const unsigned char* data, size_t size, ITransformTree* tree,
                                                       const std::string& source) {
    constexpr size_t kSmallestRecord = 4 + 1 + 4 + 1 + 4;
    std::vector<std::unique_ptr<AnimCamera>> cameras;
    ByteReader in(data, size);
    int32_t count;
    bool ok = in.readCount(count, kSmallestRecord);
    for (int32_t i = 0; ok && i < count; ++i) {
        int32_t nodeId;
        ok = in.readInt32(nodeId);
        if (!ok) break;
        auto camera = std::make_unique<AnimCamera>(nodeId);
        ok = readScalar(in, camera->fov, camera->fovTrack) && readScalar(in, camera->extra, camera->extraTrack);
        if (ok) cameras.push_back(std::move(camera));
    }
    if (!ok) {
        logError("the camera file '" + source +
                 "' is truncated or has a bad count; no animated cameras (rewrite it with the content generator)");
        return {};
    }
    for (auto& camera : cameras) {
        if (tree) {
            camera->endTime = tree->trackEnd(camera->id);
            tree->bindCamera(camera.get());
        }
    }
    std::stable_sort(cameras.begin(), cameras.end(),
                     [](const auto& a, const auto& b) { return a->endTime < b->endTime; });
    return cameras;
}

std::vector<std::unique_ptr<AnimCamera>> loadCameras(const std::string& path, ITransformTree* tree) {
    std::vector<unsigned char> bytes;
    std::vector<std::unique_ptr<AnimCamera>> cameras;
    if (readWholeFile(path, bytes))
        cameras = parseCameras(bytes.data(), bytes.size(), tree, path);
    else
        logError("couldn't read the camera file '" + path + "'; no animated cameras");
    return cameras;
}

AnimCamera* CameraChanger::select(float seconds) {
    if (cameras.empty()) return nullptr;
    while (current < cameras.size() && seconds > cameras[current]->endTime) ++current;
    return cameras[std::min(current, cameras.size() - 1)].get();
}

// ---- the editable camera ----------------------------------------------------------------

namespace {

sm::Vec3 vectorAt(const EditableProperty* p, float time) {
    if (const auto* anim = dynamic_cast<const AnimProperty*>(p))
        if (auto* track = anim->provider<sm::Vec3>()) return track->valueAt(time);
    if (const auto* value = dynamic_cast<const ValueProperty*>(p))
        if (const auto* v = std::get_if<sm::Vec3>(&value->value)) return *v;
    return sm::Vec3(0.0f, 0.0f, 0.0f);
}

float floatAt(const EditableProperty* p, float time) {
    if (const auto* anim = dynamic_cast<const AnimProperty*>(p))
        if (auto* track = anim->provider<float>()) return track->valueAt(time);
    if (const auto* value = dynamic_cast<const ValueProperty*>(p))
        if (const auto* v = std::get_if<float>(&value->value)) return *v;
    return 0.0f;
}

// A · B with column vectors: B is applied first.
void product(float* out, const float* a, const float* b) { sm::multiply(out, b, a); }

}  // namespace

EditableCamera::EditableCamera(const CameraProperty& property, const PropertyRegistry& registry)
    : name(property.name),
      id(property.id),
      positionProperty(registry.byId(property.positionId)),
      rotationProperty(registry.byId(property.rotationId)),
      scalarAProperty(registry.byId(property.scalarAId)),
      scalarBProperty(registry.byId(property.scalarBId)) {}

// The matrix of glRotatef(-r.z, z) glRotatef(-r.y, x) glRotatef(-r.x, y) glTranslatef(-p), built
// here rather than read back from OpenGL so that it needs no context.
float* EditableCamera::getViewMatrix(float* out, float time) {
    const sm::Vec3 p = position(time);
    const sm::Vec3 r = vectorAt(rotationProperty, time);
    float rz[16], rx[16], ry[16], t[16], a[16], b[16];
    sm::rotation(rz, -r.z, 0.0f, 0.0f, 1.0f);
    sm::rotation(rx, -r.y, 1.0f, 0.0f, 0.0f);
    sm::rotation(ry, -r.x, 0.0f, 1.0f, 0.0f);
    sm::translation(t, -p.x, -p.y, -p.z);
    product(a, rz, rx);
    product(b, a, ry);
    product(out, b, t);
    return out;
}

sm::Vec3 EditableCamera::position(float time) { return vectorAt(positionProperty, time); }

sm::Vec3 EditableCamera::direction(float time) {
    float view[16];
    getViewMatrix(view, time);
    return sm::transformPoint(view, sm::Vec3(0.0f, 0.0f, -1.0f));
}

float EditableCamera::scalarA(float time) { return floatAt(scalarAProperty, time); }
float EditableCamera::scalarB(float time) { return floatAt(scalarBProperty, time); }
