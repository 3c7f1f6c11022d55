#include "render/credits.h"

#include "gl/gl.h"
#include "base/log.h"
#include "assets/content.h"
#include "assets/effect.h"
#include "assets/material.h"
#include "assets/model.h"
#include "assets/texture.h"
#include "platform/platform.h"

namespace {

// (seconds, monitor) of every change.
const struct {
    float time;
    int monitor;
} kChanges[] = {{153.5f, 1}, {156.5f, 2}, {159.5f, 0}, {162.5f, 5}, {165.5f, 4}, {168.5f, 3},
                {171.5f, 1}, {174.5f, 2}, {177.5f, 0}, {180.5f, 5}, {182.5f, 4}};

}  // namespace

CreditsSchedule::CreditsSchedule() {
    for (const auto& change : kChanges) monitors.addKey(change.time, change.monitor, false);
}

void CreditsSchedule::update(float t, float dt, int pictures) {
    monitors.valueAt(t / 1000.0f, &activeMonitor);  // before the first change it stays as it is
    if (activeMonitor != previousMonitor) {
        pictureIndex = pictures > 0 ? (pictureIndex + 1) % pictures : 0;
        previousMonitor = activeMonitor;
        visibilityRate = 1.0f;
    }
    visibility += visibilityRate * dt / 1000.0f;
    if (visibility >= 1.0f) {
        visibilityRate = -1.0f;
    } else if (visibility < 0.0f) {
        visibility = 0.0f;
        visibilityRate = 0.0f;
    }
    noisePhase += dt / 1000.0f * 15.0f;
    // A negative step turns the phase back; the frame stays one of the three either way.
    noiseFrame = (truncateToInt(noisePhase) % 3 + 3) % 3;
}

Credits::Credits() = default;
Credits::~Credits() = default;

void Credits::create(const std::string& dataDirectory, DemoContent& content) {
    pictures_.clear();
    schedule_ = CreditsSchedule();
    const std::string folder = dataDirectory + "textures/credits/";
    TextureLoader loader;
    for (const std::string& name : platform::listFiles(folder + "*.jpg")) {
        const std::string path = folder + name;
        std::unique_ptr<Texture> picture(static_cast<Texture*>(loader.load(path.c_str(), nullptr)));
        // A picture that fails keeps its place, so that every later cue still shows its own.
        const bool read = picture != nullptr;
        pictures_.push_back(std::move(picture));
        if (!read)
            logError("credits picture '" + path + "' could not be read; its monitor shows black (is it a JPEG?)");
    }
    const char* const noiseNames[3] = {"tv_noise1", "tv_noise2", "tv_noise3"};
    for (int i = 0; i < 3; ++i) noise_[i] = content.find<Texture>(noiseNames[i]);
    screens_.clear();
    if (Model* screens = content.find<Model>("screens")) collectParts(screens_, screens->meshes);
    effect_ = content.find<Effect>("std_lighting_screens");
}

void Credits::drawScreens(const float* view, const sm::Vec3& eye, const float* projection) {
    if (!effect_ || screens_.empty()) return;
    // The first monitor's material serves them all.
    if (const Material* m = screens_.front()->material) {
        effect_->setFloat4("ambientColor", m->ambient[0], m->ambient[1], m->ambient[2], 1.0f);
        effect_->setFloat4("diffuseColor", m->diffuse[0], m->diffuse[1], m->diffuse[2], 1.0f);
        effect_->setFloat4("specularColor", m->specular[0], m->specular[1], m->specular[2], 1.0f);
        effect_->setFloat4("emissiveColor", m->emissive[0], m->emissive[1], m->emissive[2], 1.0f);
        effect_->setFloat("opacity", m->opacity);
        effect_->setFloat("glossiness", 64.0f);
        effect_->setFloat("specularLevel", 0.4f * m->specularLevel);
    }
    effect_->selectTechnique("DiffTexTech");
    const CreditsSchedule& s = schedule_;
    Texture* noise = noise_[s.noiseFrame];
    effect_->setTexture("noiseTex", noise ? noise->glName() : 0);
    const bool picture = s.pictureIndex >= 0 && s.pictureIndex < static_cast<int>(pictures_.size());
    const Texture* shown = picture ? pictures_[static_cast<size_t>(s.pictureIndex)].get() : nullptr;
    effect_->setTexture("creditsTex", shown ? shown->glName() : 0);
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    float mvp[16];
    modelViewProjection(mvp, projection, view, identity);
    effect_->setMatrix("mvp", mvp);
    effect_->setMatrix("world", identity);
    effect_->setFloat3("lightPosition", eye.x, eye.y, eye.z);
    effect_->setFloat3("eyePosition", eye.x, eye.y, eye.z);
    for (size_t i = 0; i < screens_.size(); ++i) {
        effect_->setFloat("creditsVisibility",
                          static_cast<int>(i) == s.activeMonitor ? s.shownVisibility() : 0.0f);
        drawWithFirstPass(effect_, screens_[i]);
    }
}
