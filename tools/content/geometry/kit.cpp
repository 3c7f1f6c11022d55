#include "content/geometry/kit.h"

#include <GL/glu.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <unordered_map>

namespace geo {

namespace {

constexpr float kTwoPi = 2.0f * sm::kPi;

Vec anyPerpendicular(const Vec& n) {
    const Vec helper = std::fabs(n.x) < 0.9f ? Vec(1, 0, 0) : Vec(0, 1, 0);
    return sm::normalized(sm::cross(helper, n));
}

GeoVertex vertex(const Vec& p, const Vec& n, float u, float v) {
    GeoVertex out;
    out.position = p;
    out.normal = n;
    out.uv[0] = u;
    out.uv[1] = v;
    return out;
}

// Appends a triangle whose winding agrees with its vertex normals (degenerate ones are
// dropped), so smooth primitives need not get their vertex order right by hand.
void emitOriented(Tris& out, GeoVertex a, GeoVertex b, GeoVertex c) {
    const Vec face = sm::cross(b.position - a.position, c.position - a.position);
    if (sm::dot(face, face) < 1e-14f) return;
    if (sm::dot(face, a.normal + b.normal + c.normal) < 0.0f) std::swap(b, c);
    out.push_back(a);
    out.push_back(b);
    out.push_back(c);
}

void emitQuadOriented(Tris& out, const GeoVertex& a, const GeoVertex& b, const GeoVertex& c, const GeoVertex& d) {
    emitOriented(out, a, b, c);
    emitOriented(out, a, c, d);
}

float determinant3(const Affine& a) {
    const Vec c0(a.m[0], a.m[1], a.m[2]), c1(a.m[4], a.m[5], a.m[6]), c2(a.m[8], a.m[9], a.m[10]);
    return sm::dot(c0, sm::cross(c1, c2));
}

}  // namespace

Tris& partOf(GeoMesh& mesh, const std::string& material) {
    for (GeoPart& part : mesh.parts)
        if (part.materialName == material) return part.vertices;
    // Room is kept so that references handed out earlier stay valid while the mesh grows.
    if (mesh.parts.capacity() < kMaxPartsPerMesh) mesh.parts.reserve(kMaxPartsPerMesh);
    if (mesh.parts.size() == kMaxPartsPerMesh)
        throw std::logic_error("mesh '" + mesh.name + "' wants more than " + std::to_string(kMaxPartsPerMesh) +
                               " materials; split it into several meshes");
    mesh.parts.push_back(GeoPart{material, {}});
    return mesh.parts.back().vertices;
}

size_t triangleCount(const GeoMesh& mesh) {
    size_t n = 0;
    for (const GeoPart& part : mesh.parts) n += part.vertices.size() / 3;
    return n;
}

size_t triangleCount(const GeoModel& model) {
    size_t n = 0;
    for (const GeoMesh& mesh : model.meshes) n += triangleCount(mesh);
    return n;
}

// ---- placements ----

Affine identityAffine() {
    Affine a;
    sm::identity(a.m);
    return a;
}

Affine translate(float x, float y, float z) {
    Affine a;
    sm::translation(a.m, x, y, z);
    return a;
}

Affine translate(const Vec& v) { return translate(v.x, v.y, v.z); }

Affine rotate(float angle, const Vec& axis) {
    const Vec n = sm::normalized(axis);
    Affine a;
    sm::rotation(a.m, angle, n.x, n.y, n.z);
    return a;
}

Affine scale(float x, float y, float z) {
    Affine a = identityAffine();
    a.m[0] = x;
    a.m[5] = y;
    a.m[10] = z;
    return a;
}

Affine then(const Affine& first, const Affine& second) {
    Affine out;
    sm::multiply(out.m, first.m, second.m);
    return out;
}

Affine basis(const Vec& origin, const Vec& xAxis, const Vec& yAxis, const Vec& zAxis) {
    Affine a = identityAffine();
    const Vec cols[4] = {xAxis, yAxis, zAxis, origin};
    for (int c = 0; c < 4; ++c) {
        a.m[4 * c + 0] = cols[c].x;
        a.m[4 * c + 1] = cols[c].y;
        a.m[4 * c + 2] = cols[c].z;
    }
    return a;
}

Vec applyPoint(const Affine& a, const Vec& p) { return sm::transformPoint(a.m, p); }

Vec applyNormal(const Affine& a, const Vec& n) {
    const Vec c0(a.m[0], a.m[1], a.m[2]), c1(a.m[4], a.m[5], a.m[6]), c2(a.m[8], a.m[9], a.m[10]);
    // Rows of the inverse transpose up to 1/det: the cofactor columns.
    const Vec r = sm::cross(c1, c2) * n.x + sm::cross(c2, c0) * n.y + sm::cross(c0, c1) * n.z;
    const float sign = determinant3(a) < 0.0f ? -1.0f : 1.0f;
    return sm::normalized(r * sign);
}

void appendTransformed(Tris& out, const Tris& local, const Affine& a) {
    const bool mirrors = determinant3(a) < 0.0f;
    const size_t start = out.size();
    for (const GeoVertex& v : local) {
        GeoVertex w = v;
        w.position = applyPoint(a, v.position);
        w.normal = applyNormal(a, v.normal);
        out.push_back(w);
    }
    if (mirrors)
        for (size_t i = start; i + 2 < out.size(); i += 3) std::swap(out[i + 1], out[i + 2]);
}

// ---- primitives ----

void addTriangle(Tris& out, const Vec& a, const Vec& b, const Vec& c, float ua, float va, float ub, float vb,
                 float uc, float vc) {
    const Vec n = sm::normalized(sm::cross(b - a, c - a));
    out.push_back(vertex(a, n, ua, va));
    out.push_back(vertex(b, n, ub, vb));
    out.push_back(vertex(c, n, uc, vc));
}

void addQuad(Tris& out, const Vec& a, const Vec& b, const Vec& c, const Vec& d, float u0, float v0, float u1,
             float v1) {
    const Vec n = sm::normalized(sm::cross(b - a, c - a));
    const GeoVertex va = vertex(a, n, u0, v0), vb = vertex(b, n, u1, v0), vc = vertex(c, n, u1, v1),
                    vd = vertex(d, n, u0, v1);
    out.insert(out.end(), {va, vb, vc, va, vc, vd});
}

void addBox(Tris& out, const Affine& at, const Vec& size, float uvScale) {
    // Each face: outward normal n and in-plane axes a, b with a x b = n.
    struct Face {
        Vec n, a, b;
    };
    static const Face faces[6] = {
        {{1, 0, 0}, {0, 0, -1}, {0, 1, 0}},  {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
        {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},   {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}},
        {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}},  {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
    };
    const Vec half = size * 0.5f;
    auto mul = [](const Vec& p, const Vec& q) { return Vec(p.x * q.x, p.y * q.y, p.z * q.z); };
    auto extent = [&](const Vec& axis) { return std::fabs(sm::dot(axis, size)); };
    Tris local;
    for (const Face& f : faces) {
        const Vec c = mul(f.n, half), a = mul(f.a, half), b = mul(f.b, half);
        const float ua = extent(f.a) * uvScale, vb = extent(f.b) * uvScale;
        addQuad(local, c - a - b, c + a - b, c + a + b, c - a + b, 0, 0, ua, vb);
    }
    appendTransformed(out, local, at);
}

void addBoxBetween(Tris& out, const Vec& lo, const Vec& hi, float uvScale) {
    addBox(out, translate((lo + hi) * 0.5f), Vec(std::fabs(hi.x - lo.x), std::fabs(hi.y - lo.y), std::fabs(hi.z - lo.z)),
           uvScale);
}

void addBeam(Tris& out, const Vec& a, const Vec& b, float t, float uvScale) {
    const Vec d = b - a;
    const float len = sm::length(d);
    if (len < 1e-6f) return;
    const Vec z = d * (1.0f / len);
    const Vec x = anyPerpendicular(z);
    const Vec y = sm::cross(z, x);
    addBox(out, basis((a + b) * 0.5f, x, y, z), Vec(t, t, len), uvScale);
}

void addCylinder(Tris& out, const Affine& at, float radius, float height, int segments, bool caps, float uvScale) {
    Tris local;
    const float uRepeats = std::max(1.0f, std::round(kTwoPi * radius * uvScale));
    for (int i = 0; i < segments; ++i) {
        const float t0 = kTwoPi * i / segments, t1 = kTwoPi * (i + 1) / segments;
        const Vec n0(std::sin(t0), 0, std::cos(t0)), n1(std::sin(t1), 0, std::cos(t1));
        const float u0 = uRepeats * i / segments, u1 = uRepeats * (i + 1) / segments;
        const float v1 = height * uvScale;
        emitQuadOriented(local, vertex(n0 * radius, n0, u0, 0), vertex(n1 * radius, n1, u1, 0),
                         vertex(n1 * radius + Vec(0, height, 0), n1, u1, v1),
                         vertex(n0 * radius + Vec(0, height, 0), n0, u0, v1));
        if (caps) {
            const Vec up(0, 1, 0), down(0, -1, 0), top(0, height, 0);
            auto capUv = [&](const Vec& n) { return std::array<float, 2>{n.x * radius * uvScale, n.z * radius * uvScale}; };
            const auto c0 = capUv(n0), c1 = capUv(n1);
            emitOriented(local, vertex(top, up, 0, 0), vertex(top + n0 * radius, up, c0[0], c0[1]),
                         vertex(top + n1 * radius, up, c1[0], c1[1]));
            emitOriented(local, vertex(Vec(0, 0, 0), down, 0, 0), vertex(n0 * radius, down, c0[0], c0[1]),
                         vertex(n1 * radius, down, c1[0], c1[1]));
        }
    }
    appendTransformed(out, local, at);
}

void addTorus(Tris& out, const Affine& at, float major, float minor, int majorSegments, int minorSegments) {
    Tris local;
    auto point = [&](int i, int k) {
        const float phi = kTwoPi * i / majorSegments, psi = kTwoPi * k / minorSegments;
        const Vec d(std::sin(phi), 0, std::cos(phi));
        const Vec n = d * std::cos(psi) + Vec(0, std::sin(psi), 0);
        return vertex(d * major + n * minor, n, static_cast<float>(i) / majorSegments * 4.0f,
                      static_cast<float>(k) / minorSegments);
    };
    for (int i = 0; i < majorSegments; ++i)
        for (int k = 0; k < minorSegments; ++k)
            emitQuadOriented(local, point(i, k), point(i + 1, k), point(i + 1, k + 1), point(i, k + 1));
    appendTransformed(out, local, at);
}

void addPipe(Tris& out, const std::vector<Vec>& pathIn, float radius, int segments, float uvScale) {
    std::vector<Vec> rawPath;
    for (const Vec& p : pathIn)
        if (rawPath.empty() || sm::length(p - rawPath.back()) > 1e-4f) rawPath.push_back(p);
    if (rawPath.size() < 2) return;
    // Round every corner with a short arc so the rings never pinch.
    std::vector<Vec> path{rawPath.front()};
    const float bend = radius * 2.5f;
    for (size_t i = 1; i + 1 < rawPath.size(); ++i) {
        const Vec p = rawPath[i];
        const Vec din = p - rawPath[i - 1], dout = rawPath[i + 1] - p;
        const float lin = sm::length(din), lout = sm::length(dout);
        const float r = std::min(bend, 0.45f * std::min(lin, lout));
        const Vec a = p - din * (r / lin), b = p + dout * (r / lout);
        const int steps = 6;
        for (int s = 0; s <= steps; ++s) {
            const float t = static_cast<float>(s) / steps;
            path.push_back(a * ((1 - t) * (1 - t)) + p * (2 * t * (1 - t)) + b * (t * t));
        }
    }
    path.push_back(rawPath.back());

    const size_t n = path.size();
    std::vector<Vec> tangents(n), normals(n), binormals(n);
    std::vector<float> along(n, 0.0f);
    for (size_t i = 0; i < n; ++i) {
        const Vec prev = i > 0 ? sm::normalized(path[i] - path[i - 1]) : Vec(0, 0, 0);
        const Vec next = i + 1 < n ? sm::normalized(path[i + 1] - path[i]) : Vec(0, 0, 0);
        tangents[i] = sm::normalized(prev + next);
        if (i > 0) along[i] = along[i - 1] + sm::length(path[i] - path[i - 1]);
    }
    normals[0] = anyPerpendicular(tangents[0]);
    for (size_t i = 0; i < n; ++i) {
        if (i > 0) {  // carry the previous frame along (parallel transport)
            Vec m = normals[i - 1] - tangents[i] * sm::dot(normals[i - 1], tangents[i]);
            normals[i] = sm::length(m) > 1e-5f ? sm::normalized(m) : anyPerpendicular(tangents[i]);
        }
        binormals[i] = sm::cross(tangents[i], normals[i]);
    }
    auto ring = [&](size_t i, int k) {
        const float psi = kTwoPi * k / segments;
        const Vec nrm = normals[i] * std::cos(psi) + binormals[i] * std::sin(psi);
        return vertex(path[i] + nrm * radius, nrm, along[i] * uvScale, static_cast<float>(k) / segments);
    };
    for (size_t i = 0; i + 1 < n; ++i)
        for (int k = 0; k < segments; ++k) emitQuadOriented(out, ring(i, k), ring(i + 1, k), ring(i + 1, k + 1), ring(i, k + 1));
    // End caps.
    for (int end = 0; end < 2; ++end) {
        const size_t i = end == 0 ? 0 : n - 1;
        const Vec nrm = end == 0 ? tangents[0] * -1.0f : tangents[n - 1];
        for (int k = 0; k < segments; ++k) {
            GeoVertex a = ring(i, k), b = ring(i, k + 1);
            a.normal = b.normal = nrm;
            emitOriented(out, vertex(path[i], nrm, 0.5f, 0.5f), a, b);
        }
    }
}

void addLathe(Tris& out, const Affine& at, const std::vector<ProfilePoint>& profile, int segments, float creaseDegrees) {
    const size_t n = profile.size();
    if (n < 2) return;
    // Outward normal of each profile segment in the (r, y) plane, for a profile running upward.
    std::vector<std::array<float, 2>> segNormal(n - 1);
    std::vector<float> along(n, 0.0f);
    for (size_t j = 0; j + 1 < n; ++j) {
        const float dr = profile[j + 1].r - profile[j].r, dy = profile[j + 1].y - profile[j].y;
        const float len = std::sqrt(dr * dr + dy * dy);
        segNormal[j] = len > 0 ? std::array<float, 2>{dy / len, -dr / len} : std::array<float, 2>{1, 0};
        along[j + 1] = along[j] + len;
    }
    const float total = std::max(along[n - 1], 1e-6f);
    const float cosCrease = std::cos(creaseDegrees * sm::kPi / 180.0f);
    // The normal a segment uses at one of its ends: shared with the neighbour unless creased.
    auto endNormal = [&](size_t seg, size_t point) {
        std::array<float, 2> nrm = segNormal[seg];
        const size_t other = point == seg ? seg - 1 : seg + 1;  // the neighbouring segment at that point
        const bool hasOther = point == seg ? seg > 0 : seg + 1 < n - 1;
        if (hasOther) {
            const auto& o = segNormal[other];
            if (nrm[0] * o[0] + nrm[1] * o[1] >= cosCrease || profile[point].r < 1e-6f) {
                const float r = nrm[0] + o[0], y = nrm[1] + o[1];
                const float len = std::sqrt(r * r + y * y);
                if (len > 1e-6f) nrm = {r / len, y / len};
            }
        }
        return nrm;
    };
    Tris local;
    for (size_t j = 0; j + 1 < n; ++j) {
        const auto n0 = endNormal(j, j), n1 = endNormal(j, j + 1);
        for (int k = 0; k < segments; ++k) {
            auto at2 = [&](size_t p, const std::array<float, 2>& nrm, int kk) {
                const float t = kTwoPi * kk / segments;
                const Vec d(std::sin(t), 0, std::cos(t));
                return vertex(d * profile[p].r + Vec(0, profile[p].y, 0), sm::normalized(d * nrm[0] + Vec(0, nrm[1], 0)),
                              static_cast<float>(kk) / segments, along[p] / total);
            };
            emitQuadOriented(local, at2(j, n0, k), at2(j, n0, k + 1), at2(j + 1, n1, k + 1), at2(j + 1, n1, k));
        }
    }
    appendTransformed(out, local, at);
}

void addSphere(Tris& out, const Affine& at, float radius, int segments, int rings) {
    std::vector<ProfilePoint> profile;
    for (int i = 0; i <= rings; ++i) {
        const float a = -sm::kPi / 2 + sm::kPi * i / rings;
        profile.push_back({radius * std::cos(a), radius * std::sin(a)});
    }
    profile.front().r = profile.back().r = 0.0f;
    addLathe(out, at, profile, segments, 90.0f);
}

// ---- extrusion ----

namespace {

struct TessContext {
    std::vector<std::array<double, 3>*> owned;  // vertices made by the combine callback
    std::vector<std::array<double, 2>> triangles;
    bool failed = false;
};

void GLAPIENTRY tessBegin(GLenum, void*) {}
void GLAPIENTRY tessEdgeFlag(GLboolean, void*) {}  // its presence makes GLU emit plain triangles
void GLAPIENTRY tessVertex(void* data, void* user) {
    auto* ctx = static_cast<TessContext*>(user);
    const auto* p = static_cast<const std::array<double, 3>*>(data);
    ctx->triangles.push_back({(*p)[0], (*p)[1]});
}
void GLAPIENTRY tessCombine(GLdouble coords[3], void*[4], GLfloat[4], void** outData, void* user) {
    auto* ctx = static_cast<TessContext*>(user);
    auto* p = new std::array<double, 3>{coords[0], coords[1], coords[2]};
    ctx->owned.push_back(p);
    *outData = p;
}
void GLAPIENTRY tessError(GLenum, void* user) { static_cast<TessContext*>(user)->failed = true; }

// Winding number of point (x, y) against all contours.
int windingAt(const std::vector<Contour>& contours, float x, float y) {
    int wn = 0;
    for (const Contour& c : contours) {
        for (size_t i = 0; i < c.size(); ++i) {
            const Vec& a = c[i];
            const Vec& b = c[(i + 1) % c.size()];
            const float side = (b.x - a.x) * (y - a.y) - (x - a.x) * (b.y - a.y);
            if (a.y <= y) {
                if (b.y > y && side > 0) ++wn;
            } else if (b.y <= y && side < 0) {
                --wn;
            }
        }
    }
    return wn;
}

}  // namespace

bool addExtrusion(Tris& out, const Affine& at, const std::vector<Contour>& contours, float depth, float creaseDegrees,
                  float uvScale, Tris* sidesOut) {
    // Caps: let GLU's tessellator triangulate the outline with its holes.
    TessContext ctx;
    std::vector<std::vector<std::array<double, 3>>> coords;
    for (const Contour& c : contours) {
        coords.emplace_back();
        for (const Vec& p : c) coords.back().push_back({p.x, p.y, 0.0});
    }
    GLUtesselator* tess = gluNewTess();
    if (!tess) return false;
    using Callback = void(GLAPIENTRY*)();
    gluTessCallback(tess, GLU_TESS_BEGIN_DATA, reinterpret_cast<Callback>(tessBegin));
    gluTessCallback(tess, GLU_TESS_EDGE_FLAG_DATA, reinterpret_cast<Callback>(tessEdgeFlag));
    gluTessCallback(tess, GLU_TESS_VERTEX_DATA, reinterpret_cast<Callback>(tessVertex));
    gluTessCallback(tess, GLU_TESS_COMBINE_DATA, reinterpret_cast<Callback>(tessCombine));
    gluTessCallback(tess, GLU_TESS_ERROR_DATA, reinterpret_cast<Callback>(tessError));
    gluTessProperty(tess, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_NONZERO);
    gluTessNormal(tess, 0, 0, 1);
    gluTessBeginPolygon(tess, &ctx);
    for (auto& contour : coords) {
        gluTessBeginContour(tess);
        for (auto& p : contour) gluTessVertex(tess, p.data(), &p);
        gluTessEndContour(tess);
    }
    gluTessEndPolygon(tess);
    gluDeleteTess(tess);
    for (auto* p : ctx.owned) delete p;
    if (ctx.failed || ctx.triangles.size() % 3 != 0) return false;

    Tris local, localSides;
    const Vec front(0, 0, 1), back(0, 0, -1);
    for (size_t i = 0; i + 2 < ctx.triangles.size(); i += 3) {
        GeoVertex f[3], b[3];
        for (int k = 0; k < 3; ++k) {
            const float x = static_cast<float>(ctx.triangles[i + k][0]), y = static_cast<float>(ctx.triangles[i + k][1]);
            f[k] = vertex(Vec(x, y, depth), front, x * uvScale, y * uvScale);
            b[k] = vertex(Vec(x, y, 0), back, -x * uvScale, y * uvScale);
        }
        emitOriented(local, f[0], f[1], f[2]);
        emitOriented(local, b[0], b[1], b[2]);
    }

    // Side walls: decide per contour which side is filled, then wall every edge.
    float extent = 0;
    for (const Contour& c : contours)
        for (const Vec& p : c) extent = std::max({extent, std::fabs(p.x), std::fabs(p.y)});
    const float eps = std::max(extent, 1.0f) * 1e-4f;
    const float cosCrease = std::cos(creaseDegrees * sm::kPi / 180.0f);
    for (const Contour& c : contours) {
        const size_t m = c.size();
        if (m < 3) continue;
        std::vector<Vec> edgeNormal(m);
        std::vector<float> along(m + 1, 0.0f);
        // An edge gets a wall only where it separates filled from empty; the outward side is the empty one.
        std::vector<bool> walled(m, false);
        for (size_t i = 0; i < m; ++i) {
            const Vec d = c[(i + 1) % m] - c[i];
            const Vec mid = (c[i] + c[(i + 1) % m]) * 0.5f, dir = sm::normalized(d);
            const bool leftFilled = windingAt(contours, mid.x - dir.y * eps, mid.y + dir.x * eps) != 0;
            const bool rightFilled = windingAt(contours, mid.x + dir.y * eps, mid.y - dir.x * eps) != 0;
            walled[i] = leftFilled != rightFilled;
            edgeNormal[i] = sm::normalized(leftFilled ? Vec(d.y, -d.x, 0) : Vec(-d.y, d.x, 0));
            along[i + 1] = along[i] + sm::length(d);
        }
        for (size_t i = 0; i < m; ++i) {
            if (!walled[i]) continue;
            const Vec n = edgeNormal[i], prev = edgeNormal[(i + m - 1) % m], next = edgeNormal[(i + 1) % m];
            const Vec nStart = sm::dot(n, prev) >= cosCrease ? sm::normalized(n + prev) : n;
            const Vec nEnd = sm::dot(n, next) >= cosCrease ? sm::normalized(n + next) : n;
            const Vec p0 = c[i], p1 = c[(i + 1) % m];
            const float u0 = along[i] * uvScale, u1 = along[i + 1] * uvScale, v1 = depth * uvScale;
            emitQuadOriented(localSides, vertex(Vec(p0.x, p0.y, 0), nStart, u0, 0), vertex(Vec(p1.x, p1.y, 0), nEnd, u1, 0),
                             vertex(Vec(p1.x, p1.y, depth), nEnd, u1, v1), vertex(Vec(p0.x, p0.y, depth), nStart, u0, v1));
        }
    }
    appendTransformed(out, local, at);
    appendTransformed(sidesOut ? *sidesOut : out, localSides, at);
    return true;
}

void addGear(Tris& out, const Affine& at, float rootRadius, float tipRadius, int teeth, float thickness,
             float holeRadius) {
    Contour outline;
    const float pitch = kTwoPi / teeth;
    // A trapezoid tooth: root, flank up, flat tip, flank down.
    const float fractions[4] = {0.0f, 0.22f, 0.40f, 0.60f};
    const float radii[4] = {rootRadius, rootRadius, tipRadius, tipRadius};
    for (int t = 0; t < teeth; ++t) {
        for (int k = 0; k < 4; ++k) {
            const float a = pitch * (t + fractions[k]);
            outline.push_back(Vec(radii[k] * std::cos(a), radii[k] * std::sin(a), 0));
        }
        const float a = pitch * (t + 0.78f);
        outline.push_back(Vec(rootRadius * std::cos(a), rootRadius * std::sin(a), 0));
    }
    std::vector<Contour> contours{outline};
    auto circle = [](float cx, float cy, float r, int n) {
        Contour c;
        for (int i = n - 1; i >= 0; --i)  // clockwise: a hole under the non-zero rule
            c.push_back(Vec(cx + r * std::cos(kTwoPi * i / n), cy + r * std::sin(kTwoPi * i / n), 0));
        return c;
    };
    if (holeRadius > 0) contours.push_back(circle(0, 0, holeRadius, 24));
    // Lightening holes between hub and rim on large wheels.
    const float ringInner = std::max(holeRadius * 2.2f, rootRadius * 0.3f), ringOuter = rootRadius * 0.78f;
    if (rootRadius > 1.2f && ringOuter - ringInner > 0.4f) {
        const float r = (ringOuter - ringInner) * 0.5f, c = (ringOuter + ringInner) * 0.5f;
        const int holes = 5;
        for (int i = 0; i < holes; ++i) {
            const float a = kTwoPi * (i + 0.5f) / holes;
            contours.push_back(circle(c * std::cos(a), c * std::sin(a), std::min(r, c * 0.5f), 20));
        }
    }
    addExtrusion(out, then(translate(0, 0, -thickness * 0.5f), at), contours, thickness, 30.0f, 0.5f);
}

// ---- iso-surface (marching tetrahedra) ----

void addIsoSurface(Tris& out, const Field& field, const Vec& lo, const Vec& hi, float cellSize) {
    // Near-cubic cells: as many per axis as the extent needs.
    auto count = [&](float extent) { return std::max(1, static_cast<int>(std::ceil(extent / cellSize))); };
    const int cx = count(hi.x - lo.x), cy = count(hi.y - lo.y), cz = count(hi.z - lo.z);
    const int nx = cx + 1, ny = cy + 1, nz = cz + 1;
    const Vec step((hi.x - lo.x) / cx, (hi.y - lo.y) / cy, (hi.z - lo.z) / cz);
    auto at = [&](int i, int j, int k) { return Vec(lo.x + step.x * i, lo.y + step.y * j, lo.z + step.z * k); };
    std::vector<float> values(static_cast<size_t>(nx) * ny * nz);
    auto index = [&](int i, int j, int k) { return (static_cast<size_t>(k) * ny + j) * nx + i; };
    for (int k = 0; k < nz; ++k)
        for (int j = 0; j < ny; ++j)
            for (int i = 0; i < nx; ++i) values[index(i, j, k)] = field(at(i, j, k));

    const float h = std::min({step.x, step.y, step.z}) * 0.5f;
    auto gradientVertex = [&](const Vec& p) {
        const Vec g(field(p + Vec(h, 0, 0)) - field(p - Vec(h, 0, 0)), field(p + Vec(0, h, 0)) - field(p - Vec(0, h, 0)),
                    field(p + Vec(0, 0, h)) - field(p - Vec(0, 0, h)));
        return vertex(p, sm::length(g) > 0 ? sm::normalized(g) : Vec(0, 1, 0), 0, 0);
    };
    static const int corner[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
                                     {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
    static const int tets[6][4] = {{0, 5, 1, 6}, {0, 1, 2, 6}, {0, 2, 3, 6}, {0, 3, 7, 6}, {0, 7, 4, 6}, {0, 4, 5, 6}};
    for (int k = 0; k < cz; ++k)
        for (int j = 0; j < cy; ++j)
            for (int i = 0; i < cx; ++i) {
                Vec p[8];
                float f[8];
                bool anyIn = false, anyOut = false;
                for (int c = 0; c < 8; ++c) {
                    const int ci = i + corner[c][0], cj = j + corner[c][1], ck = k + corner[c][2];
                    p[c] = at(ci, cj, ck);
                    f[c] = values[index(ci, cj, ck)];
                    (f[c] < 0 ? anyIn : anyOut) = true;
                }
                if (!anyIn || !anyOut) continue;
                for (const auto& tet : tets) {
                    int in[4], outside[4], ni = 0, no = 0;
                    for (int c : tet) (f[c] < 0 ? in[ni++] : outside[no++]) = c;
                    if (ni == 0 || no == 0) continue;
                    auto cross = [&](int a, int b) {
                        const float t = f[a] / (f[a] - f[b]);
                        return gradientVertex(p[a] + (p[b] - p[a]) * t);
                    };
                    if (ni == 1) {
                        emitOriented(out, cross(in[0], outside[0]), cross(in[0], outside[1]), cross(in[0], outside[2]));
                    } else if (ni == 3) {
                        emitOriented(out, cross(outside[0], in[0]), cross(outside[0], in[1]), cross(outside[0], in[2]));
                    } else {
                        const GeoVertex a = cross(in[0], outside[0]), b = cross(in[0], outside[1]),
                                        c = cross(in[1], outside[1]), d = cross(in[1], outside[0]);
                        emitQuadOriented(out, a, b, c, d);
                    }
                }
            }
}

// ---- normals and tangents ----

void facetedNormals(Tris& tris) {
    for (size_t i = 0; i + 2 < tris.size(); i += 3) {
        const Vec n = sm::normalized(sm::cross(tris[i + 1].position - tris[i].position, tris[i + 2].position - tris[i].position));
        for (int k = 0; k < 3; ++k) tris[i + k].normal = n;
    }
}

void smoothNormals(Tris& tris) {
    struct Key {
        int64_t x, y, z;
        bool operator==(const Key& o) const { return x == o.x && y == o.y && z == o.z; }
    };
    struct KeyHash {
        size_t operator()(const Key& k) const {
            return static_cast<size_t>(k.x * 73856093LL ^ k.y * 19349663LL ^ k.z * 83492791LL);
        }
    };
    auto keyOf = [](const Vec& p) {
        return Key{std::llround(p.x * 1e4), std::llround(p.y * 1e4), std::llround(p.z * 1e4)};
    };
    // Each triangle counts with its corner angle, so how a face is split does not matter.
    std::unordered_map<Key, Vec, KeyHash> sums;
    for (size_t i = 0; i + 2 < tris.size(); i += 3) {
        const Vec face = sm::normalized(
            sm::cross(tris[i + 1].position - tris[i].position, tris[i + 2].position - tris[i].position));
        for (int k = 0; k < 3; ++k) {
            const Vec e1 = sm::normalized(tris[i + (k + 1) % 3].position - tris[i + k].position);
            const Vec e2 = sm::normalized(tris[i + (k + 2) % 3].position - tris[i + k].position);
            const float angle = std::acos(std::clamp(sm::dot(e1, e2), -1.0f, 1.0f));
            Vec& s = sums[keyOf(tris[i + k].position)];
            s = s + face * angle;
        }
    }
    for (GeoVertex& v : tris) v.normal = sm::normalized(sums[keyOf(v.position)]);
}

void computeTangents(Tris& tris) {
    for (size_t i = 0; i + 2 < tris.size(); i += 3) {
        GeoVertex& a = tris[i];
        const Vec e1 = tris[i + 1].position - a.position, e2 = tris[i + 2].position - a.position;
        const float du1 = tris[i + 1].uv[0] - a.uv[0], dv1 = tris[i + 1].uv[1] - a.uv[1];
        const float du2 = tris[i + 2].uv[0] - a.uv[0], dv2 = tris[i + 2].uv[1] - a.uv[1];
        const float r = du1 * dv2 - du2 * dv1;
        const Vec t = std::fabs(r) > 1e-12f ? (e1 * dv2 - e2 * dv1) * (1.0f / r) : Vec(0, 0, 0);
        for (int k = 0; k < 3; ++k) {
            GeoVertex& v = tris[i + k];
            const Vec ortho = t - v.normal * sm::dot(v.normal, t);
            v.aux = sm::length(ortho) > 1e-6f ? sm::normalized(ortho) : anyPerpendicular(v.normal);
        }
    }
}

void finishModel(GeoModel& model) {
    for (GeoMesh& mesh : model.meshes)
        for (GeoPart& part : mesh.parts) computeTangents(part.vertices);
}

void Bounds::add(const Vec& p) {
    lo = Vec(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
    hi = Vec(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
}

Bounds boundsOf(const GeoMesh& mesh) {
    Bounds b;
    for (const GeoPart& part : mesh.parts)
        for (const GeoVertex& v : part.vertices) b.add(v.position);
    return b;
}

Bounds boundsOf(const GeoModel& model) {
    Bounds b;
    for (const GeoMesh& mesh : model.meshes) {
        const Bounds m = boundsOf(mesh);
        b.add(m.lo);
        b.add(m.hi);
    }
    return b;
}

}  // namespace geo
