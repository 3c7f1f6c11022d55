#include "anim/math.h"

#include <cmath>

namespace sm {

float length(const Vec3& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

Vec3 normalized(const Vec3& v) {
    const float len = length(v);
    if (len == 0.0f) return {0.0f, 0.0f, 0.0f};
    return {v.x / len, v.y / len, v.z / len};
}

void normalize(Vec3& v) {
    const float len = length(v);
    if (len == 0.0f) return;
    v.x /= len;
    v.y /= len;
    v.z /= len;
}

Quat fromAxisAngle(float angle, float x, float y, float z) {
    const float s = std::sin(angle / 2.0f);
    Quat q(std::cos(angle / 2.0f), x * s, y * s, z * s);
    normalize(q);
    return q;
}

void toAxisAngle(const Quat& q, Vec3& axis, float& angle) {
    // Rounding can leave |w| a hair above 1 after normalising; acos would give NaN there.
    const float w = q.w > 1.0f ? 1.0f : (q.w < -1.0f ? -1.0f : q.w);
    angle = 2.0f * std::acos(w);
    if (angle == 0.0f) return;
    const float inv = 1.0f / std::sin(angle / 2.0f);
    axis = Vec3(q.v.x * inv, q.v.y * inv, q.v.z * inv);
}

void normalize(Quat& q) {
    const float len = std::sqrt(q.w * q.w + q.v.x * q.v.x + q.v.y * q.v.y + q.v.z * q.v.z);
    if (len == 0.0f) return;
    const float inv = 1.0f / len;
    q.w *= inv;
    q.v.x *= inv;
    q.v.y *= inv;
    q.v.z *= inv;
    q.v.w = 1.0f;
}

Quat multiply(const Quat& a, const Quat& b) {
    const Vec3& p = a.v;
    const Vec3& r = b.v;
    Quat out;
    out.w = a.w * b.w - (p.x * r.x + p.y * r.y + p.z * r.z);
    out.v = Vec3(a.w * r.x + p.x * b.w + (p.z * r.y - p.y * r.z), a.w * r.y + p.y * b.w + (p.x * r.z - p.z * r.x),
                 a.w * r.z + p.z * b.w + (p.y * r.x - p.x * r.y));
    return out;
}

void identity(float* m) {
    for (int i = 0; i < 16; ++i) m[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}

void multiply(float* out, const float* a, const float* b) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) sum += a[4 * i + k] * b[4 * k + j];
            out[4 * i + j] = sum;
        }
}

void inverse(float* out, const float* m) {
    float inv[16];
    inv[0] = m[5] * m[10] * m[15] - m[5] * m[11] * m[14] - m[9] * m[6] * m[15] + m[9] * m[7] * m[14] +
             m[13] * m[6] * m[11] - m[13] * m[7] * m[10];
    inv[4] = -m[4] * m[10] * m[15] + m[4] * m[11] * m[14] + m[8] * m[6] * m[15] - m[8] * m[7] * m[14] -
             m[12] * m[6] * m[11] + m[12] * m[7] * m[10];
    inv[8] = m[4] * m[9] * m[15] - m[4] * m[11] * m[13] - m[8] * m[5] * m[15] + m[8] * m[7] * m[13] +
             m[12] * m[5] * m[11] - m[12] * m[7] * m[9];
    inv[12] = -m[4] * m[9] * m[14] + m[4] * m[10] * m[13] + m[8] * m[5] * m[14] - m[8] * m[6] * m[13] -
              m[12] * m[5] * m[10] + m[12] * m[6] * m[9];
    inv[1] = -m[1] * m[10] * m[15] + m[1] * m[11] * m[14] + m[9] * m[2] * m[15] - m[9] * m[3] * m[14] -
             m[13] * m[2] * m[11] + m[13] * m[3] * m[10];
    inv[5] = m[0] * m[10] * m[15] - m[0] * m[11] * m[14] - m[8] * m[2] * m[15] + m[8] * m[3] * m[14] +
             m[12] * m[2] * m[11] - m[12] * m[3] * m[10];
    inv[9] = -m[0] * m[9] * m[15] + m[0] * m[11] * m[13] + m[8] * m[1] * m[15] - m[8] * m[3] * m[13] -
             m[12] * m[1] * m[11] + m[12] * m[3] * m[9];
    inv[13] = m[0] * m[9] * m[14] - m[0] * m[10] * m[13] - m[8] * m[1] * m[14] + m[8] * m[2] * m[13] +
              m[12] * m[1] * m[10] - m[12] * m[2] * m[9];
    inv[2] = m[1] * m[6] * m[15] - m[1] * m[7] * m[14] - m[5] * m[2] * m[15] + m[5] * m[3] * m[14] +
             m[13] * m[2] * m[7] - m[13] * m[3] * m[6];
    inv[6] = -m[0] * m[6] * m[15] + m[0] * m[7] * m[14] + m[4] * m[2] * m[15] - m[4] * m[3] * m[14] -
             m[12] * m[2] * m[7] + m[12] * m[3] * m[6];
    inv[10] = m[0] * m[5] * m[15] - m[0] * m[7] * m[13] - m[4] * m[1] * m[15] + m[4] * m[3] * m[13] +
              m[12] * m[1] * m[7] - m[12] * m[3] * m[5];
    inv[14] = -m[0] * m[5] * m[14] + m[0] * m[6] * m[13] + m[4] * m[1] * m[14] - m[4] * m[2] * m[13] -
              m[12] * m[1] * m[6] + m[12] * m[2] * m[5];
    inv[3] = -m[1] * m[6] * m[11] + m[1] * m[7] * m[10] + m[5] * m[2] * m[11] - m[5] * m[3] * m[10] -
             m[9] * m[2] * m[7] + m[9] * m[3] * m[6];
    inv[7] = m[0] * m[6] * m[11] - m[0] * m[7] * m[10] - m[4] * m[2] * m[11] + m[4] * m[3] * m[10] +
             m[8] * m[2] * m[7] - m[8] * m[3] * m[6];
    inv[11] = -m[0] * m[5] * m[11] + m[0] * m[7] * m[9] + m[4] * m[1] * m[11] - m[4] * m[3] * m[9] -
              m[8] * m[1] * m[7] + m[8] * m[3] * m[5];
    inv[15] = m[0] * m[5] * m[10] - m[0] * m[6] * m[9] - m[4] * m[1] * m[10] + m[4] * m[2] * m[9] +
              m[8] * m[1] * m[6] - m[8] * m[2] * m[5];
    const float det = m[0] * inv[0] + m[1] * inv[4] + m[2] * inv[8] + m[3] * inv[12];
    const float invDet = 1.0f / det;
    for (int i = 0; i < 16; ++i) out[i] = inv[i] * invDet;
}

void rotation(float* m, float angle, float x, float y, float z) {
    identity(m);
    const float c = std::cos(angle), s = std::sin(angle), t = 1.0f - c;
    m[0] = c + x * x * t;
    m[1] = x * y * t + z * s;
    m[2] = x * z * t - y * s;
    m[4] = x * y * t - z * s;
    m[5] = c + y * y * t;
    m[6] = y * z * t + x * s;
    m[8] = x * z * t + y * s;
    m[9] = y * z * t - x * s;
    m[10] = c + z * z * t;
}

void perspective(float* m, float fovYDegrees, float aspect, float nearPlane, float farPlane) {
    identity(m);
    const float f = 1.0f / std::tan((fovYDegrees / 180.0f * kPi) / 2.0f);
    m[0] = f / aspect;
    m[5] = f;
    m[10] = (nearPlane + farPlane) / (nearPlane - farPlane);
    m[11] = -1.0f;
    m[14] = 2.0f * farPlane * nearPlane / (nearPlane - farPlane);
    m[15] = 0.0f;
}

void translation(float* m, float x, float y, float z) {
    identity(m);
    m[12] = x;
    m[13] = y;
    m[14] = z;
}

Vec3 transformPoint(const float* m, const Vec3& p) {
    return {m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12], m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13],
            m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14]};
}

void frustumFromView(const float* view, Frustum& out, float nearPlane, float farPlane, float fovYDegrees,
                     float aspect) {
    float inv[16];
    inverse(inv, view);
    out.position = Vec3(inv[12], inv[13], inv[14]);
    out.forward = Vec3(-inv[8], -inv[9], -inv[10]);
    out.right = Vec3(inv[0], inv[1], inv[2]);
    out.up = normalized(Vec3(inv[4], inv[5], inv[6]));
    out.nearPlane = nearPlane;
    out.farPlane = farPlane;
    out.fovY = fovYDegrees * kPi / 180.0f;
    out.aspect = aspect;
    out.tanHalfFov = std::tan(out.fovY / 2.0f);
}

}  // namespace sm
