// A small kit for building the film's models in memory: the model file's vertex, part and mesh
// records (position, normal, auxiliary vector = tangent, u, v; every three vertices one
// triangle; one material per part) gathered into models, plus primitives that append triangles.
//
// Conventions: y is up; triangles are counter-clockwise seen from the side their normal points
// to; primitives take an affine placement matrix (column-major, as in sm) and texture
// coordinates are in texture repeats (uvScale repeats per world unit where a primitive tiles).
// Tangents are not written by the primitives: `finishModel` derives them from the texture
// coordinates once a model is complete.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "anim/math.h"
#include "formats/geo_writer.h"

namespace geo {

using Vec = sm::Vec3;

// The records are the model file's own (formats/geo_writer.h), so models are written as built.
using ::GeoVertex;
using ::GeoPart;
using ::GeoMesh;

struct GeoModel {
    std::vector<GeoMesh> meshes;
};

// Where triangles go: the vertex list of one part.
using Tris = std::vector<GeoVertex>;

// The part of `mesh` with this material, appended when missing. References it returns stay
// valid while the mesh is built through it (up to kMaxPartsPerMesh materials; more throws
// std::logic_error).
constexpr size_t kMaxPartsPerMesh = 16;
Tris& partOf(GeoMesh& mesh, const std::string& material);

size_t triangleCount(const GeoMesh& mesh);
size_t triangleCount(const GeoModel& model);

// ---- placements (affine, column-major) ----
struct Affine {
    float m[16];
};
Affine identityAffine();
Affine translate(float x, float y, float z);
Affine translate(const Vec& v);
Affine rotate(float angle, const Vec& axis);  // radians, right-handed
Affine scale(float x, float y, float z);
// `first` applied first, then `second`.
Affine then(const Affine& first, const Affine& second);
// Maps local x, y, z onto the given world axes (need not be unit) and moves the origin to `origin`.
Affine basis(const Vec& origin, const Vec& xAxis, const Vec& yAxis, const Vec& zAxis);

Vec applyPoint(const Affine& a, const Vec& p);
// Transforms a normal with the inverse transpose and normalises it.
Vec applyNormal(const Affine& a, const Vec& n);

// Appends `local` transformed by `a` (positions, normals; an odd placement that mirrors flips
// the winding back so triangles stay front-facing).
void appendTransformed(Tris& out, const Tris& local, const Affine& a);

// ---- primitives (all closed unless said otherwise) ----

// One triangle with a faceted normal.
void addTriangle(Tris& out, const Vec& a, const Vec& b, const Vec& c, float ua = 0, float va = 0, float ub = 1,
                 float vb = 0, float uc = 0, float vc = 1);
// A flat quad a b c d (counter-clockwise seen from the front), one texture repeat per `uvScale`.
void addQuad(Tris& out, const Vec& a, const Vec& b, const Vec& c, const Vec& d, float u0, float v0, float u1,
             float v1);

// A box of the given size centred on the local origin; faceted.
void addBox(Tris& out, const Affine& at, const Vec& size, float uvScale = 0.5f);
// A box between two corners, axis-aligned in world space.
void addBoxBetween(Tris& out, const Vec& lo, const Vec& hi, float uvScale = 0.5f);
// A square beam of thickness `t` from a to b (for trusses, braces, rails).
void addBeam(Tris& out, const Vec& a, const Vec& b, float t, float uvScale = 0.5f);

// A cylinder along local +y from y = 0 to y = height; smooth sides, flat caps.
void addCylinder(Tris& out, const Affine& at, float radius, float height, int segments, bool caps = true,
                 float uvScale = 0.5f);
// A torus around local +y: ring radius `major`, tube radius `minor`; smooth.
void addTorus(Tris& out, const Affine& at, float major, float minor, int majorSegments, int minorSegments);
// A tube of radius `radius` along a polyline, bends mitred, open ends capped; smooth.
void addPipe(Tris& out, const std::vector<Vec>& path, float radius, int segments, float uvScale = 0.5f);

// A profile of (radius, height) points turned around local +y, from the first point to the
// last, ordered so that the solid lies on the left (up the outside, down the inside); the normals are smooth along the profile where it bends less than `creaseDegrees`.
// Points on the axis (radius 0) close the shape there.
struct ProfilePoint {
    float r, y;
};
void addLathe(Tris& out, const Affine& at, const std::vector<ProfilePoint>& profile, int segments,
              float creaseDegrees = 40.0f);
// A sphere (a lathe with `rings` bands); v runs from the -y pole (0) to the +y pole (1).
void addSphere(Tris& out, const Affine& at, float radius, int segments, int rings);

// A plane outline extruded along local +z from z = 0 to z = depth: front face (+z), back face
// (-z) and side walls. `contours` are closed polygons in any orientation; the filled region
// is what the non-zero winding rule says. Side normals are smooth where neighbouring edges
// bend less than `creaseDegrees`. Front and back take u, v = x, y × uvScale.
using Contour = std::vector<Vec>;  // z ignored
bool addExtrusion(Tris& out, const Affine& at, const std::vector<Contour>& contours, float depth,
                  float creaseDegrees = 35.0f, float uvScale = 1.0f, Tris* sidesOut = nullptr);

// A spur gear in the local xy plane, axis +z, thickness along +z centred on z = 0: `teeth`
// teeth between `rootRadius` and `tipRadius`, an axle hole of `holeRadius` (0: none).
void addGear(Tris& out, const Affine& at, float rootRadius, float tipRadius, int teeth, float thickness,
             float holeRadius);

// A closed surface where `field` changes sign (negative inside), found on a grid of cells
// about `cellSize` wide over the box lo..hi (marching tetrahedra). Normals follow the
// field's gradient, so the surface shades smoothly whatever the triangulation.
using Field = std::function<float(const Vec&)>;
void addIsoSurface(Tris& out, const Field& field, const Vec& lo, const Vec& hi, float cellSize);

// ---- normals and tangents ----

// Per-triangle normals from the winding.
void facetedNormals(Tris& tris);
// Normals averaged over triangles that share a position (area weighted), for smooth surfaces.
void smoothNormals(Tris& tris);
// Tangents along +u from the texture coordinates, made orthogonal to each vertex normal;
// where a triangle's mapping is degenerate, any unit vector orthogonal to the normal.
void computeTangents(Tris& tris);
// Tangents for every part of every mesh.
void finishModel(GeoModel& model);

// Extents of a model's (or mesh's) positions.
struct Bounds {
    Vec lo{1e30f, 1e30f, 1e30f}, hi{-1e30f, -1e30f, -1e30f};
    void add(const Vec& p);
};
Bounds boundsOf(const GeoMesh& mesh);
Bounds boundsOf(const GeoModel& model);

}  // namespace geo
