#include "assets/effect.h"

#include <typeinfo>

#include "base/log.h"
#include "fx/runtime.h"

const std::string& cgContextServiceKey() {
    static const std::string key = typeid(ICgContextService*).name();
    return key;
}

Effect::Effect(fx::CompiledEffect* handle) : handle_(handle) {
    if (!handle_) return;
    for (const auto& t : handle_->techniques) techniques_[t->name] = t.get();  // a later name wins
}

Effect::~Effect() { fx::destroyEffect(handle_); }

void Effect::takeOver(Effect& fresh) {
    std::string current;
    for (const auto& [name, technique] : techniques_)
        if (technique && technique == currentTechnique_) current = name;
    std::swap(handle_, fresh.handle_);
    std::swap(techniques_, fresh.techniques_);
    fresh.currentTechnique_ = nullptr;
    fresh.passes.clear();
    currentTechnique_ = nullptr;
    passes.clear();
    if (!current.empty()) selectTechnique(current);
}

void Effect::selectTechnique(std::string_view name) {
    auto it = techniques_.find(name);
    if (it == techniques_.end()) it = techniques_.emplace(std::string(name), nullptr).first;
    currentTechnique_ = it->second;
    passes.clear();
    if (currentTechnique_) passes.assign(currentTechnique_->passes.begin(), currentTechnique_->passes.end());
}

void Effect::setTexture(std::string_view parameter, GLuint texture) {
    fx::setTextureParameter(handle_, fx::findParameter(handle_, parameter), texture);
}

void Effect::setFloat(std::string_view parameter, float x) {
    fx::setParameter(handle_, fx::findParameter(handle_, parameter), &x, 1);
}

void Effect::setFloat2(std::string_view parameter, float x, float y) {
    const float v[2] = {x, y};
    fx::setParameter(handle_, fx::findParameter(handle_, parameter), v, 2);
}

void Effect::setFloat3(std::string_view parameter, float x, float y, float z) {
    const float v[3] = {x, y, z};
    fx::setParameter(handle_, fx::findParameter(handle_, parameter), v, 3);
}

void Effect::setFloat4(std::string_view parameter, float x, float y, float z, float w) {
    const float v[4] = {x, y, z, w};
    fx::setParameter(handle_, fx::findParameter(handle_, parameter), v, 4);
}

void Effect::setMatrix(std::string_view parameter, const float* matrix16) {
    fx::setParameter(handle_, fx::findParameter(handle_, parameter), matrix16, 16);
}

IDisposable* EffectLoader::load(const char* path, sm::IServiceProvider* services) {
    auto* service = services ? static_cast<ICgContextService*>(services->getService(cgContextServiceKey())) : nullptr;
    if (!service || !service->getContext()) {
        logError(std::string("effect '") + path +
                                         "' can't be loaded: the load pass has no effect context service");
        return nullptr;
    }
    return new Effect(fx::createEffectFromFile(service->getContext(), path));
}
