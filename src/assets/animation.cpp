#include "assets/animation.h"

#include <cmath>
#include <cstdlib>

#include "base/binary.h"
#include "assets/model.h"

Animation::Animation() { sm::identity(matrix); }

Animation::~Animation() = default;

void Animation::bindMeshes(const std::vector<Mesh*>& meshes) {
    for (auto& child : children) child->bindMeshes(meshes);
    if (nodeId == 0) return;
    for (Mesh* mesh : meshes)
        if (mesh && mesh->nodeId() == nodeId) {
            target = mesh;
            return;
        }
}

void Animation::bindCamera(ITransformable* camera) {
    for (auto& child : children) child->bindCamera(camera);
    if (nodeId != 0 && camera && camera->nodeId() == nodeId) target = camera;
}

Animation* Animation::findNode(int32_t id) {
    if (nodeId == id) return this;
    for (auto& child : children)
        if (Animation* found = child->findNode(id)) return found;
    return nullptr;
}

namespace {

template <class T>
float lastKeyTime(const std::unique_ptr<TCBInterpolator<T>>& track) {
    if (!track || track->count() == 0) return 0.0f;
    return track->keys().back().time;
}

// A · B with column vectors: B is applied first.
void product(float* out, const float* a, const float* b) { sm::multiply(out, b, a); }

}  // namespace

float Animation::trackEnd(int32_t id) {
    const Animation* node = findNode(id);
    if (!node) return 0.0f;
    float end = 0.0f;
    for (float t : {lastKeyTime(node->positionTrack), lastKeyTime(node->rotationTrack), lastKeyTime(node->scaleTrack)})
        if (t > end) end = t;
    return end;
}

void Animation::evaluate(float t, const float* parent, float dt) {
    sm::Vec3 p = position;
    sm::Quat r = rotation;
    sm::Vec3 s = scale;
    if (positionTrack) positionTrack->valueAt(t, &p);
    if (rotationTrack) rotationTrack->valueAt(t, &r);
    if (scaleTrack) scaleTrack->valueAt(t, &s);

    sm::normalize(r);
    float angle;
    sm::toAxisAngle(r, axis, angle);  // leaves the remembered axis when the rotation is the identity

    float translate[16], rotate[16], a[16];
    sm::translation(translate, p.x, p.y, p.z);
    sm::rotation(rotate, angle, axis.x, axis.y, axis.z);
    product(a, parent, translate);

    if (target && target->isCamera()) {
        // The camera sits at the node; its view is the inverse placement, then a quarter turn
        // about x (the files are authored with z up).
        float world[16], inv[16], quarter[16];
        product(world, a, rotate);
        sm::inverse(inv, world);
        sm::rotation(quarter, 1.5707963f, 1.0f, 0.0f, 0.0f);
        product(target->transform(), quarter, inv);
        return;
    }

    float scaling[16], base[16], forChildren[16];
    sm::identity(scaling);
    scaling[0] = s.x;
    scaling[5] = s.y;
    scaling[10] = s.z;
    product(base, a, scaling);
    product(forChildren, base, rotate);

    if (target) {
        float own[16];
        const float* node = forChildren;
        if (spinning) {
            if (t > kSpinStart) {
                float spin[16];
                sm::rotation(spin, spinAngle, axis.x, axis.y, axis.z);
                product(own, base, spin);
                node = own;
            } else {
                node = base;
            }
        }
        product(target->transform(), node, matrix);
    }
    // The spin advances with the clock whether or not a mesh is bound.
    if (spinning && t > kSpinStart) spinAngle += spinSpeed * (dt * 8.0f);

    for (auto& child : children) child->evaluate(t, forChildren, dt);
}

void Animation::rewind() {
    spinAngle = 0.0f;
    axis = sm::Vec3(1.0f, 0.0f, 0.0f);
    for (auto& child : children) child->rewind();
}

// ---- reading ------------------------------------------------------------------------------

namespace {

// The smallest node record: id, matrix, three constant tracks, child count.
constexpr size_t kSmallestNode = 4 + 64 + (4 + 12) + (4 + 16) + (4 + 12) + 4;
// Deeper trees are not content; the limit keeps hostile files from exhausting the stack.
constexpr int kMaxDepth = 256;

bool readVector(ByteReader& in, sm::Vec3& v) {
    float x, y, z;
    if (!in.readFloat(x) || !in.readFloat(y) || !in.readFloat(z)) return false;
    v = sm::Vec3(x, y, z);
    return true;
}

bool readVectorTrack(ByteReader& in, sm::Vec3& constant, std::unique_ptr<TCBInterpolator<sm::Vec3>>& track) {
    int32_t keyCount;
    if (!in.readCount(keyCount, 16)) return false;
    if (keyCount == 0) return readVector(in, constant);
    track = std::make_unique<TCBInterpolator<sm::Vec3>>();
    for (int32_t k = 0; k < keyCount; ++k) {
        float time;
        sm::Vec3 v;
        in.readFloat(time);
        readVector(in, v);
        track->addKey(time, v, false);
    }
    return true;
}

// Keys are rotations relative to the previous key, about axes stored z up; the stored angle
// turns the other way round.
bool readRotationTrack(ByteReader& in, Animation& node) {
    int32_t keyCount;
    if (!in.readCount(keyCount, 20)) return false;
    if (keyCount == 0) {
        float angle;
        sm::Vec3 axis;
        if (!in.readFloat(angle) || !readVector(in, axis)) return false;
        sm::normalize(axis);
        node.rotation = sm::fromAxisAngle(-angle, axis.x, axis.y, axis.z);
        return true;
    }
    node.rotationTrack = std::make_unique<TCBInterpolator<sm::Quat>>();
    sm::Quat q;
    for (int32_t k = 0; k < keyCount; ++k) {
        float time, angle;
        sm::Vec3 stored;
        in.readFloat(time);
        in.readFloat(angle);
        readVector(in, stored);
        sm::Vec3 axis(stored.x, stored.z, -stored.y);
        sm::normalize(axis);
        const float theta = -angle;
        const float s = std::sin(theta / 2.0f);
        sm::Quat delta(std::cos(theta / 2.0f), s * axis.x, s * axis.y, s * axis.z);
        sm::normalize(delta);
        q = k == 0 ? delta : sm::multiply(q, delta);
        sm::normalize(q);
        node.rotationTrack->addKey(time, q, false);
        if (std::fabs(angle) > 7.0f) {
            node.spinning = true;
            node.spinSpeed = std::fabs(angle) / 25.132f;
        }
    }
    return true;
}

std::unique_ptr<Animation> readNode(ByteReader& in, int depth) {
    if (depth > kMaxDepth) return nullptr;
    auto node = std::make_unique<Animation>();
    if (!in.readInt32(node->nodeId)) return nullptr;
    for (float& m : node->matrix)
        if (!in.readFloat(m)) return nullptr;
    if (!readVectorTrack(in, node->position, node->positionTrack)) return nullptr;
    if (!readRotationTrack(in, *node)) return nullptr;
    if (!readVectorTrack(in, node->scale, node->scaleTrack)) return nullptr;
    int32_t childCount;
    if (!in.readCount(childCount, kSmallestNode)) return nullptr;
    for (int32_t i = 0; i < childCount; ++i) {
        auto child = readNode(in, depth + 1);
        if (!child) return nullptr;
        node->children.push_back(std::move(child));
    }
    return node;
}

}  // namespace

std::unique_ptr<Animation> parseAnimation(const unsigned char* data, size_t size) {
    ByteReader in(data, size);
    int32_t count;
    if (!in.readCount(count, kSmallestNode)) return nullptr;
    auto root = std::make_unique<Animation>();
    for (int32_t i = 0; i < count; ++i) {
        auto child = readNode(in, 1);
        if (!child) return nullptr;
        root->children.push_back(std::move(child));
    }
    return root;
}

IDisposable* AnimationLoader::load(const char* path, sm::IServiceProvider*) {
    std::vector<unsigned char> bytes;
    if (!path || !readWholeFile(path, bytes)) return nullptr;
    return parseAnimation(bytes.data(), bytes.size()).release();
}
