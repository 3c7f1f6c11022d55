#include "render/std_lighting.h"

#include "gl/gl.h"
#include "assets/effect.h"
#include "assets/material.h"
#include "assets/model.h"
#include "assets/texture.h"
#include "fx/runtime.h"

const float kShadowBias[16] = {0.5f, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 0.5f, 0, 0.5f, 0.5f, 0.5f, 1.0f};

namespace {

const Texture* diffuseMap(const Material* m) { return m ? m->diffuseMap.texture : nullptr; }
const Texture* bumpMap(const Material* m) { return m ? m->bumpMap.texture : nullptr; }

// The colour and scalar values shared by every binding. Without a material the grey defaults
// are used and the emissive colour keeps whatever the previous part left.
void setMaterialValues(Effect* effect, const Material* m) {
    if (!m) {
        effect->setFloat4("ambientColor", 0.2f, 0.2f, 0.2f, 1.0f);
        effect->setFloat4("diffuseColor", 0.6f, 0.6f, 0.6f, 1.0f);
        effect->setFloat4("specularColor", 1.0f, 1.0f, 1.0f, 1.0f);
        effect->setFloat("opacity", 1.0f);
        effect->setFloat("glossiness", 64.0f);
        effect->setFloat("specularLevel", 1.0f);
        return;
    }
    effect->setFloat4("ambientColor", m->ambient[0], m->ambient[1], m->ambient[2], 1.0f);
    effect->setFloat4("diffuseColor", m->diffuse[0], m->diffuse[1], m->diffuse[2], 1.0f);
    effect->setFloat4("specularColor", m->specular[0], m->specular[1], m->specular[2], 1.0f);
    effect->setFloat4("emissiveColor", m->emissive[0], m->emissive[1], m->emissive[2], 1.0f);
    effect->setFloat("opacity", m->opacity);
    effect->setFloat("glossiness", 64.0f);  // the material's own glossiness is not used
    effect->setFloat("specularLevel", 0.4f * m->specularLevel);
}

void pushMaterialAttributes() { glPushAttrib(GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT | GL_CURRENT_BIT); }

// True when the light adds nothing to the material: its colour is its ambient and emissive
// terms alone, whatever the light, the normal or the shadow.
bool lightsNothing(const Material* m) {
    if (!m || m->specularLevel != 0.0f) return false;
    for (int i = 0; i < 3; ++i)
        if (m->diffuse[i] != 0.0f || m->specular[i] != 0.0f) return false;
    return true;
}

void bindLitMaterial(Effect* effect, const Material* m, const char* suffix) {
    setMaterialValues(effect, m);
    effect->selectTechnique(litTechnique(effect, m, suffix));
    if (!m) return;
    const std::string b = lightingTechnique(m);
    if (b == "BlendTexTech" || b == "DiffTexTech" || b == "DiffTexBumpTech")
        effect->setTexture("diffTex", m->diffuseMap.texture->glName());
    if (b == "BumpTech" || b == "DiffTexBumpTech") effect->setTexture("normTex", m->bumpMap.texture->glName());
}

}  // namespace

const char* lightingTechnique(const Material* m) {
    if (!m) return "NoTexTech";
    const bool blended = m->opacity < 1.0f;
    if (!diffuseMap(m)) {
        if (blended) return "BlendNoTexTech";
        return bumpMap(m) ? "BumpTech" : "NoTexTech";
    }
    if (blended) return "BlendTexTech";
    return bumpMap(m) ? "DiffTexBumpTech" : "DiffTexTech";
}

std::string litTechnique(const Effect* effect, const Material* m, const char* suffix) {
    const std::string base = lightingTechnique(m);
    if (!effect || !lightsNothing(m)) return base + suffix;
    const char* unlit = base == "BlendTexTech"                              ? "UnlitBlendTexTech"
                        : base == "BlendNoTexTech"                          ? "UnlitBlendNoTexTech"
                        : base == "DiffTexTech" || base == "DiffTexBumpTech" ? "UnlitDiffTexTech"
                                                                            : "UnlitNoTexTech";
    std::string name = std::string(unlit) + suffix;
    auto it = effect->techniques().find(name);
    return it != effect->techniques().end() && it->second ? name : base + suffix;
}

const char* simpleTechnique(const Material* m) { return diffuseMap(m) ? "DiffTexTech" : "NoTexTech"; }

void modelViewProjection(float* out, const float* projection, const float* view, const float* world) {
    float viewWorld[16];
    sm::multiply(viewWorld, world, view);
    sm::multiply(out, viewWorld, projection);
}

bool drawWithFirstPass(Effect* effect, const MeshPart* part) {
    fx::Pass* pass = effect ? effect->firstPass() : nullptr;
    if (!pass || !fx::setPassState(pass)) return false;
    drawPart(part);
    fx::resetPassState(pass);
    return true;
}

void StdLighting::bindMaterial(const Material* material) {
    if (!lighting_) return;
    pushMaterialAttributes();
    bindLitMaterial(lighting_, material, "");
    glPopAttrib();
}

void StdLighting::bindMaterialGlowShadow(const Material* material, unsigned shadowTexture, const float* shadowMatrix) {
    if (!glowShadow_) return;
    pushMaterialAttributes();
    glowShadow_->setTexture("shadowMap", shadowTexture);
    glowShadow_->setMatrix("shadowMapMatrix", shadowMatrix);
    bindLitMaterial(glowShadow_, material, "_GlowShadow");
    glPopAttrib();
}

void StdLighting::bindMaterialSimple(const Material* material, Effect* effect) {
    if (!effect) return;
    pushMaterialAttributes();
    setMaterialValues(effect, material);
    effect->selectTechnique(simpleTechnique(material));
    if (diffuseMap(material)) effect->setTexture("diffTex", material->diffuseMap.texture->glName());
    glPopAttrib();
}

void StdLighting::bindTransformsSimple(Effect* effect, const float* projection, const float* view, const float* world,
                                       const sm::Vec3& light, const sm::Vec3& eye) {
    if (!effect) return;
    float mvp[16];
    modelViewProjection(mvp, projection, view, world);
    effect->setMatrix("mvp", mvp);
    effect->setMatrix("world", world);
    effect->setFloat3("lightPosition", light.x, light.y, light.z);
    effect->setFloat3("eyePosition", eye.x, eye.y, eye.z);
}

void StdLighting::bindTransforms(const float* projection, const float* view, const float* world, const sm::Vec3& light,
                                 const sm::Vec3& eye, bool glowShadow) {
    bindTransformsSimple(glowShadow ? glowShadow_ : lighting_, projection, view, world, light, eye);
}

void StdLighting::drawLit(const PartList& parts, const float* projection, const float* view, const sm::Vec3& light,
                          const sm::Vec3& eye) {
    if (!lighting_) return;
    if (!parts.empty()) {
        const float* mask = parts.front()->mesh->colorMask;
        lighting_->setFloat4("colorMask", mask[0], mask[1], mask[2], mask[3]);
    }
    for (MeshPart* part : parts) {
        if (!part->visible) continue;
        bindMaterial(part->material);
        bindTransforms(projection, view, part->mesh->matrix, light, eye, false);
        drawWithFirstPass(lighting_, part);
    }
}

void StdLighting::drawLitGlowShadow(const PartList& parts, const float* projection, const float* view,
                                    const sm::Vec3& light, const sm::Vec3& eye, const float* lightView,
                                    const float* lightProjection, unsigned shadowTexture) {
    if (!glowShadow_) return;
    // S = B x Q x L: the world matrix is applied by the effect itself.
    float lightViewProjection[16], shadowMatrix[16];
    sm::multiply(lightViewProjection, lightView, lightProjection);
    sm::multiply(shadowMatrix, lightViewProjection, kShadowBias);
    for (MeshPart* part : parts) {
        if (!part->visible) continue;
        bindMaterialGlowShadow(part->material, shadowTexture, shadowMatrix);
        bindTransforms(projection, view, part->mesh->matrix, light, eye, true);
        drawWithFirstPass(glowShadow_, part);
    }
}

void StdLighting::drawModelSimple(Effect* effect, const Model* model, const float* projection, const float* view,
                                  const sm::Vec3& light, const sm::Vec3& eye) {
    if (!effect || !model) return;
    for (Mesh* mesh : model->meshes)
        for (MeshPart* part : mesh->parts) {
            if (!part->visible) continue;
            bindMaterialSimple(part->material, effect);
            bindTransformsSimple(effect, projection, view, mesh->matrix, light, eye);
            drawWithFirstPass(effect, part);
        }
}
