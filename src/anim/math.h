// The single-precision math kit: vectors with a homogeneous fourth component, quaternions
// (scalar first) and 4x4 matrices as 16 floats in OpenGL's column-major order
// (m[4c + r] is row r, column c). Angles are radians unless a name says degrees.
#pragma once

namespace sm {

constexpr float kPi = 3.1415927f;

struct Vec3 {
    float x = 0.0f, y = 0.0f, z = 0.0f, w = 1.0f;
    Vec3() = default;
    Vec3(float x_, float y_, float z_) : x(x_), y(y_), z(z_), w(1.0f) {}
};

inline Vec3 operator+(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(const Vec3& a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline Vec3 operator*(float s, const Vec3& a) { return a * s; }
inline float dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
float length(const Vec3& v);
// A unit copy; a zero vector gives (0, 0, 0, 1).
Vec3 normalized(const Vec3& v);
// Normalises x, y, z in place; a zero vector is left as it is and w is not touched.
void normalize(Vec3& v);

struct Quat {
    float w = 1.0f;
    Vec3 v{0.0f, 0.0f, 0.0f};
    Quat() = default;
    Quat(float w_, float x, float y, float z) : w(w_), v(x, y, z) {}
};

Quat fromAxisAngle(float angle, float x, float y, float z);
// angle = 2 acos(w), always written; the axis is left untouched when the angle is exactly 0.
void toAxisAngle(const Quat& q, Vec3& axis, float& angle);
void normalize(Quat& q);
// The reverse of the textbook Hamilton product: multiply(a, b) == b * a. Node animations
// accumulate relative rotation keys in this order.
Quat multiply(const Quat& a, const Quat& b);

void identity(float* m);
// out = a then b (a point is transformed by a first). `out` must not alias an input.
void multiply(float* out, const float* a, const float* b);
// General cofactor inverse; a singular matrix gives non-finite numbers.
void inverse(float* out, const float* m);
// The matrix glRotatef builds, for a unit axis.
void rotation(float* m, float angle, float x, float y, float z);
// The matrix gluPerspective builds.
void perspective(float* m, float fovYDegrees, float aspect, float nearPlane, float farPlane);
void translation(float* m, float x, float y, float z);
// Transforms a point (w = 1) by a column-major matrix.
Vec3 transformPoint(const float* m, const Vec3& p);

inline float toRadians(float degrees) { return degrees * kPi / 180.0f; }
inline float toDegrees(float radians) { return radians * 180.0f / kPi; }

struct Frustum {
    Vec3 position, forward, right, up;
    float nearPlane = 1.0f, farPlane = 200.0f;
    float fovY = 0.0f;  // radians
    float aspect = 1.0f;
    float tanHalfFov = 0.0f;
};

void frustumFromView(const float* view, Frustum& out, float nearPlane, float farPlane, float fovYDegrees,
                     float aspect);

}  // namespace sm
