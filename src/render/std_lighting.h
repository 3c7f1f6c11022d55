// The standard lighting: a material becomes a technique and parameter values on the lighting
// effects, and lists of mesh parts are drawn with the first pass of the chosen technique.
#pragma once

#include <string>
#include <vector>

#include "anim/math.h"

class Effect;
class Material;
class MeshPart;
class Model;

using PartList = std::vector<MeshPart*>;

// Maps clip coordinates in [-1, 1] to shadow-map texture coordinates in [0, 1].
extern const float kShadowBias[16];

// The technique a material selects on "std_lighting" ("_GlowShadow" is appended for the
// glow-shadow effect): blended when opacity is below 1 (the bump map is then ignored),
// textured with a diffuse map, bumped with a bump map.
const char* lightingTechnique(const Material* material);
// The technique name `effect` draws `material` with: lightingTechnique + `suffix`, or, for a
// material the light adds nothing to (no diffuse or specular colour, no specular level), the
// effect's "Unlit..." technique of the same kind where it has one, which gives the same colour
// without the lighting and shadow work.
std::string litTechnique(const Effect* effect, const Material* material, const char* suffix);
// The reduced choice of the simple binding: "DiffTexTech" with a diffuse map, else "NoTexTech".
const char* simpleTechnique(const Material* material);

// out = projection x view x world (the world matrix applies first).
void modelViewProjection(float* out, const float* projection, const float* view, const float* world);

// Draws `part` with the first pass of the effect's current technique. A technique without
// passes draws nothing. False when nothing was drawn.
bool drawWithFirstPass(Effect* effect, const MeshPart* part);

class StdLighting {
public:
    // The effects are not owned; `glowShadow` and `earlyZ` may be null (the glow-shadow draws
    // then draw nothing).
    StdLighting(Effect* lighting, Effect* glowShadow, Effect* earlyZ)
        : lighting_(lighting), glowShadow_(glowShadow), earlyZ_(earlyZ) {}

    void bindMaterial(const Material* material);
    void bindMaterialGlowShadow(const Material* material, unsigned shadowTexture, const float* shadowMatrix);
    static void bindMaterialSimple(const Material* material, Effect* effect);
    void bindTransforms(const float* projection, const float* view, const float* world, const sm::Vec3& light,
                        const sm::Vec3& eye, bool glowShadow);
    static void bindTransformsSimple(Effect* effect, const float* projection, const float* view, const float* world,
                                     const sm::Vec3& light, const sm::Vec3& eye);

    void drawLit(const PartList& parts, const float* projection, const float* view, const sm::Vec3& light,
                 const sm::Vec3& eye);
    void drawLitGlowShadow(const PartList& parts, const float* projection, const float* view, const sm::Vec3& light,
                           const sm::Vec3& eye, const float* lightView, const float* lightProjection,
                           unsigned shadowTexture);
    static void drawModelSimple(Effect* effect, const Model* model, const float* projection, const float* view,
                                const sm::Vec3& light, const sm::Vec3& eye);

    Effect* lighting() const { return lighting_; }
    Effect* glowShadow() const { return glowShadow_; }
    Effect* earlyZ() const { return earlyZ_; }

private:
    Effect* lighting_;
    Effect* glowShadow_;
    Effect* earlyZ_;
};
