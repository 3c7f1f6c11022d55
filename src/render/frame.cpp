#include "render/frame.h"

#include "base/random.h"
#include "assets/material.h"
#include "assets/model.h"

namespace {

void addParts(PartList& out, Model* model) {
    if (model) collectParts(out, model->meshes);
}

void markNoCull(const std::vector<Mesh*>& meshes, bool all) {
    for (Mesh* mesh : meshes)
        if (all || mesh->name.compare(0, 7, "credits") == 0)
            for (MeshPart* part : mesh->parts) part->noCull = true;
}

}  // namespace

PartLists buildPartLists(Model* factory, Model* wheels, Model* winda) {
    PartLists lists;
    addParts(lists.scene, factory);
    addParts(lists.scene, wheels);
    addParts(lists.scene, winda);
    if (winda) markNoCull(winda->meshes, true);
    for (MeshPart* part : lists.scene) {
        const Material* m = part->material;
        const bool glow = m && m->name.compare(0, 4, "glow") == 0;
        (glow ? lists.glow : lists.nonGlow).push_back(part);
    }
    for (MeshPart* part : lists.scene) {
        const Material* m = part->material;
        (!m || m->opacity >= 1.0f ? lists.opaque : lists.transparent).push_back(part);
    }
    for (Model* model : {factory, wheels, winda})
        if (model) markNoCull(model->meshes, false);
    return lists;
}

bool boxVisible(const sm::Frustum& f, const Box& box, const float* world) {
    bool nearOk = false, farOk = false, belowTop = false, aboveBottom = false, leftOfRight = false,
         rightOfLeft = false;
    for (int i = 0; i < 8; ++i) {
        const sm::Vec3 corner = world ? sm::transformPoint(world, boxCorner(box, i)) : boxCorner(box, i);
        const sm::Vec3 v = corner - f.position;
        const float z = sm::dot(v, f.forward);
        const float y = sm::dot(v, f.up);
        const float x = sm::dot(v, f.right);
        const float h = z * f.tanHalfFov;
        const float w = h * f.aspect;
        nearOk = nearOk || z > f.nearPlane;
        farOk = farOk || z < f.farPlane;
        belowTop = belowTop || y < h;
        aboveBottom = aboveBottom || y > -h;
        leftOfRight = leftOfRight || x < w;
        rightOfLeft = rightOfLeft || x > -w;
    }
    return nearOk && farOk && belowTop && aboveBottom && leftOfRight && rightOfLeft;
}

bool partInView(const MeshPart* part, const sm::Frustum& frustum) {
    return part->noCull || boxVisible(frustum, part->box, part->mesh ? part->mesh->matrix : nullptr);
}

void cullParts(const PartList& parts, const sm::Frustum& frustum) {
    for (MeshPart* part : parts)
        if (!part->noCull) part->visible = partInView(part, frustum);
}

float CameraCutFade::step(bool scriptedCamera, float shotEnd, float t, float dt) {
    if (!scriptedCamera) return 1.0f;
    if (shotEnd - 0.3f < t / 1000.0f) rate = -1.0f;
    value += dt / 300.0f * rate;
    if (value >= 1.0f) {
        value = 1.0f;
    } else if (value <= 0.0f) {
        value = 0.0f;
        rate = 0.2f;
    }
    return value;
}

CameraFrame cameraFrame(const float* view) {
    float camera[16];
    sm::inverse(camera, view);
    CameraFrame f;
    f.eye = sm::Vec3(camera[12], camera[13], camera[14]);
    f.right = sm::Vec3(camera[0], camera[1], camera[2]);
    f.up = sm::Vec3(camera[4], camera[5], camera[6]);
    f.back = sm::Vec3(camera[8], camera[9], camera[10]);
    return f;
}

void lightViewOf(float* out, const float* view) {
    const CameraFrame f = cameraFrame(view);
    const sm::Vec3 d = 2.0f * f.right + sm::Vec3(0.0f, -2.0f, 0.0f) + f.back;
    float shift[16];
    sm::translation(shift, d.x, d.y, d.z);
    sm::multiply(out, shift, view);  // view x T(d): the shift applies first
}

void shakeView(float* out, const float* cameraView, float shake, Random& random) {
    if (shake == 0.0f) {
        for (int i = 0; i < 16; ++i) out[i] = cameraView[i];
        return;
    }
    const float r1 = static_cast<float>(random.next()) / Random::kMax * 2.0f - 1.0f;
    const float r2 = static_cast<float>(random.next()) / Random::kMax * 2.0f - 1.0f;
    const float r3 = static_cast<float>(random.next()) / Random::kMax * 2.0f - 1.0f;
    const float r4 = static_cast<float>(random.next()) / Random::kMax * 0.1f;
    sm::Vec3 axis(r3, r2, r1);
    const float length = sm::length(axis);
    if (length == 0.0f) {  // no axis, no turn (a rotation about a zero axis would scale the view)
        for (int i = 0; i < 16; ++i) out[i] = cameraView[i];
        return;
    }
    axis = axis * (1.0f / length);
    float rotate[16];
    sm::rotation(rotate, shake * r4, axis.x, axis.y, axis.z);
    sm::multiply(out, cameraView, rotate);  // R x view: the camera view applies first
}

void withOpacity(const PartList& parts, float opacity, const std::function<void()>& draw) {
    std::vector<float> kept;
    kept.reserve(parts.size());
    for (MeshPart* part : parts) kept.push_back(part->material ? part->material->opacity : 0.0f);
    for (MeshPart* part : parts)
        if (part->material) part->material->opacity = opacity;
    draw();
    for (size_t i = 0; i < parts.size(); ++i)
        if (parts[i]->material) parts[i]->material->opacity = kept[i];
}
